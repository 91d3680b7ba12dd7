// SPDX-License-Identifier: GPL-3.0-or-later
#include "awaittask.h"
#include "desktop/desktopdetector.h"
#include "desktop/linuxwallpaperapplier.h"
#include "desktopharness.h"

#include <QDBusConnection>
#include <QTest>
#include <QTimer>

#include <csignal>

using namespace Starvane;

Q_DECLARE_METATYPE(Starvane::DesktopKind)
using Environment = QMap<QString, QString>;

namespace {
QMap<QString, QString> env(std::initializer_list<std::pair<QString, QString>> pairs)
{
    QMap<QString, QString> result;
    for (const auto &[k, v] : pairs)
        result.insert(k, v);
    return result;
}

const QSet<QString> allSchemas{"org.gnome.desktop.background", "org.cinnamon.desktop.background",
                               "org.mate.background"};
} // namespace

class TestDesktopDetector : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void detects_data()
    {
        QTest::addColumn<Environment>("environment");
        QTest::addColumn<QSet<QString>>("busNames");
        QTest::addColumn<QSet<QString>>("schemas");
        QTest::addColumn<bool>("x11");
        QTest::addColumn<bool>("desktopWindow");
        QTest::addColumn<DesktopKind>("kind");
        QTest::addColumn<QString>("name");

        const QSet<QString> none;
        const QSet<QString> plasma{"org.kde.plasmashell"};
        const QSet<QString> xfconf{"org.xfce.Xfconf"};
        const QSet<QString> portal{"org.freedesktop.portal.Desktop"};

        QTest::newRow("Ubuntu GNOME on Wayland")
            << env({{"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"},
                    {"XDG_SESSION_TYPE", "wayland"},
                    {"WAYLAND_DISPLAY", "wayland-0"}})
            << portal << allSchemas << false << false << DesktopKind::gnome << "GNOME";
        QTest::newRow("Fedora GNOME on X11, lower case")
            << env({{"XDG_CURRENT_DESKTOP", "gnome"}, {"XDG_SESSION_TYPE", "x11"}}) << none << allSchemas << true
            << false << DesktopKind::gnome << "GNOME";
        QTest::newRow("Budgie uses the GNOME keys") << env({{"XDG_CURRENT_DESKTOP", "Budgie:GNOME"}}) << none
                                                    << allSchemas << true << false << DesktopKind::gnome << "GNOME";
        QTest::newRow("Pop!_OS") << env({{"XDG_CURRENT_DESKTOP", "pop:GNOME"}}) << none << allSchemas << true << false
                                 << DesktopKind::gnome << "GNOME";
        QTest::newRow("Linux Mint Cinnamon")
            << env({{"XDG_CURRENT_DESKTOP", "X-Cinnamon"}, {"DESKTOP_SESSION", "cinnamon"}}) << none << allSchemas
            << true << true << DesktopKind::cinnamon << "Cinnamon";
        QTest::newRow("MATE") << env({{"XDG_CURRENT_DESKTOP", "MATE"}}) << none << allSchemas << true << true
                              << DesktopKind::mate << "MATE";
        QTest::newRow("Plasma 5 on X11") << env({{"XDG_CURRENT_DESKTOP", "KDE"},
                                                 {"KDE_FULL_SESSION", "true"},
                                                 {"KDE_SESSION_VERSION", "5"}})
                                         << plasma << none << true << true << DesktopKind::plasma << "KDE Plasma";
        QTest::newRow("Plasma named only by KDE_FULL_SESSION") << env({{"KDE_FULL_SESSION", "true"}}) << plasma << none
                                                               << true << true << DesktopKind::plasma << "KDE Plasma";
        QTest::newRow("Plasma shell not running yet: X11 desktop is unsupported, not the root window")
            << env({{"XDG_CURRENT_DESKTOP", "KDE"}}) << none << none << true << false << DesktopKind::unsupported
            << "KDE Plasma";
        QTest::newRow("Xubuntu") << env({{"XDG_CURRENT_DESKTOP", "XFCE"}, {"DESKTOP_SESSION", "xubuntu"}}) << xfconf
                                 << allSchemas << true << true << DesktopKind::xfce << "XFCE";
        QTest::newRow("XFCE by session name only")
            << env({{"XDG_SESSION_DESKTOP", "xfce"}}) << xfconf << none << true << true << DesktopKind::xfce << "XFCE";
        QTest::newRow("sway") << env({{"XDG_CURRENT_DESKTOP", "sway"},
                                      {"SWAYSOCK", "/run/user/1000/sway-ipc.sock"},
                                      {"WAYLAND_DISPLAY", "wayland-1"}})
                              << portal << allSchemas << false << false << DesktopKind::sway << "sway";
        QTest::newRow("sway by socket only")
            << env({{"SWAYSOCK", "/run/user/1000/sway-ipc.sock"}, {"WAYLAND_DISPLAY", "wayland-1"}}) << none << none
            << false << false << DesktopKind::sway << "sway";
        QTest::newRow("sway named but no socket: portal on Wayland")
            << env({{"XDG_CURRENT_DESKTOP", "sway"}, {"WAYLAND_DISPLAY", "wayland-1"}}) << portal << none << false
            << false << DesktopKind::portal << "sway";
        QTest::newRow("GNOME schema missing on X11: unsupported, never the hidden root window")
            << env({{"XDG_CURRENT_DESKTOP", "GNOME"}}) << none << none << true << false << DesktopKind::unsupported
            << "GNOME";
        QTest::newRow("i3 on X11") << env({{"XDG_CURRENT_DESKTOP", "i3"}, {"XDG_SESSION_TYPE", "x11"}}) << none
                                   << allSchemas << true << false << DesktopKind::x11Root << "X11";
        QTest::newRow("openbox without any desktop variable")
            << env({{"DISPLAY", ":0"}}) << none << none << true << false << DesktopKind::x11Root << "X11";
        QTest::newRow("unknown desktop window covers the root")
            << env({{"XDG_CURRENT_DESKTOP", "Enlightenment"}}) << none << none << true << true
            << DesktopKind::unsupported << "Enlightenment";
        QTest::newRow("LXQt with pcmanfm-qt desktop")
            << env({{"XDG_CURRENT_DESKTOP", "LXQt"}}) << QSet<QString>{"org.pcmanfm.PCManFM"} << none << true << true
            << DesktopKind::lxqt << "LXQt";
        QTest::newRow("LXQt before its desktop runs: unsupported, not the covered root window")
            << env({{"XDG_CURRENT_DESKTOP", "LXQt"}}) << none << none << true << true << DesktopKind::unsupported
            << "LXQt";
        QTest::newRow("LXDE on X11, its desktop drawn or still to come")
            << env({{"XDG_CURRENT_DESKTOP", "LXDE"}}) << none << none << true << false << DesktopKind::lxde << "LXDE";
        QTest::newRow("LXDE named in a Wayland session: never pcmanfm's X11 desktop")
            << env({{"XDG_CURRENT_DESKTOP", "LXDE"}, {"WAYLAND_DISPLAY", "wayland-1"}}) << none << none << true << true
            << DesktopKind::unsupported << "LXDE";
        QTest::newRow("Hyprland without a wallpaper portal")
            << env({{"XDG_CURRENT_DESKTOP", "Hyprland"},
                    {"HYPRLAND_INSTANCE_SIGNATURE", "abc"},
                    {"WAYLAND_DISPLAY", "wayland-1"}})
            << none << none << false << false << DesktopKind::unsupported << "Hyprland";
        QTest::newRow("unknown Wayland compositor: portal")
            << env({{"XDG_CURRENT_DESKTOP", "river"}, {"WAYLAND_DISPLAY", "wayland-1"}}) << portal << none << false
            << false << DesktopKind::portal << "Wayland";
        QTest::newRow("unknown Wayland, Qt on Xwayland: portal, never the unseen root window")
            << env({{"XDG_CURRENT_DESKTOP", "river"}, {"WAYLAND_DISPLAY", "wayland-1"}, {"DISPLAY", ":1"}}) << portal
            << none << true << false << DesktopKind::portal << "Wayland";
        QTest::newRow("Wayland named only by the session type, Xwayland, no portal")
            << env({{"XDG_SESSION_TYPE", "wayland"}, {"DISPLAY", ":1"}}) << none << none << true << false
            << DesktopKind::unsupported << "this Wayland desktop";
        QTest::newRow("unknown Wayland compositor without a portal")
            << env({{"XDG_CURRENT_DESKTOP", "river"}, {"WAYLAND_DISPLAY", "wayland-1"}}) << none << none << false
            << false << DesktopKind::unsupported << "river (Wayland)";
        QTest::newRow("no display at all")
            << env({}) << none << none << false << false << DesktopKind::unsupported << "an unknown desktop";
    }

    void detects()
    {
        QFETCH(Environment, environment);
        QFETCH(QSet<QString>, busNames);
        QFETCH(QSet<QString>, schemas);
        QFETCH(bool, x11);
        QFETCH(bool, desktopWindow);
        QFETCH(DesktopKind, kind);
        QFETCH(QString, name);

        const DesktopDetection detection = detectDesktop({environment, busNames, schemas, x11, desktopWindow});
        QCOMPARE(detection.kind, kind);
        QCOMPARE(detection.desktopName, name);
    }

    void aBusThatDoesNotAnswerNeverStopsTheEventLoop()
    {
        Test::PrivateBus bus;
        if (!bus.start()) QSKIP(qPrintable(bus.error()));
        // The process's session bus, connected while the daemon still answers, then frozen.
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8());
        QVERIFY(QDBusConnection::sessionBus().isConnected());
        QVERIFY(::kill(pid_t(bus.processId()), SIGSTOP) == 0);
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start(10);
        const std::shared_ptr<WallpaperApplying> applier = Testing::awaitTask(createDesktopApplier());
        ::kill(pid_t(bus.processId()), SIGCONT);
        // Detection gave up on the bus after its time-out and still chose a desktop; the event loop ran
        // all along (a blocking call would have let no tick through until it returned).
        QVERIFY(applier);
        QVERIFY2(ticks > 50, qPrintable(QString::number(ticks)));
    }
};

QTEST_GUILESS_MAIN(TestDesktopDetector)
#include "tst_desktopdetector.moc"

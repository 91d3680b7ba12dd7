// SPDX-License-Identifier: GPL-3.0-or-later
// The root-window backend against a real X server (Xvfb) with two RandR monitors, checked by pixels.
#include "desktop/linuxwallpaperapplier.h"
#include "desktop/systemevents.h"
#include "desktop/x11rootbackend.h"
#include "desktopharness.h"
#include "models/errors.h"

#include <QGuiApplication>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include "awaittask.h"
#include <QFile>
#include <QTest>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

using namespace Starvane;

namespace {
QString g_skipReason;
Test::XvfbServer *g_xvfb = nullptr;

QRgb rootPixel(int x, int y)
{
    Display *dpy = XOpenDisplay(nullptr);
    if (!dpy) return 0;
    XImage *image = XGetImage(dpy, DefaultRootWindow(dpy), x, y, 1, 1, AllPlanes, ZPixmap);
    QRgb result = 0;
    if (image) {
        result = QRgb(XGetPixel(image, 0, 0)) | 0xff000000u;
        XDestroyImage(image);
    }
    XCloseDisplay(dpy);
    return result;
}

/// What another background setter (feh, xsetroot -bitmap…) does: a new pixmap named in _XROOTPMAP_ID.
void replaceBackgroundLikeAnotherProgram()
{
    Display *dpy = XOpenDisplay(nullptr);
    const int screen = DefaultScreen(dpy);
    const Window root = RootWindow(dpy, screen);
    const Pixmap pixmap = XCreatePixmap(dpy, root, 16, 16, unsigned(DefaultDepth(dpy, screen)));
    XChangeProperty(dpy, root, XInternAtom(dpy, "_XROOTPMAP_ID", False), XA_PIXMAP, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(&pixmap), 1);
    XSetCloseDownMode(dpy, RetainPermanent);
    XCloseDisplay(dpy);
}

void setRootCardinal(const char *name, unsigned long value)
{
    Display *dpy = XOpenDisplay(nullptr);
    XChangeProperty(dpy, DefaultRootWindow(dpy), XInternAtom(dpy, name, False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(&value), 1);
    XCloseDisplay(dpy);
}

unsigned long rootPixmap()
{
    Display *dpy = XOpenDisplay(nullptr);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char *data = nullptr;
    unsigned long result = 0;
    if (XGetWindowProperty(dpy, DefaultRootWindow(dpy), XInternAtom(dpy, "_XROOTPMAP_ID", False), 0, 1, False,
                           XA_PIXMAP, &type, &format, &items, &after, &data) == Success &&
        data) {
        if (items == 1) result = *reinterpret_cast<unsigned long *>(data);
        XFree(data);
    }
    XCloseDisplay(dpy);
    return result;
}

int g_errors = 0;
int countErrors(Display *, XErrorEvent *)
{
    ++g_errors;
    return 0;
}

bool pixmapExists(unsigned long pixmap)
{
    Display *dpy = XOpenDisplay(nullptr);
    auto previous = XSetErrorHandler(countErrors);
    g_errors = 0;
    Window root;
    int x, y;
    unsigned w, h, border, depth;
    const Status ok = XGetGeometry(dpy, pixmap, &root, &x, &y, &w, &h, &border, &depth);
    XSync(dpy, False);
    XSetErrorHandler(previous);
    XCloseDisplay(dpy);
    return ok && g_errors == 0;
}

bool near(QRgb actual, QRgb expected)
{
    return std::abs(qRed(actual) - qRed(expected)) < 8 && std::abs(qGreen(actual) - qGreen(expected)) < 8 &&
           std::abs(qBlue(actual) - qBlue(expected)) < 8;
}
} // namespace

class TestX11RootBackend : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_strip;    // 3000×1000: red | green | blue thirds
    QString m_portrait; // 1000×2000: yellow above magenta

    QUrl url(const QString &path) const { return QUrl::fromLocalFile(path); }

private Q_SLOTS:
    void initTestCase()
    {
        if (!g_skipReason.isEmpty()) QSKIP(qPrintable(g_skipReason));
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        // The monitors arrive asynchronously after xrandr returned.
        QTRY_COMPARE(QGuiApplication::screens().size(), 2);

        const QImage strip = Test::makeStripPicture();
        const QImage portrait = Test::makePortraitPicture();
        m_strip = m_dir.filePath(QStringLiteral("strip ab12.png"));
        m_portrait = m_dir.filePath(QStringLiteral("portrait-cd34.png"));
        QVERIFY(strip.save(m_strip));
        QVERIFY(portrait.save(m_portrait));
    }

    void displaysComePrimaryFirst()
    {
        const QList<DisplayTarget> displays = connectedDisplays();
        QCOMPARE(displays.size(), 2);
        QCOMPARE(displays[0].name, QStringLiteral("LEFT"));
        QVERIFY(displays[0].primary);
        QCOMPARE(displays[1].name, QStringLiteral("RIGHT"));
        QCOMPARE(displays[1].devicePixelGeometry, QRect(1920, 0, 1920, 1080));
    }

    void allDisplaysFillAndCrop_data()
    {
        QTest::addColumn<bool>("preparedAhead");
        QTest::newRow("decoded while applying") << false;
        QTest::newRow("rendered ahead, off the main thread") << true;
    }

    void allDisplaysFillAndCrop()
    {
        QFETCH(bool, preparedAhead);
        LinuxWallpaperApplier applier(std::make_unique<X11RootBackend>());
        if (preparedAhead) {
            Testing::awaitTask(applier.prepareWallpaper(url(m_strip), DisplayScope::allDisplays, {}));
            // Were the file decoded again while applying, the portrait would show instead of the strip.
            const QString original = m_strip + QStringLiteral(".orig");
            QVERIFY(QFile::rename(m_strip, original));
            QVERIFY(QFile::copy(m_portrait, m_strip));
            Testing::awaitTask(applier.applyWallpaper(url(m_strip), DisplayScope::allDisplays, {}));
            QVERIFY(QFile::remove(m_strip));
            QVERIFY(QFile::rename(original, m_strip));
        } else {
            Testing::awaitTask(applier.applyWallpaper(url(m_strip), DisplayScope::allDisplays, {}));
        }

        // 3000×1000 covering 1920×1080 scales to 3240×1080 and loses 660 pixels each side.
        for (int origin : {0, 1920}) {
            QVERIFY(near(rootPixel(origin + 200, 540), qRgb(255, 0, 0)));
            QVERIFY(near(rootPixel(origin + 440, 540), qRgb(0, 255, 0)));
            QVERIFY(near(rootPixel(origin + 960, 540), qRgb(0, 255, 0)));
            QVERIFY(near(rootPixel(origin + 1480, 540), qRgb(0, 255, 0)));
            QVERIFY(near(rootPixel(origin + 1520, 540), qRgb(0, 0, 255)));
        }
        const QList<std::optional<QUrl>> shown = Testing::awaitTask(applier.desktopImageURLs(DisplayScope::allDisplays));
        QCOMPARE(shown, (QList<std::optional<QUrl>>{url(m_strip), url(m_strip)}));
        QCOMPARE(Testing::awaitTask(applier.currentDesktopImageURLs()), QSet<QUrl>{url(m_strip)});
    }

    void mainDisplayKeepsTheOther()
    {
        LinuxWallpaperApplier applier(std::make_unique<X11RootBackend>());
        Testing::awaitTask(applier.applyWallpaper(url(m_strip), DisplayScope::allDisplays, {}));
        Testing::awaitTask(applier.applyWallpaper(url(m_portrait), DisplayScope::mainDisplay, {}));

        // 1000×2000 covering 1920×1080 scales to 1920×3840: the middle 1080 rows, yellow above magenta.
        QVERIFY(near(rootPixel(960, 500), qRgb(255, 255, 0)));
        QVERIFY(near(rootPixel(960, 580), qRgb(255, 0, 255)));
        QVERIFY(near(rootPixel(1920 + 200, 540), qRgb(255, 0, 0)));
        QVERIFY(near(rootPixel(1920 + 1700, 540), qRgb(0, 0, 255)));

        const QList<std::optional<QUrl>> shown = Testing::awaitTask(applier.desktopImageURLs(DisplayScope::allDisplays));
        QCOMPARE(shown, (QList<std::optional<QUrl>>{url(m_portrait), url(m_strip)}));
        QCOMPARE(Testing::awaitTask(applier.desktopImageURLs(DisplayScope::mainDisplay)), (QList<std::optional<QUrl>>{url(m_portrait)}));
    }

    void recordIsStaleAfterAnotherProgram()
    {
        LinuxWallpaperApplier applier(std::make_unique<X11RootBackend>());
        Testing::awaitTask(applier.applyWallpaper(url(m_portrait), DisplayScope::allDisplays, {}));
        QCOMPARE(Testing::awaitTask(applier.currentDesktopImageURLs()), QSet<QUrl>{url(m_portrait)});

        replaceBackgroundLikeAnotherProgram();
        QCOMPARE(Testing::awaitTask(applier.desktopImageURLs(DisplayScope::allDisplays)), (QList<std::optional<QUrl>>{{}, {}}));
        QVERIFY(Testing::awaitTask(applier.currentDesktopImageURLs()).isEmpty());

        // Setting again after a foreign background starts a fresh record.
        Testing::awaitTask(applier.applyWallpaper(url(m_strip), DisplayScope::mainDisplay, {}));
        QCOMPARE(Testing::awaitTask(applier.desktopImageURLs(DisplayScope::allDisplays)),
                 (QList<std::optional<QUrl>>{url(m_strip), std::nullopt}));
    }

    void previousPixmapIsFreed_data()
    {
        QTest::addColumn<bool>("foreignLeftover");
        QTest::newRow("ours from the change before") << false;
        QTest::newRow("another client's ESETROOT_PMAP_ID, not the root's") << true;
    }
    void previousPixmapIsFreed()
    {
        // Every change leaves one retained pixmap the size of the whole screen on the server; the
        // one before it must go, or each rotation would leak 16 MB of X server memory here. Only
        // the client that owns the root's own pixmap may be killed for it.
        QFETCH(bool, foreignLeftover);
        LinuxWallpaperApplier applier(std::make_unique<X11RootBackend>());
        Testing::awaitTask(applier.applyWallpaper(url(m_strip), DisplayScope::allDisplays, {}));
        const unsigned long first = rootPixmap();
        QVERIFY(first && pixmapExists(first));
        Display *other = nullptr;
        Pixmap foreign = 0;
        if (foreignLeftover) {
            other = XOpenDisplay(nullptr);
            foreign = XCreatePixmap(other, DefaultRootWindow(other), 16, 16, unsigned(DefaultDepth(other, 0)));
            XChangeProperty(other, DefaultRootWindow(other), XInternAtom(other, "ESETROOT_PMAP_ID", False), XA_PIXMAP,
                            32, PropModeReplace, reinterpret_cast<const unsigned char *>(&foreign), 1);
            XSync(other, False);
        }
        Testing::awaitTask(applier.applyWallpaper(url(m_portrait), DisplayScope::mainDisplay, {}));
        const unsigned long second = rootPixmap();
        QVERIFY(second != first);
        QVERIFY(pixmapExists(second));
        if (foreignLeftover) {
            QVERIFY(pixmapExists(foreign));
            XCloseDisplay(other);
        } else {
            QVERIFY(!pixmapExists(first));
        }
    }

    void unreadablePictureIsRefused()
    {
        const QString broken = m_dir.filePath(QStringLiteral("broken.jpg"));
        QFile f(broken);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("\xff\xd8\xff garbage");
        f.close();
        LinuxWallpaperApplier applier(std::make_unique<X11RootBackend>());
        Testing::awaitTask(applier.applyWallpaper(url(m_strip), DisplayScope::allDisplays, {}));
        try {
            Testing::awaitTask(applier.applyWallpaper(url(broken), DisplayScope::allDisplays, {}));
            QFAIL("an unreadable picture was accepted");
        } catch (const WallpaperApplyError &e) {
            QCOMPARE(e.kind(), WallpaperApplyError::Kind::displayUpdateFailed);
        }
        QVERIFY(near(rootPixel(200, 540), qRgb(255, 0, 0)));
        QCOMPARE(Testing::awaitTask(applier.currentDesktopImageURLs()), QSet<QUrl>{url(m_strip)});
    }

    void workspaceSwitchIsNoticed()
    {
        SystemEvents events;
        QVERIFY(events.watchX11Workspaces());
        QSignalSpy changed(&events, &SystemEvents::activeWorkspaceChanged);

        setRootCardinal("_NET_NUMBER_OF_DESKTOPS", 4);
        QVERIFY(!changed.wait(SystemEvents::workspaceSettleMs * 2));

        setRootCardinal("_NET_CURRENT_DESKTOP", 2);
        QVERIFY(changed.wait(5000));
        QCOMPARE(changed.size(), 1);
        // Qt's own root-window events still arrive: we added to its event mask rather than replacing it.
        Display *dpy = XOpenDisplay(nullptr);
        XWindowAttributes attributes;
        XGetWindowAttributes(dpy, DefaultRootWindow(dpy), &attributes);
        XCloseDisplay(dpy);
        QVERIFY(attributes.all_event_masks & StructureNotifyMask);
    }

    void factoryPicksTheRootWindowOnPlainX11()
    {
        qunsetenv("XDG_CURRENT_DESKTOP");
        qunsetenv("XDG_SESSION_DESKTOP");
        qunsetenv("DESKTOP_SESSION");
        qunsetenv("SWAYSOCK");
        const std::shared_ptr<WallpaperApplying> applier = Testing::awaitTask(createDesktopApplier());
        QVERIFY(applier->supportsPerDisplayWallpaper());
        Testing::awaitTask(applier->applyWallpaper(url(m_portrait), DisplayScope::allDisplays, {}));
        QVERIFY(near(rootPixel(1920 + 960, 500), qRgb(255, 255, 0)));
        QCOMPARE(Testing::awaitTask(applier->currentDesktopImageURLs()), QSet<QUrl>{url(m_portrait)});
    }

    void factoryRefusesWhenADesktopWindowCoversTheRoot()
    {
        // A file manager's desktop window (xfdesktop, pcmanfm, caja, nemo) would hide the root pixmap.
        Display *dpy = XOpenDisplay(nullptr);
        const Window window = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 100, 100, 0, 0, 0);
        const Atom desktopType = XInternAtom(dpy, "_NET_WM_WINDOW_TYPE_DESKTOP", False);
        XChangeProperty(dpy, window, XInternAtom(dpy, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char *>(&desktopType), 1);
        XMapWindow(dpy, window);
        XSync(dpy, False);

        qputenv("XDG_CURRENT_DESKTOP", "Enlightenment");
        const std::shared_ptr<WallpaperApplying> applier = Testing::awaitTask(createDesktopApplier());
        qunsetenv("XDG_CURRENT_DESKTOP");
        XDestroyWindow(dpy, window);
        XCloseDisplay(dpy);
        try {
            Testing::awaitTask(applier->applyWallpaper(url(m_strip), DisplayScope::allDisplays, {}));
            QFAIL("a hidden root window was reported as a success");
        } catch (const WallpaperApplyError &e) {
            QVERIFY2(e.underlying().contains(QStringLiteral("Enlightenment")), qPrintable(e.underlying()));
        }
    }

    void factoryPrefersGnomeSettings()
    {
        qputenv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
        const std::shared_ptr<WallpaperApplying> applier = Testing::awaitTask(createDesktopApplier());
        qunsetenv("XDG_CURRENT_DESKTOP");
        // One picture for all displays: the settings say so to the interface.
        QVERIFY(!applier->supportsPerDisplayWallpaper());
    }

    void primaryIsFirstEvenWhenListedLast()
    {
        // Make the right-hand monitor primary: Qt keeps listing LEFT first.
        QVERIFY(g_xvfb->run(QStringLiteral("xrandr"), {"--delmonitor", "RIGHT"}) == 0);
        QVERIFY(g_xvfb->run(QStringLiteral("xrandr"), {"--setmonitor", "*RIGHT", "1920/508x1080/286+1920+0", "none"}) ==
                0);
        QTRY_COMPARE(QGuiApplication::primaryScreen()->name(), QStringLiteral("RIGHT"));
        QTRY_COMPARE(QGuiApplication::screens().size(), 2);
        const QList<DisplayTarget> displays = connectedDisplays();
        QCOMPARE(displays.size(), 2);
        QCOMPARE(displays[0].name, QStringLiteral("RIGHT"));
        QVERIFY(displays[0].primary);
        QCOMPARE(displays[1].name, QStringLiteral("LEFT"));
        QVERIFY(!displays[1].primary);

        LinuxWallpaperApplier applier(std::make_unique<X11RootBackend>());
        Testing::awaitTask(applier.applyWallpaper(url(m_strip), DisplayScope::allDisplays, {}));
        Testing::awaitTask(applier.applyWallpaper(url(m_portrait), DisplayScope::mainDisplay, {}));
        QVERIFY(near(rootPixel(1920 + 960, 500), qRgb(255, 255, 0)));
        QVERIFY(near(rootPixel(200, 540), qRgb(255, 0, 0)));
    }
};

int main(int argc, char *argv[])
{
    Test::XvfbServer xvfb;
    g_xvfb = &xvfb;
    if (Test::findProgram(QStringLiteral("xrandr")).isEmpty()) {
        g_skipReason = QStringLiteral("xrandr is not installed (package x11-xserver-utils)");
    } else if (!xvfb.start(QStringLiteral("3840x1080x24"))) {
        g_skipReason = xvfb.error();
    } else if (xvfb.run(QStringLiteral("xrandr"), {"--setmonitor", "*LEFT", "1920/508x1080/286+0+0", "screen"}) != 0 ||
               xvfb.run(QStringLiteral("xrandr"), {"--setmonitor", "RIGHT", "1920/508x1080/286+1920+0", "none"}) != 0) {
        g_skipReason = QStringLiteral("xrandr could not define two monitors");
    }
    // Never reach (or autolaunch) the developer's session bus from this test.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/starvane-test-bus");
    qputenv("GSETTINGS_BACKEND", "memory");
    if (g_skipReason.isEmpty()) {
        qputenv("DISPLAY", xvfb.display().toUtf8());
        qputenv("QT_QPA_PLATFORM", "xcb");
    } else {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    TestX11RootBackend test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_x11rootbackend.moc"

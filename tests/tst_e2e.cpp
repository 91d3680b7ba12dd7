// SPDX-License-Identifier: GPL-3.0-or-later
// The real `starvane` binary from the outside: a private X server with two monitors, private
// session and system buses, a loopback archive, and a home directory of its own. The test talks to
// the program only as a user would: through its command line, the screen and the files it leaves.
//
// Under valgrind (every error fails the test through the program's exit status at "quit"):
//   QT_ENABLE_REGEXP_JIT=0 STARVANE_E2E_WRAPPER="valgrind --error-exitcode=99
//   --suppressions=$PWD/tests/support/valgrind-qt.supp" build/ci/tests/tst_e2e   (one line)
// STARVANE_E2E_SCREENSHOTS=DIR keeps the screenshots of the window and the tray menu.
#include "archive/boundeddownload.h"
#include "archiveserver.h"
#include "desktopharness.h"
#include "store/keyvaluestore.h"
#include "store/wallpaperstore.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <csignal>
#include <functional>
#include <optional>
#include <sys/stat.h>

using namespace Starvane;
using Starvane::Testing::ArchiveTestServer;
using Response = ArchiveTestServer::Response;

namespace {

QString g_skipReason;
Test::XvfbServer *g_xvfb = nullptr;
// STARVANE_E2E_WRAPPER runs the program under another one (valgrind, say); time-outs then stretch.
QStringList g_wrapper;
int g_slow = 1;

const QString kNotRunning = QStringLiteral("Starvane is not running. Start it with: starvane\n");
const QString kFirstPage = QStringLiteral("/images/archive/wallpapers/");
const QString kSecondPage = QStringLiteral("/images/archive/wallpapers/page/2/");

/// One archive picture: a solid colour, so a pixel of the screen tells which one is shown.
struct Picture
{
    QString id;
    QString title;
    QRgb colour;
};

const QList<Picture> kGoodPictures = {
    {QStringLiteral("potw2401a"), QStringLiteral("A red emission nebula"), qRgb(200, 30, 30)},
    {QStringLiteral("potw2402a"), QStringLiteral("A green planetary nebula"), qRgb(30, 180, 40)},
    {QStringLiteral("potw2403a"), QStringLiteral("A blue spiral galaxy"), qRgb(40, 60, 220)},
};
// Six candidates, as many as one change tries, each misbehaving in one of three ways (in both of
// its files): announcing more than the 100 MiB limit, stopping half-way, a web page instead of a picture.
const QStringList kHostileIDs = {QStringLiteral("potw2404a"), QStringLiteral("potw2405a"), QStringLiteral("potw2406a"),
                                 QStringLiteral("potw2407a"), QStringLiteral("potw2408a"), QStringLiteral("potw2409a")};
const QStringList kHostileErrors = {QStringLiteral("Skipped oversized image (200.0 MB)."),
                                    QStringLiteral("Image download ended before all bytes were received."),
                                    QStringLiteral("Downloaded file was not a valid image.")};
// For "each display": three monitors of different shapes, and pictures of both shapes.
struct Monitor
{
    const char *name;
    QRect geometry;
};
const QList<Monitor> kShapedMonitors = {
    {"*LEFT", {0, 0, 1920, 1080}}, {"PORTRAIT", {1920, 0, 1080, 1920}}, {"WIDE", {3000, 0, 2560, 1080}}};
const QList<Picture> kLandscapePictures = {
    {QStringLiteral("potw2421a"), QStringLiteral("A yellow star field"), qRgb(250, 240, 140)},
    {QStringLiteral("potw2422a"), QStringLiteral("A cyan nebula"), qRgb(90, 240, 250)},
    {QStringLiteral("potw2423a"), QStringLiteral("A purple galaxy"), qRgb(160, 20, 120)},
    {QStringLiteral("potw2424a"), QStringLiteral("A coral cluster"), qRgb(250, 90, 60)},
    {QStringLiteral("potw2427a"), QStringLiteral("A blue spiral"), qRgb(40, 60, 230)},
    {QStringLiteral("potw2428a"), QStringLiteral("A green ring"), qRgb(60, 200, 70)},
};
const QList<Picture> kPortraitPictures = {
    {QStringLiteral("potw2425a"), QStringLiteral("A tall pillar of gas"), qRgb(120, 60, 20)},
    {QStringLiteral("potw2426a"), QStringLiteral("A tall jet"), qRgb(20, 90, 60)},
};

const QString kCredit = QStringLiteral("NASA, ESA and the Starvane Test Team");
// Two more, served only once the history is put to the test.
const QList<Picture> kMorePictures = {
    {QStringLiteral("potw2411a"), QStringLiteral("A yellow star cluster"), qRgb(220, 200, 30)},
    {QStringLiteral("potw2412a"), QStringLiteral("A cyan supernova remnant"), qRgb(30, 200, 210)},
};

QByteArray catalogPage(const QList<std::pair<QString, QString>> &entries, const QSet<QString> &portrait = {})
{
    QByteArray html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head><meta charset=\"utf-8\"><title>Wallpapers | "
                      "ESA/Hubble</title></head>\n<body>\n<div class=\"container\">\n<h1>Wallpapers</h1>\n"
                      "<script>\nvar images = [\n";
    for (const auto &[id, title] : entries) {
        const bool upright = portrait.contains(id);
        html += "{\n    id: '" + id.toUtf8() + "',\n    title: '" + title.toUtf8() +
                "',\n    width: " + (upright ? "2160" : "3840") + ",\n    height: " + (upright ? "3840" : "2160") +
                ",\n    src: '{{BASE}}/archives/images/thumb300y/" + id.toUtf8() + ".jpg',\n    url: '/images/" +
                id.toUtf8() + "/',\n    potw: '1 January 2024'\n},\n";
    }
    html += "];\n</script>\n<div id=\"images-list\"></div>\n</div>\n</body>\n</html>\n";
    return html;
}

QByteArray detailPage(const QString &id, const QString &title)
{
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head><meta charset=\"utf-8\"><title>" + title.toUtf8() +
           " | ESA/Hubble</title></head>\n<body>\n<h1>" + title.toUtf8() +
           "</h1>\n<div class=\"archive-image\"><img src=\"x\"/></div>\n<div style=\"margin-top: 10px\"><p>What " +
           title.toUtf8() + " shows.</p></div>\n<p><strong>Credit:</strong></p>\n<div class=\"credit\"><p>" +
           kCredit.toUtf8() +
           "</p>\n</div>\n<div class=\"archive-download\">\n<ul>\n"
           "<li><a href=\"{{BASE}}/archives/images/large/" +
           id.toUtf8() +
           ".jpg\">Large JPEG</a></li>\n"
           "</ul>\n</div>\n<table class=\"table\">\n"
           "<tr><th class=\"title\" scope=\"row\">Id:</th><td>" +
           id.toUtf8() +
           "</td></tr>\n"
           "<tr><th class=\"title\" scope=\"row\">Type:</th><td>Observation</td></tr>\n"
           "</table>\n</body>\n</html>\n";
}

QByteArray solidJpeg(QRgb colour, QSize size = {3840, 2160})
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return bytes;
}

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

Run runStarvane(const QStringList &arguments, const QProcessEnvironment &env, int timeoutMs = 15000)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(STARVANE_BINARY), arguments);
    Run run;
    if (!process.waitForStarted(5000)) return run;
    if (!process.waitForFinished(timeoutMs * g_slow)) {
        process.kill();
        process.waitForFinished(2000);
        run.err = QStringLiteral("(did not finish in time)");
        return run;
    }
    run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

/// The value of the line "<field>: value" of a status text.
QString statusField(const QString &status, const QString &field)
{
    const QRegularExpression re(QStringLiteral("^") + QRegularExpression::escape(field) + QStringLiteral(": (.*)$"),
                                QRegularExpression::MultilineOption);
    return re.match(status).captured(1);
}

/// A "Next change" of `status`: the C locale's date and time without seconds, as the tests run it.
QDateTime statusDate(const QString &field)
{
    return QLocale::c().toDateTime(field, QStringLiteral("d MMM yyyy HH:mm"));
}

std::optional<QRgb> rootPixel(const QString &display, int x, int y)
{
    Display *dpy = XOpenDisplay(display.toLocal8Bit().constData());
    if (!dpy) return std::nullopt;
    std::optional<QRgb> result;
    if (XImage *image = XGetImage(dpy, DefaultRootWindow(dpy), x, y, 1, 1, AllPlanes, ZPixmap)) {
        result = QRgb(XGetPixel(image, 0, 0)) | 0xff000000u;
        XDestroyImage(image);
    }
    XCloseDisplay(dpy);
    return result;
}

bool near(std::optional<QRgb> actual, QRgb expected)
{
    return actual && std::abs(qRed(*actual) - qRed(expected)) < 12 &&
           std::abs(qGreen(*actual) - qGreen(expected)) < 12 && std::abs(qBlue(*actual) - qBlue(expected)) < 12;
}

/// Polls `condition` every 200 ms until it holds or `ms` pass; events keep flowing meanwhile.
bool waitUntil(const std::function<bool()> &condition, int ms)
{
    QDeadlineTimer deadline(qint64(ms) * g_slow);
    while (!deadline.hasExpired()) {
        if (condition()) return true;
        QTest::qWait(200);
    }
    return condition();
}

qint64 vmRssKiB(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QRegularExpression re(QStringLiteral("^VmRSS:\\s+(\\d+) kB"), QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = re.match(QString::fromLatin1(f.readAll()));
    return m.hasMatch() ? m.captured(1).toLongLong() : -1;
}

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;
    ArchiveTestServer m_server;
    Test::PrivateBus m_sessionBus;
    Test::PrivateBus m_systemBus;
    Test::StandInNetworkManager m_network;
    Test::ChildProcess m_tray;
    Test::ChildProcess m_app;
    QProcessEnvironment m_env;
    QString m_display;
    QString m_shownID; // the picture on screen after `starvane next`
    QString m_shownFile;
    QString m_screenshotDir;
    bool m_appStarted = false;
    QElapsedTimer m_appClock;
    bool m_trayStarted = false;

    QString cacheDir() const { return m_home.filePath(QStringLiteral(".local/share/Starvane/Wallpapers")); }
    QString stateFile() const { return m_home.filePath(QStringLiteral(".config/Starvane/Starvane.conf")); }
    QString logFile() const { return m_home.filePath(QStringLiteral("starvane.log")); }

    QRgb colourOf(const QString &id) const
    {
        for (const QList<Picture> &pictures : {kGoodPictures, kMorePictures, kLandscapePictures, kPortraitPictures})
            for (const Picture &p : pictures)
                if (p.id == id) return p.colour;
        return 0;
    }

    QJsonObject statusJson() const
    {
        const Run run = runStarvane({QStringLiteral("status"), QStringLiteral("--json")}, m_env);
        return run.code == 0 ? QJsonDocument::fromJson(run.out.toUtf8()).object() : QJsonObject();
    }

    /// Runs `command` and waits until the change it starts has ended; the id then on screen.
    QString changeWith(const QString &command)
    {
        const Run run = runStarvane({command}, m_env);
        if (run.code != 0) return QStringLiteral("(%1 failed: %2)").arg(command, run.err);
        // The change starts from the event loop: give it the moment to begin before waiting for its end.
        QTest::qWait(300);
        QJsonObject s;
        waitUntil(
            [&] {
                s = statusJson();
                return !s.value(QLatin1String("loading")).toBool(true);
            },
            30000);
        return s.value(QLatin1String("id")).toString();
    }

    /// Monitor name → image id of every display `status --json` lists with a picture.
    QMap<QString, QString> screenPictures() const
    {
        QMap<QString, QString> pictures;
        const QJsonArray screens = statusJson().value(QLatin1String("screens")).toArray();
        for (const QJsonValue &screen : screens) {
            const QJsonObject o = screen.toObject();
            if (o.value(QLatin1String("id")).isString())
                pictures.insert(o.value(QLatin1String("name")).toString(), o.value(QLatin1String("id")).toString());
        }
        return pictures;
    }

    /// The middle and the four corners of a monitor all show `colour`. The top corners are read below
    /// the tray panel (28 pixels at the top left, once trayMenuOpens has started it): the root window's
    /// pixels include it, and our icon in it appears whenever the program's tray icon does.
    bool monitorShows(const QRect &g, QRgb colour) const
    {
        for (const QPoint &p : {g.center(), g.topLeft() + QPoint(5, 40), g.topRight() + QPoint(-5, 40),
                                g.bottomLeft() + QPoint(5, -5), g.bottomRight() + QPoint(-5, -5)})
            if (!near(rootPixel(m_display, p.x(), p.y()), colour)) return false;
        return true;
    }

    bool bothMonitorsShow(QRgb colour) const
    {
        return near(rootPixel(m_display, 960, 540), colour) && near(rootPixel(m_display, 1920 + 960, 540), colour) &&
               near(rootPixel(m_display, 100, 100), colour) && near(rootPixel(m_display, 3800, 1000), colour);
    }

    int archiveRequests() const
    {
        int n = 0;
        for (const ArchiveTestServer::Request &r : m_server.requests())
            if (r.path.startsWith(QLatin1String("/images/")) || r.path.startsWith(QLatin1String("/archives/"))) ++n;
        return n;
    }

    QString status() const { return runStarvane({QStringLiteral("status")}, m_env).out; }

    /// Starts the application (logging to a file of its own, so a full pipe can never stall it).
    bool startApp(const QStringList &arguments)
    {
        if (!m_app.start(QStringLiteral("/bin/sh"),
                         QStringList{QStringLiteral("-c"), QStringLiteral("exec \"$0\" \"$@\" >>\"$STARVANE_E2E_LOG\" 2>&1")} +
                             (g_wrapper.isEmpty() ? QStringList{QStringLiteral(STARVANE_BINARY)}
                                                  : g_wrapper + QStringList{QStringLiteral(STARVANE_BINARY)}) +
                             arguments,
                         m_env))
            return false;
        m_appStarted = true;
        m_appClock.start();
        // Ready once it answers on the bus.
        return waitUntil([this] { return runStarvane({QStringLiteral("status")}, m_env, 5000).code == 0; }, 15000);
    }

    QString appLog() const
    {
        QFile f(logFile());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    /// Mapped windows of the program (tray icon, menus, main window).
    QStringList visibleAppWindows() const
    {
        QByteArray out;
        Test::runTool(QStringLiteral("xdotool"),
                      {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--classname"),
                       QStringLiteral("starvane")},
                      m_env, &out, 5000);
        return QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    /// Mapped top-level windows titled exactly "Starvane" (the tray icon, named so too, is embedded
    /// in the tray and so is no top-level window).
    QStringList visibleMainWindows() const
    {
        QByteArray out;
        Test::runTool(QStringLiteral("xdotool"),
                      {QStringLiteral("search"), QStringLiteral("--maxdepth"), QStringLiteral("1"),
                       QStringLiteral("--onlyvisible"), QStringLiteral("--name"), QStringLiteral("^Starvane$")},
                      m_env, &out, 5000);
        return QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    void keepScreenshot(const QString &file)
    {
        if (m_screenshotDir.isEmpty()) return;
        const QString target = QDir(m_screenshotDir).filePath(QFileInfo(file).fileName());
        QFile::remove(target);
        QVERIFY(QFile::copy(file, target));
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!g_skipReason.isEmpty()) QSKIP(qPrintable(g_skipReason));
        QVERIFY(m_home.isValid());
        m_display = g_xvfb->display();
        m_screenshotDir = qEnvironmentVariable("STARVANE_E2E_SCREENSHOTS");

        // The archive: three good pictures on the first catalog page, three hostile ones on the second.
        QVERIFY(m_server.start());
        QList<std::pair<QString, QString>> good;
        for (const Picture &p : kGoodPictures) {
            good.append({p.id, p.title});
            m_server.setResponse(QStringLiteral("/images/%1/").arg(p.id), Response::page(detailPage(p.id, p.title)));
            Response jpeg = Response::file(solidJpeg(p.colour));
            jpeg.contentType = "image/jpeg";
            m_server.setResponse(QStringLiteral("/archives/images/large/%1.jpg").arg(p.id), jpeg);
        }
        m_server.setResponse(kFirstPage, Response::page(catalogPage(good)));
        for (const bool upright : {false, true}) {
            for (const Picture &p : upright ? kPortraitPictures : kLandscapePictures) {
                m_server.setResponse(QStringLiteral("/images/%1/").arg(p.id),
                                     Response::page(detailPage(p.id, p.title)));
                Response jpeg = Response::file(solidJpeg(p.colour, upright ? QSize(2160, 3840) : QSize(3840, 2160)));
                jpeg.contentType = "image/jpeg";
                m_server.setResponse(QStringLiteral("/archives/images/large/%1.jpg").arg(p.id), jpeg);
            }
        }
        QList<std::pair<QString, QString>> hostile;
        for (const QString &id : kHostileIDs) {
            hostile.append({id, QStringLiteral("Hostile %1").arg(id)});
            m_server.setResponse(QStringLiteral("/images/%1/").arg(id), Response::page(detailPage(id, id)));
        }
        m_server.setResponse(kSecondPage, Response::page(catalogPage(hostile)));
        Response oversized = Response::generated(200LL * 1024 * 1024);
        oversized.contentType = "image/jpeg";
        Response truncated = Response::truncated(4'000'000, 1'000'000);
        truncated.contentType = "image/jpeg";
        const Response notAPicture = Response::page("<!DOCTYPE html><html><body><h1>Not found</h1></body></html>");
        const QList<Response> misbehaviour = {oversized, truncated, notAPicture};
        for (qsizetype i = 0; i < kHostileIDs.size(); ++i) {
            for (const char *variant : {"large", "wallpaper5"})
                m_server.setResponse(QStringLiteral("/archives/images/%1/%2.jpg").arg(QLatin1String(variant), kHostileIDs[i]),
                                     misbehaviour[i % 3]);
        }

        // A home of its own, and no trace of the developer's desktop.
        const QString home = m_home.path();
        for (const char *dir : {".config", ".local/share", ".cache", "tmp", "run"})
            QVERIFY(QDir(home).mkpath(QString::fromLatin1(dir)));
        QVERIFY(::chmod(QFile::encodeName(m_home.filePath(QStringLiteral("run"))).constData(), 0700) == 0);
        m_env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP", "DESKTOP_SESSION", "XDG_SESSION_TYPE",
                                 "WAYLAND_DISPLAY", "SWAYSOCK", "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID",
                                 "SESSION_MANAGER", "XAUTHORITY"})
            m_env.remove(QString::fromLatin1(name));
        // The words and dates the checks expect: the C locale's, whatever the developer's desktop speaks.
        m_env.remove(QStringLiteral("LANGUAGE"));
        m_env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        m_env.insert(QStringLiteral("HOME"), home);
        m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
        m_env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
        m_env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
        m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/run"));
        m_env.insert(QStringLiteral("TMPDIR"), home + QStringLiteral("/tmp"));
        m_env.insert(QStringLiteral("DISPLAY"), m_display);
        m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        m_env.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("memory"));
        m_env.insert(QStringLiteral("STARVANE_TEST_ARCHIVE_WEB"), m_server.baseURL().toString());
        m_env.insert(QStringLiteral("STARVANE_TEST_ARCHIVE_IMAGES"), m_server.baseURL().toString());
        m_env.insert(QStringLiteral("STARVANE_E2E_LOG"), logFile());
        m_env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("qt.*=false"));
        QVERIFY2(m_sessionBus.start(m_env), qPrintable(m_sessionBus.error()));
        QVERIFY2(m_systemBus.start(m_env), qPrintable(m_systemBus.error()));
        m_env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_sessionBus.address());
        m_env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), m_systemBus.address());
        // Online from the start, as NetworkManager reports it; one test takes the machine off line.
        QVERIFY2(m_network.start(QStringLiteral(STANDIN_NM), m_systemBus.address()), qPrintable(m_network.error()));
    }

    void commandsWithoutInstance_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out");  // a regular expression
        QTest::addColumn<QString>("err");  // a regular expression

        const QString notRunning = QRegularExpression::escape(kNotRunning);
        for (const char *command : {"next", "pause", "resume", "status", "show", "quit"})
            QTest::newRow(command) << QStringList{QString::fromLatin1(command)} << 1 << QString() << notRunning;
        QTest::newRow("--version") << QStringList{"--version"} << 0 << QStringLiteral("starvane \\d+\\.\\d+.*\n")
                                   << QString();
        QTest::newRow("--help") << QStringList{"--help"} << 0 << QStringLiteral("Usage: starvane \\[COMMAND\\][\\s\\S]*")
                                << QString();
        QTest::newRow("unknown command") << QStringList{"shuffle"} << 2 << QString()
                                         << QStringLiteral("starvane: unknown command 'shuffle'\n\nUsage:[\\s\\S]*");
        QTest::newRow("extra argument") << QStringList{"next", "twice"} << 2 << QString()
                                        << QStringLiteral("starvane: 'next' takes no arguments\n[\\s\\S]*");
        QTest::newRow("status --json") << QStringList{"status", "--json"} << 1 << QString() << notRunning;
        QTest::newRow("unknown frequency") << QStringList{"frequency", "weekly"} << 2 << QString()
                                           << QStringLiteral("starvane: 'frequency' needs one of: [^\n]*\n\nUsage:[\\s\\S]*");
    }

    void commandsWithoutInstance()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const Run run = runStarvane(arguments, m_env);
        QCOMPARE(run.code, code);
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(out)).match(run.out).hasMatch(),
                 qPrintable(run.out));
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(err)).match(run.err).hasMatch(),
                 qPrintable(run.err));
    }

    void firstRotationReachesBothMonitors()
    {
        // At login: no window, so the single-instance test below can see the second launch open it.
        QVERIFY2(startApp({QStringLiteral("--at-login")}), qPrintable(appLog()));

        // A first launch has nothing to show, so it fetches on its own.
        QString text;
        const auto settledOnOtherThan = [&](const QString &previous) {
            text = status();
            const QString shown = statusField(text, QStringLiteral("Wallpaper"));
            return !shown.isEmpty() && !shown.startsWith(QLatin1String("none")) &&
                   (previous.isEmpty() || !shown.endsWith(QStringLiteral("(%1)").arg(previous))) &&
                   !text.contains(QLatin1String("Updating wallpaper"));
        };
        const QRegularExpression shownRE(QStringLiteral("^(.*) \\((potw\\d+a)\\)$"));
        QVERIFY2(waitUntil([&] { return settledOnOtherThan(QString()); }, 30000),
                 qPrintable(text + QLatin1Char('\n') + appLog()));
        const QString firstID = shownRE.match(statusField(text, QStringLiteral("Wallpaper"))).captured(2);
        QVERIFY2(colourOf(firstID) != 0, qPrintable(text));
        QVERIFY(waitUntil([&] { return bothMonitorsShow(colourOf(firstID)); }, 10000));

        // Then the user asks for the next one: another picture reaches both monitors.
        const Run next = runStarvane({QStringLiteral("next")}, m_env);
        QCOMPARE(next.code, 0);
        QCOMPARE(next.out, QStringLiteral("Changing the wallpaper\u2026\n"));
        QVERIFY2(waitUntil([&] { return settledOnOtherThan(firstID); }, 30000),
                 qPrintable(text + QLatin1Char('\n') + appLog()));
        const QRegularExpressionMatch m = shownRE.match(statusField(text, QStringLiteral("Wallpaper")));
        QVERIFY2(m.hasMatch(), qPrintable(text));
        m_shownID = m.captured(2);
        const QRgb colour = colourOf(m_shownID);
        QVERIFY2(colour != 0, qPrintable(m_shownID));
        QVERIFY(waitUntil([&] { return bothMonitorsShow(colour); }, 10000));

        // Status: title, credit, schedule, no error.
        for (const Picture &p : kGoodPictures)
            if (p.id == m_shownID) QCOMPARE(m.captured(1), p.title);
        QCOMPARE(statusField(text, QStringLiteral("Credit")), kCredit);
        QCOMPARE(statusField(text, QStringLiteral("Status")), QStringLiteral("Auto: Every hour"));
        QCOMPARE(statusField(text, QStringLiteral("Displays")), QStringLiteral("All displays"));
        const QDateTime nextChange = statusDate(statusField(text, QStringLiteral("Next change")));
        QVERIFY2(nextChange.isValid(), qPrintable(text));
        QVERIFY(nextChange > QDateTime::currentDateTime().addSecs(50 * 60));
        QVERIFY(nextChange <= QDateTime::currentDateTime().addSecs(60 * 60 + 5));
        QVERIFY2(!text.contains(QLatin1String("Error:")), qPrintable(text));

        // The cache holds the picture under the shown file's name; the state file names it and its hash.
        m_shownFile = statusField(text, QStringLiteral("File"));
        QCOMPARE(QFileInfo(m_shownFile).absolutePath(), QDir(cacheDir()).absolutePath());
        QVERIFY(QFileInfo(m_shownFile).fileName().startsWith(m_shownID));
        QFile shown(m_shownFile);
        QVERIFY(shown.open(QIODevice::ReadOnly));
        const QByteArray hash = QCryptographicHash::hash(shown.readAll(), QCryptographicHash::Sha256).toHex();
        // The settings file is written from the event loop, just after the change.
        QVERIFY(waitUntil(
            [&] {
                return SettingsKeyValueStore(stateFile()).string(StoreKeys::currentHash) == QString::fromLatin1(hash);
            },
            5000));
        SettingsKeyValueStore state(stateFile());
        QVERIFY(state.data(StoreKeys::currentImage).value_or(QByteArray()).contains(m_shownID.toUtf8()));
        QCOMPARE(QDir::cleanPath(state.string(StoreKeys::currentFilePath).value_or(QString())), QDir::cleanPath(m_shownFile));
        QCOMPARE(state.string(StoreKeys::currentHash).value_or(QString()), QString::fromLatin1(hash));
        QVERIFY(state.stringArray(StoreKeys::recentIDs).value_or(QStringList()).contains(m_shownID));
        QVERIFY(state.stringArray(StoreKeys::recentHashes).value_or(QStringList()).contains(QString::fromLatin1(hash)));
        QVERIFY(state.date(StoreKeys::nextChangeDate).has_value());

        // No download is left behind in the temporary folder.
        QCOMPARE(QDir(m_home.filePath(QStringLiteral("tmp"))).entryList({temporaryDownloadPrefix + QLatin1Char('*')}, QDir::Files),
                 QStringList());
    }

    void idleMemory()
    {
        QTest::qWait(1000);
        const qint64 kib = vmRssKiB(m_app.process().processId());
        QVERIFY(kib > 0);
        qInfo("starvane idle in the tray, window never opened, after two changes: VmRSS %lld kB (%.1f MiB)", kib,
              double(kib) / 1024.0);
        // A guard against a gross regression (such as keeping decoded 4K pictures), not a measurement.
        if (g_wrapper.isEmpty()) QVERIFY2(kib < 400 * 1024, qPrintable(QString::number(kib)));

        // Thumbnails were written for both changes: that must not have loaded every image plugin Qt has.
        QFile maps(QStringLiteral("/proc/%1/maps").arg(m_app.process().processId()));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        QSet<QString> plugins;
        const QRegularExpression plugin(QStringLiteral("/imageformats/(lib\\w+\\.so)$"), QRegularExpression::MultilineOption);
        for (auto it = plugin.globalMatch(QString::fromLatin1(maps.readAll())); it.hasNext();)
            plugins.insert(it.next().captured(1));
        if (g_wrapper.isEmpty()) QCOMPARE(plugins, QSet<QString>{QStringLiteral("libqjpeg.so")});
    }

    void trayMenuOpens()
    {
        if (Test::findProgram(QStringLiteral("trayer")).isEmpty()) QSKIP("trayer is not installed (package trayer)");
        // The tray host comes up well after the program, as a panel may at login.
        QTest::qWait(int(std::max<qint64>(0, 3000 - m_appClock.elapsed())));
        QVERIFY(!appLog().contains(QLatin1String("Tray icon created")));
        QVERIFY(m_tray.start(QStringLiteral("trayer"),
                             {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                              QStringLiteral("left"), QStringLiteral("--widthtype"), QStringLiteral("request"),
                              QStringLiteral("--heighttype"), QStringLiteral("pixel"), QStringLiteral("--height"),
                              QStringLiteral("28"), QStringLiteral("--transparent"), QStringLiteral("true"),
                              QStringLiteral("--alpha"), QStringLiteral("0")},
                             m_env));
        m_trayStarted = true;
        QVERIFY2(waitUntil([&] { return appLog().contains(QLatin1String("Tray icon created")); }, 10000),
                 qPrintable(appLog()));
        QVERIFY2(!appLog().contains(QLatin1String("No Icon set")), qPrintable(appLog()));
        QTest::qWait(300);
        const QStringList before = visibleAppWindows();
        // trayer sits at the top left and holds our icon only.
        QCOMPARE(Test::runTool(QStringLiteral("xdotool"),
                               {QStringLiteral("mousemove"), QStringLiteral("12"), QStringLiteral("14"),
                                QStringLiteral("click"), QStringLiteral("3")},
                               m_env),
                 0);
        QString menu;
        QVERIFY(waitUntil(
            [&] {
                for (const QString &w : visibleAppWindows())
                    if (!before.contains(w)) menu = w;
                return !menu.isEmpty();
            },
            5000));
        // The menu opens where the icon was clicked and holds all its lines.
        QByteArray geometry;
        QCOMPARE(Test::runTool(QStringLiteral("xdotool"),
                               {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), menu}, m_env,
                               &geometry),
                 0);
        QHash<QString, int> g;
        for (const QString &line : QString::fromUtf8(geometry).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            g.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1).toInt());
        QVERIFY2(g.value(QStringLiteral("X")) < 40 && g.value(QStringLiteral("Y")) < 40, geometry.constData());
        QVERIFY2(g.value(QStringLiteral("HEIGHT")) > 150 && g.value(QStringLiteral("WIDTH")) > 120,
                 geometry.constData());

        if (!Test::findProgram(QStringLiteral("import")).isEmpty()) {
            QTest::qWait(300);
            const QString shot = m_home.filePath(QStringLiteral("tray-menu.png"));
            const QString crop = QStringLiteral("%1x%2+0+0")
                                     .arg(g.value(QStringLiteral("X")) + g.value(QStringLiteral("WIDTH")) + 12)
                                     .arg(g.value(QStringLiteral("Y")) + g.value(QStringLiteral("HEIGHT")) + 12);
            QCOMPARE(Test::runTool(QStringLiteral("import"),
                                   {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("-crop"), crop,
                                    QStringLiteral("+repage"), shot},
                                   m_env),
                     0);
            QVERIFY(!QImage(shot).isNull());
            keepScreenshot(shot);
        }
        QCOMPARE(Test::runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Escape")}, m_env), 0);
        QVERIFY(waitUntil([&] { return !visibleAppWindows().contains(menu); }, 5000));
    }

    void secondLaunchShowsTheFirstOnesWindow()
    {
        QVERIFY2(visibleMainWindows().isEmpty(), "started at login, yet a window is shown");
        const Run again = runStarvane({}, m_env, 10000);
        QCOMPARE(again.code, 0);
        QVERIFY(waitUntil([&] { return !visibleMainWindows().isEmpty(); }, 10000));
        QCOMPARE(visibleMainWindows().size(), 1);
        QCOMPARE(m_app.process().state(), QProcess::Running);

        // A second `show` raises the same window instead of opening another.
        QCOMPARE(runStarvane({QStringLiteral("show")}, m_env).code, 0);
        QTest::qWait(300);
        QCOMPARE(visibleMainWindows().size(), 1);
        QTest::qWait(1000);
        qInfo("starvane with its window open: VmRSS %lld kB", vmRssKiB(m_app.process().processId()));

        if (Test::findProgram(QStringLiteral("import")).isEmpty()) return;
        QTest::qWait(500); // the preview card loads its thumbnail in the background
        const QString shot = m_home.filePath(QStringLiteral("main-window.png"));
        QCOMPARE(Test::runTool(QStringLiteral("import"),
                               {QStringLiteral("-window"), visibleMainWindows().constFirst(), shot}, m_env),
                 0);
        const QImage image(shot);
        QVERIFY(!image.isNull());
        QVERIFY(image.width() > 300 && image.height() > 300);
        keepScreenshot(shot);
    }

    void restartRestoresWithoutFetching()
    {
        const QString before = status();
        const Run quit = runStarvane({QStringLiteral("quit")}, m_env);
        QCOMPARE(quit.code, 0);
        QVERIFY(m_app.process().waitForFinished(10000 * g_slow));
        QCOMPARE(m_app.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_app.process().exitCode(), 0);
        QCOMPARE(runStarvane({QStringLiteral("status")}, m_env).err, kNotRunning);

        const int requests = archiveRequests();
        QVERIFY2(startApp({QStringLiteral("--at-login")}), qPrintable(appLog()));
        const QString after = status();
        for (const char *field : {"Wallpaper", "Credit", "File", "Status", "Next change"})
            QCOMPARE(statusField(after, QString::fromLatin1(field)), statusField(before, QString::fromLatin1(field)));
        // With the tray already there, the icon comes back on its own.
        if (m_trayStarted)
            QVERIFY2(waitUntil([&] { return appLog().count(QLatin1String("Tray icon created")) == 2; }, 6000),
                     qPrintable(appLog()));
        QTest::qWait(1000);
        QCOMPARE(archiveRequests(), requests);
        QVERIFY(bothMonitorsShow(colourOf(m_shownID)));
    }

    void pauseAndResumeAnswerWithTheNewState()
    {
        const Run pause = runStarvane({QStringLiteral("pause")}, m_env);
        QCOMPARE(pause.code, 0);
        QCOMPARE(statusField(pause.out, QStringLiteral("Status")),
                 QStringLiteral("Paused \u00b7 every 1 hour when resumed"));
        QCOMPARE(statusField(pause.out, QStringLiteral("Next change")), QStringLiteral("none scheduled"));
        // Pausing twice stays paused rather than toggling back.
        QCOMPARE(statusField(runStarvane({QStringLiteral("pause")}, m_env).out, QStringLiteral("Status")),
                 QStringLiteral("Paused \u00b7 every 1 hour when resumed"));
        const Run resume = runStarvane({QStringLiteral("resume")}, m_env);
        QCOMPARE(resume.code, 0);
        QCOMPARE(statusField(resume.out, QStringLiteral("Status")), QStringLiteral("Auto: Every hour"));
        QVERIFY2(statusDate(statusField(resume.out, QStringLiteral("Next change"))).isValid(), qPrintable(resume.out));
    }

    void scriptsReadAndSetTheState()
    {
        const auto json = [&] {
            const Run run = runStarvane({QStringLiteral("status"), QStringLiteral("--json")}, m_env);
            return run.code == 0 ? QJsonDocument::fromJson(run.out.toUtf8()).object() : QJsonObject();
        };
        QJsonObject s = json();
        QCOMPARE(s.value(QLatin1String("id")).toString(), m_shownID);
        QCOMPARE(s.value(QLatin1String("file")).toString(), m_shownFile);
        QCOMPARE(s.value(QLatin1String("hash")).toString(),
                 SettingsKeyValueStore(stateFile()).string(StoreKeys::currentHash).value_or(QString()));
        QCOMPARE(s.value(QLatin1String("frequency")).toString(), QStringLiteral("hourly"));

        QCOMPARE(runStarvane({QStringLiteral("frequency"), QStringLiteral("15m")}, m_env).code, 0);
        QCOMPARE(json().value(QLatin1String("frequency")).toString(), QStringLiteral("15m"));
        // A bad word is refused before anything is sent.
        QCOMPARE(runStarvane({QStringLiteral("frequency"), QStringLiteral("15")}, m_env).code, 2);
        QCOMPARE(json().value(QLatin1String("frequency")).toString(), QStringLiteral("15m"));
        QCOMPARE(runStarvane({QStringLiteral("frequency"), QStringLiteral("hourly")}, m_env).code, 0);
        QCOMPARE(json().value(QLatin1String("frequency")).toString(), QStringLiteral("hourly"));
    }

    void refusalsAndBadValuesChangeNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("err"); // what the error line says, whole
        // Plain X11 has no lock screen to give a picture: the instance answers, and says no.
        QTest::newRow("lock screen here") << QStringList{"lock-screen", "on"} << 1
                                          << "starvane: This desktop's lock screen cannot be given a picture.";
        QTest::newRow("history line past the end")
            << QStringList{"history", "show", "99"} << 2 << "starvane: The history has no entry with that number.";
        QTest::newRow("history id not shown")
            << QStringList{"history", "show", "potw9999z"} << 2 << "starvane: The history has no picture with that id.";
        QTest::newRow("allow again what is not banned")
            << QStringList{"allow-again", "potw9999z"} << 2 << "starvane: No picture with that id is banned.";
    }

    void refusalsAndBadValuesChangeNothing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, err);
        const QJsonObject before = statusJson();
        const Run run = runStarvane(arguments, m_env);
        QCOMPARE(run.code, code);
        QCOMPARE(run.err.trimmed(), err);
        QCOMPARE(statusJson(), before);
    }

    void answersInTheCallersLanguage()
    {
        // Pausing in manual mode has nothing to do, and says so.
        QCOMPARE(runStarvane({QStringLiteral("frequency"), QStringLiteral("manual")}, m_env).code, 0);
        const Run pause = runStarvane({QStringLiteral("pause")}, m_env);
        QCOMPARE(pause.code, 1);
        QVERIFY2(pause.err.contains(QLatin1String("there is nothing to pause")), qPrintable(pause.err));
        QCOMPARE(runStarvane({QStringLiteral("frequency"), QStringLiteral("hourly")}, m_env).code, 0);
        // The instance speaks English; a German caller reads German, dates included.
        QProcessEnvironment german = m_env;
        german.insert(QStringLiteral("LANGUAGE"), QStringLiteral("de"));
        german.insert(QStringLiteral("LC_ALL"), QStringLiteral("de_DE.UTF-8"));
        const Run status = runStarvane({QStringLiteral("status")}, german);
        QCOMPARE(status.code, 0);
        QVERIFY2(status.out.startsWith(QLatin1String("Hintergrundbild: ")), qPrintable(status.out));
        const QDateTime next = QLocale(QLocale::German, QLocale::Germany)
                                   .toDateTime(statusField(status.out, QStringLiteral("Nächster Wechsel")),
                                               QStringLiteral("dd.MM.yyyy HH:mm"));
        QVERIFY2(next.isValid(), qPrintable(status.out));
        const Run refused = runStarvane({QStringLiteral("lock-screen"), QStringLiteral("on")}, german);
        QCOMPARE(refused.err.trimmed(),
                 QStringLiteral("starvane: Dem Sperrbildschirm dieses Desktops kann kein Bild gegeben werden."));
    }

    void hostileArchiveChangesNothing()
    {
        const QStringList cached = QDir(cacheDir()).entryList(QDir::Files);
        const int secondPage = m_server.requestCount(kSecondPage);
        const Run next = runStarvane({QStringLiteral("next")}, m_env);
        QCOMPARE(next.code, 0);
        QString text;
        QVERIFY2(waitUntil(
                     [&] {
                         text = status();
                         return text.contains(QLatin1String("\nError: ")) &&
                                !text.contains(QLatin1String("Updating wallpaper"));
                     },
                     30000),
                 qPrintable(text + QLatin1Char('\n') + appLog()));
        // The hostile page was read and its files tried.
        QVERIFY(m_server.requestCount(kSecondPage) > secondPage);
        // Each candidate failed for its own reason, and the last reason is what the user sees.
        const QString log = appLog();
        for (qsizetype i = 0; i < kHostileIDs.size(); ++i) {
            const QString line = QStringLiteral("Candidate %1 failed: %2").arg(kHostileIDs[i], kHostileErrors[i % 3]);
            QVERIFY2(log.contains(line), qPrintable(line + QLatin1Char('\n') + log));
        }
        QVERIFY2(kHostileErrors.contains(statusField(text, QStringLiteral("Error"))), qPrintable(text));
        qInfo().noquote() << "status after the hostile archive:\n" << text;

        QVERIFY(statusField(text, QStringLiteral("Wallpaper")).endsWith(QStringLiteral("(%1)").arg(m_shownID)));
        QCOMPARE(statusField(text, QStringLiteral("File")), m_shownFile);
        QVERIFY(QFile::exists(m_shownFile));
        QVERIFY(bothMonitorsShow(colourOf(m_shownID)));
        QCOMPARE(QDir(cacheDir()).entryList(QDir::Files), cached);
        QCOMPARE(QDir(m_home.filePath(QStringLiteral("tmp"))).entryList({temporaryDownloadPrefix + QLatin1Char('*')}, QDir::Files),
                 QStringList());
        // The 200 MiB file was refused on its announced length, not read to the end.
        for (const char *variant : {"large", "wallpaper5"})
            QVERIFY(m_server.bytesSent(QStringLiteral("/archives/images/%1/%2.jpg").arg(QLatin1String(variant), kHostileIDs[0])) <
                    200LL * 1024 * 1024);
        SettingsKeyValueStore state(stateFile());
        QVERIFY(state.data(StoreKeys::currentImage).value_or(QByteArray()).contains(m_shownID.toUtf8()));
    }

    void previousAndNeverAgain()
    {
        // Every catalog page offers the five good pictures now.
        QList<std::pair<QString, QString>> good;
        for (const Picture &p : kGoodPictures + kMorePictures) {
            good.append({p.id, p.title});
            m_server.setResponse(QStringLiteral("/images/%1/").arg(p.id), Response::page(detailPage(p.id, p.title)));
            Response jpeg = Response::file(solidJpeg(p.colour));
            jpeg.contentType = "image/jpeg";
            m_server.setResponse(QStringLiteral("/archives/images/large/%1.jpg").arg(p.id), jpeg);
        }
        const QByteArray page = catalogPage(good);
        m_server.setResponse(kFirstPage, Response::page(page));
        for (int n = 2; n <= 25; ++n)
            m_server.setResponse(QStringLiteral("/images/archive/wallpapers/page/%1/").arg(n), Response::page(page));

        QStringList shown;
        for (int i = 0; i < 3; ++i) {
            shown << changeWith(QStringLiteral("next"));
            QVERIFY2(colourOf(shown.last()) != 0, qPrintable(shown.last() + QLatin1Char('\n') + appLog()));
            QVERIFY(waitUntil([&] { return bothMonitorsShow(colourOf(shown.last())); }, 10000));
        }
        QVERIFY(shown[2] != shown[1]);

        // Back one step: the picture before is on screen again, from the cache, and it is no new entry.
        const int requests = archiveRequests();
        QCOMPARE(changeWith(QStringLiteral("previous")), shown[1]);
        QVERIFY(waitUntil([&] { return bothMonitorsShow(colourOf(shown[1])); }, 10000));
        QCOMPARE(archiveRequests(), requests);
        const Run history = runStarvane({QStringLiteral("history"), QStringLiteral("--json")}, m_env);
        QCOMPARE(history.code, 0);
        const QJsonArray entries =
            QJsonDocument::fromJson(history.out.toUtf8()).object().value(QLatin1String("entries")).toArray();
        QVERIFY2(entries.size() >= 5, qPrintable(history.out));
        QCOMPARE(entries[0].toObject().value(QLatin1String("id")).toString(), shown[2]);
        QCOMPARE(entries[1].toObject().value(QLatin1String("id")).toString(), shown[1]);
        // What the picture shows came from its page, and comes back with it.
        const QJsonObject status = statusJson();
        const QString story = status.value(QLatin1String("description")).toString();
        QCOMPARE(story, "What " + status.value(QLatin1String("title")).toString() + " shows.");
        QCOMPARE(entries[1].toObject().value(QLatin1String("description")).toString(), story);
        const Run lines = runStarvane({QStringLiteral("history")}, m_env);
        QCOMPARE(lines.out.count(QLatin1Char('\n')), entries.size());
        QVERIFY2(lines.out.section(QLatin1Char('\n'), 1, 1).contains(shown[1]), qPrintable(lines.out));

        // A line of `history` comes back by its number, a picture by its id.
        const auto showAgain = [&](const QString &which, const QString &id) {
            const Run run = runStarvane({QStringLiteral("history"), QStringLiteral("show"), which}, m_env);
            return run.code == 0 && waitUntil(
                                        [&] {
                                            const QJsonObject s = statusJson();
                                            return !s.value(QLatin1String("loading")).toBool(true) &&
                                                   s.value(QLatin1String("id")).toString() == id;
                                        },
                                        30000);
        };
        QVERIFY2(showAgain(QStringLiteral("3"), entries[2].toObject().value(QLatin1String("id")).toString()),
                 qPrintable(appLog()));
        QVERIFY2(showAgain(shown[1], shown[1]), qPrintable(appLog()));

        // Never again: another picture at once, and the banned one stays away through twenty changes.
        const QString banned = shown[1];
        QString now = changeWith(QStringLiteral("never-again"));
        QVERIFY2(now != banned && colourOf(now) != 0, qPrintable(now + QLatin1Char('\n') + appLog()));
        QVERIFY(waitUntil([&] { return bothMonitorsShow(colourOf(now)); }, 10000));
        QVERIFY(runStarvane({QStringLiteral("history")}, m_env).out.contains(QStringLiteral("[never again]")));
        QSet<QString> seen;
        for (int i = 0; i < 20; ++i) {
            now = changeWith(QStringLiteral("next"));
            QVERIFY2(now != banned, qPrintable(QStringLiteral("change %1 showed %2").arg(i).arg(now)));
            seen.insert(now);
        }
        // The changes really happened: every other good picture came round.
        QCOMPARE(seen.size(), kGoodPictures.size() + kMorePictures.size() - 1);
        QVERIFY(waitUntil([&] { return bothMonitorsShow(colourOf(now)); }, 10000));
        m_shownID = now;
        m_shownFile = statusJson().value(QLatin1String("file")).toString();

        // A restart keeps the history and the ban (and starts the next walk with an empty pool).
        const QString before = runStarvane({QStringLiteral("history"), QStringLiteral("--json")}, m_env).out;
        QCOMPARE(runStarvane({QStringLiteral("quit")}, m_env).code, 0);
        QVERIFY(m_app.process().waitForFinished(10000 * g_slow));
        QVERIFY2(startApp({QStringLiteral("--at-login")}), qPrintable(appLog()));
        QCOMPARE(runStarvane({QStringLiteral("history"), QStringLiteral("--json")}, m_env).out, before);
        // Allowed again, it is no longer marked.
        QCOMPARE(runStarvane({QStringLiteral("allow-again"), banned}, m_env).code, 0);
        QVERIFY(!runStarvane({QStringLiteral("history")}, m_env).out.contains(QStringLiteral("[never again]")));
    }

    void sessionEndDuringDownloadLeavesNothingBehind()
    {
        // Whatever page the walk reaches next offers one picture whose download stalls half-way.
        const QString id = QStringLiteral("potw2410a");
        const QString image = QStringLiteral("/archives/images/large/%1.jpg").arg(id);
        m_server.setResponse(QStringLiteral("/images/%1/").arg(id), Response::page(detailPage(id, id)));
        Response stalls = Response::truncated(3'000'000, 1'000'000, false);
        stalls.contentType = "image/jpeg";
        m_server.setResponse(image, stalls);
        const QByteArray page = catalogPage({{id, QStringLiteral("Stalls half-way")}});
        m_server.setResponse(kFirstPage, Response::page(page));
        for (int n = 2; n <= 25; ++n)
            m_server.setResponse(QStringLiteral("/images/archive/wallpapers/page/%1/").arg(n), Response::page(page));

        QCOMPARE(runStarvane({QStringLiteral("next")}, m_env).code, 0);
        QVERIFY(waitUntil([&] { return m_server.bytesSent(image) >= 1'000'000; }, 15000));
        QVERIFY(status().contains(QLatin1String("Updating wallpaper")));
        // The session ends (the Quit command takes the same way out; restartRestoresWithoutFetching uses it).
        QCOMPARE(::kill(pid_t(m_app.process().processId()), SIGTERM), 0);
        QVERIFY(m_app.process().waitForFinished(10000 * g_slow));
        QCOMPARE(m_app.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_app.process().exitCode(), 0);

        QCOMPARE(QDir(m_home.filePath(QStringLiteral("tmp"))).entryList({temporaryDownloadPrefix + QLatin1Char('*')}, QDir::Files),
                 QStringList());
        QVERIFY(bothMonitorsShow(colourOf(m_shownID)));
        SettingsKeyValueStore state(stateFile());
        QVERIFY(state.data(StoreKeys::currentImage).value_or(QByteArray()).contains(m_shownID.toUtf8()));
        QCOMPARE(QDir::cleanPath(state.string(StoreKeys::currentFilePath).value_or(QString())), QDir::cleanPath(m_shownFile));
        QVERIFY(QFile::exists(m_shownFile));
    }

    void offlineLaunchWaitsForTheNetwork()
    {
        // A change is overdue, but the machine starts without a network.
        const Picture fresh{QStringLiteral("potw2413a"), QStringLiteral("An orange dwarf"), qRgb(220, 130, 30)};
        m_server.setResponse(QStringLiteral("/images/%1/").arg(fresh.id),
                             Response::page(detailPage(fresh.id, fresh.title)));
        Response jpeg = Response::file(solidJpeg(fresh.colour));
        jpeg.contentType = "image/jpeg";
        m_server.setResponse(QStringLiteral("/archives/images/large/%1.jpg").arg(fresh.id), jpeg);
        const QByteArray page = catalogPage({{fresh.id, fresh.title}});
        m_server.setResponse(kFirstPage, Response::page(page));
        for (int n = 2; n <= 25; ++n)
            m_server.setResponse(QStringLiteral("/images/archive/wallpapers/page/%1/").arg(n), Response::page(page));
        QVERIFY2(m_network.set(Test::StandInNetworkManager::disconnected, Test::StandInNetworkManager::none),
                 qPrintable(m_network.error()));
        SettingsKeyValueStore(stateFile())
            .setDate(StoreKeys::nextChangeDate, QDateTime::currentDateTimeUtc().addSecs(-60));

        const int requests = archiveRequests();
        QVERIFY2(startApp({QStringLiteral("--at-login")}), qPrintable(appLog()));
        QTest::qWait(3000);
        QString text = status();
        QCOMPARE(statusField(text, QStringLiteral("Status")), QStringLiteral("Waiting for a network connection"));
        QVERIFY2(!text.contains(QLatin1String("Error:")), qPrintable(text)); // no banner for being offline
        // The user's request is answered at once, not after time-outs.
        const Run next = runStarvane({QStringLiteral("next")}, m_env);
        QCOMPARE(next.out,
                 QStringLiteral("There is no network connection.\nWaiting for a network connection\n"));
        QCOMPARE(archiveRequests(), requests);

        // Back online: the overdue change follows within seconds, not after a five-minute retry.
        QElapsedTimer sinceOnline;
        sinceOnline.start();
        QVERIFY2(m_network.set(Test::StandInNetworkManager::connectedGlobal, Test::StandInNetworkManager::full),
                 qPrintable(m_network.error()));
        QVERIFY2(waitUntil(
                     [&] {
                         return statusField(text = status(), QStringLiteral("Wallpaper"))
                             .endsWith(QStringLiteral("(%1)").arg(fresh.id));
                     },
                     10000 * g_slow),
                 qPrintable(text + QLatin1Char('\n') + appLog()));
        qInfo("offline to online: the change was on screen after %lld ms", sinceOnline.elapsed());
        QVERIFY(waitUntil([&] { return bothMonitorsShow(fresh.colour); }, 10000));
        QVERIFY2(!text.contains(QLatin1String("Error:")), qPrintable(text));
    }

    void eachDisplayFitsEveryMonitorsShape()
    {
        // Three monitors of different shapes, set up while nothing runs.
        QVERIFY(g_xvfb->run(QStringLiteral("xrandr"), {QStringLiteral("--delmonitor"), QStringLiteral("RIGHT")}) == 0);
        for (const Monitor &m : kShapedMonitors) {
            const QRect g = m.geometry;
            const QString spec = QStringLiteral("%1/%2x%3/%4+%5+%6")
                                     .arg(g.width())
                                     .arg(g.width() / 4)
                                     .arg(g.height())
                                     .arg(g.height() / 4)
                                     .arg(g.x())
                                     .arg(g.y());
            const QString name = QString::fromLatin1(m.name);
            if (name == QLatin1String("*LEFT")) continue; // already there
            QVERIFY(g_xvfb->run(QStringLiteral("xrandr"),
                                {QStringLiteral("--setmonitor"), name, spec, QStringLiteral("none")}) == 0);
        }
        // Landscape and portrait pictures, whatever page the walk reaches.
        QList<std::pair<QString, QString>> entries;
        QSet<QString> upright;
        for (const Picture &p : kLandscapePictures)
            entries.append({p.id, p.title});
        for (const Picture &p : kPortraitPictures) {
            entries.append({p.id, p.title});
            upright.insert(p.id);
        }
        const QByteArray page = catalogPage(entries, upright);
        m_server.setResponse(kFirstPage, Response::page(page));
        for (int n = 2; n <= 25; ++n)
            m_server.setResponse(QStringLiteral("/images/archive/wallpapers/page/%1/").arg(n), Response::page(page));

        QVERIFY2(startApp({QStringLiteral("--at-login")}), qPrintable(appLog()));
        QCOMPARE(runStarvane({QStringLiteral("displays"), QStringLiteral("each")}, m_env).code, 0);
        QMap<QString, QString> shown;
        QVERIFY2(waitUntil(
                     [&] {
                         shown = screenPictures();
                         return shown.size() == 3 && !statusJson().value(QLatin1String("loading")).toBool();
                     },
                     40000),
                 qPrintable(runStarvane({QStringLiteral("status")}, m_env).out + QLatin1Char('\n') + appLog()));
        QCOMPARE(statusJson().value(QLatin1String("displays")).toString(), QStringLiteral("each"));
        QVERIFY2(statusJson().value(QLatin1String("error")).isNull(), qPrintable(appLog()));

        // Three different pictures; the portrait monitor shows a portrait one, the others landscape ones.
        QCOMPARE(QSet<QString>(shown.cbegin(), shown.cend()).size(), 3);
        const auto isPortraitPicture = [](const QString &id) {
            return std::any_of(kPortraitPictures.cbegin(), kPortraitPictures.cend(),
                               [&](const Picture &p) { return p.id == id; });
        };
        QVERIFY2(isPortraitPicture(shown.value(QStringLiteral("PORTRAIT"))),
                 qPrintable(shown.value(QStringLiteral("PORTRAIT"))));
        QVERIFY(!isPortraitPicture(shown.value(QStringLiteral("LEFT"))));
        QVERIFY(!isPortraitPicture(shown.value(QStringLiteral("WIDE"))));
        // Each monitor's own pixels show its own picture, edge to edge.
        for (const Monitor &m : kShapedMonitors) {
            const QString name = QString::fromLatin1(m.name).remove(QLatin1Char('*'));
            QVERIFY2(waitUntil([&] { return monitorShows(m.geometry, colourOf(shown.value(name))); }, 10000),
                     qPrintable(name));
        }
        // The status lists every display with its geometry, and the records name them by display key.
        const QJsonArray screens = statusJson().value(QLatin1String("screens")).toArray();
        QCOMPARE(screens.size(), 3);
        for (const QJsonValue &screen : screens) {
            const QJsonObject o = screen.toObject();
            const QJsonObject g = o.value(QLatin1String("geometry")).toObject();
            const QString name = o.value(QLatin1String("name")).toString();
            const auto monitor = std::find_if(kShapedMonitors.cbegin(), kShapedMonitors.cend(), [&](const Monitor &m) {
                return QString::fromLatin1(m.name).remove(QLatin1Char('*')) == name;
            });
            QVERIFY2(monitor != kShapedMonitors.cend(), qPrintable(name));
            QCOMPARE(QRect(g.value(QLatin1String("x")).toInt(), g.value(QLatin1String("y")).toInt(),
                           g.value(QLatin1String("width")).toInt(), g.value(QLatin1String("height")).toInt()),
                     monitor->geometry);
            QVERIFY(QFile::exists(o.value(QLatin1String("file")).toString()));
        }
        // Written by the program's writer thread, moments after the change.
        const auto recordedDisplays = [this] {
            QFile records(m_home.filePath(QStringLiteral(".local/share/Starvane/displays.json")));
            if (!records.open(QIODevice::ReadOnly)) return qsizetype(-1);
            return QJsonDocument::fromJson(records.readAll()).object().value(QLatin1String("displays")).toObject().size();
        };
        QTRY_COMPARE(recordedDisplays(), qsizetype(3));

        // Every other change composes with "each display" too, and the status names what each shows.
        const auto settled = [this](const std::function<bool(const QMap<QString, QString> &)> &done) {
            return waitUntil(
                [&] { return !statusJson().value(QLatin1String("loading")).toBool() && done(screenPictures()); },
                40000);
        };
        const QMap<QString, QString> first = shown;
        QCOMPARE(runStarvane({QStringLiteral("next")}, m_env).code, 0);
        QMap<QString, QString> second;
        QVERIFY2(settled([&](const QMap<QString, QString> &now) {
                     second = now;
                     return now.size() == 3 && std::all_of(now.keyBegin(), now.keyEnd(), [&](const QString &name) {
                                return now.value(name) != first.value(name);
                            });
                 }),
                 qPrintable(appLog()));
        QVERIFY2(isPortraitPicture(second.value(QStringLiteral("PORTRAIT"))), qPrintable(appLog()));
        // Previous: each display back to its own earlier picture, on that display.
        QCOMPARE(runStarvane({QStringLiteral("previous")}, m_env).code, 0);
        QVERIFY2(settled([&](const QMap<QString, QString> &now) { return now == first; }), qPrintable(appLog()));
        for (const Monitor &m : kShapedMonitors) {
            const QString name = QString::fromLatin1(m.name).remove(QLatin1Char('*'));
            QVERIFY2(waitUntil([&] { return monitorShows(m.geometry, colourOf(first.value(name))); }, 10000),
                     qPrintable(name));
        }
        // Never Again changes the main display's picture only.
        QCOMPARE(runStarvane({QStringLiteral("never-again")}, m_env).code, 0);
        QVERIFY2(settled([&](const QMap<QString, QString> &now) {
                     return now.size() == 3 && now.value(QStringLiteral("LEFT")) != first.value(QStringLiteral("LEFT"));
                 }),
                 qPrintable(appLog()));
        QCOMPARE(screenPictures().value(QStringLiteral("PORTRAIT")), first.value(QStringLiteral("PORTRAIT")));
        QCOMPARE(screenPictures().value(QStringLiteral("WIDE")), first.value(QStringLiteral("WIDE")));
        // Keep one display's picture by its name; a name that is not connected changes nothing.
        const auto kept = runStarvane({QStringLiteral("keep"), QStringLiteral("--display"), QStringLiteral("PORTRAIT")}, m_env);
        QCOMPARE(kept.code, 0);
        QVERIFY2(kept.out.contains(first.value(QStringLiteral("PORTRAIT"))), qPrintable(kept.out + kept.err));
        const auto unknown = runStarvane({QStringLiteral("keep"), QStringLiteral("--display"), QStringLiteral("NOPE")}, m_env);
        QCOMPARE(unknown.code, 2);
    }

    void displaysComeAndGoWhileRunning()
    {
        const QMap<QString, QString> before = screenPictures();
        QCOMPARE(before.size(), 3);
        // WIDE goes away: the others keep their pictures, and nothing is fetched for it.
        const int requests = archiveRequests();
        QCOMPARE(g_xvfb->run(QStringLiteral("xrandr"), {QStringLiteral("--delmonitor"), QStringLiteral("WIDE")}), 0);
        QVERIFY(waitUntil([&] { return statusJson().value(QLatin1String("screens")).toArray().size() == 2; }, 10000));
        QTest::qWait(1500);
        QCOMPARE(archiveRequests(), requests);
        // A monitor below LEFT appears: it alone gets a new picture.
        const QRect extra(0, 1080, 1920, 840);
        QCOMPARE(
            g_xvfb->run(QStringLiteral("xrandr"), {QStringLiteral("--setmonitor"), QStringLiteral("EXTRA"),
                                                   QStringLiteral("1920/508x840/222+0+1080"), QStringLiteral("none")}),
            0);
        QMap<QString, QString> after;
        QVERIFY2(waitUntil(
                     [&] {
                         after = screenPictures();
                         return after.contains(QStringLiteral("EXTRA"));
                     },
                     30000),
                 qPrintable(appLog()));
        QVERIFY(!before.values().contains(after.value(QStringLiteral("EXTRA"))));
        QVERIFY(waitUntil([&] { return monitorShows(extra, colourOf(after.value(QStringLiteral("EXTRA")))); }, 10000));
        for (const Monitor &m : kShapedMonitors.mid(0, 2)) {
            const QString name = QString::fromLatin1(m.name).remove(QLatin1Char('*'));
            QCOMPARE(after.value(name), before.value(name));
            // The middle only: a tray panel may have moved onto the edge of the main monitor meanwhile.
            QVERIFY2(near(rootPixel(m_display, m.geometry.center().x(), m.geometry.center().y()),
                          colourOf(before.value(name))),
                     qPrintable(name));
        }
        // WIDE returns and finds its own picture again.
        QCOMPARE(
            g_xvfb->run(QStringLiteral("xrandr"), {QStringLiteral("--setmonitor"), QStringLiteral("WIDE"),
                                                   QStringLiteral("2560/640x1080/270+3000+0"), QStringLiteral("none")}),
            0);
        QVERIFY(waitUntil(
            [&] { return screenPictures().value(QStringLiteral("WIDE")) == before.value(QStringLiteral("WIDE")); },
            10000));
        QVERIFY(monitorShows(kShapedMonitors[2].geometry, colourOf(before.value(QStringLiteral("WIDE")))));
    }

    void archiveErrorsAreShownInTheirOwnWords()
    {
        // Every detail page answers 503: each candidate fails, and the change ends with the archive's sentence.
        QCOMPARE(runStarvane({QStringLiteral("displays"), QStringLiteral("all")}, m_env).code, 0);
        for (const QList<Picture> &pictures : {kGoodPictures, kMorePictures, kLandscapePictures, kPortraitPictures})
            for (const Picture &p : pictures)
                m_server.setResponse(QStringLiteral("/images/%1/").arg(p.id), Response::withStatus(503));
        QCOMPARE(runStarvane({QStringLiteral("next")}, m_env).code, 0);
        QVERIFY2(waitUntil(
                     [&] {
                         const QJsonObject s = statusJson();
                         return s.value(QLatin1String("error")).isString() && !s.value(QLatin1String("loading")).toBool();
                     },
                     60000),
                 qPrintable(appLog()));
        const QJsonObject s = statusJson();
        QCOMPARE(s.value(QLatin1String("error")).toString(), QStringLiteral("ESA/Hubble archive returned HTTP 503."));
        QCOMPARE(s.value(QLatin1String("errorCode")).toString(), QStringLiteral("httpStatus"));
        QVERIFY(runStarvane({QStringLiteral("status")}, m_env).out.contains(
            QStringLiteral("Error: ESA/Hubble archive returned HTTP 503.")));
    }

    void cleanup()
    {
        // Under the sanitizers (the dev preset), the program's own reports land in its log.
        const QString log = appLog();
        QVERIFY2(!log.contains(QLatin1String("runtime error:")) && !log.contains(QLatin1String("Sanitizer")),
                 qPrintable(log));
        if (QTest::currentTestFailed()) qWarning().noquote() << "starvane log:\n" << log;
    }

    void cleanupTestCase()
    {
        if (m_appStarted && m_app.process().state() == QProcess::Running) {
            runStarvane({QStringLiteral("quit")}, m_env);
            m_app.process().waitForFinished(5000);
        }
        m_app.stop();
        m_tray.stop();
    }
};

int main(int argc, char *argv[])
{
    Test::XvfbServer xvfb;
    g_xvfb = &xvfb;
    if (Test::findProgram(QStringLiteral("xrandr")).isEmpty()) {
        g_skipReason = QStringLiteral("xrandr is not installed (package x11-xserver-utils)");
    } else if (Test::findProgram(QStringLiteral("xdotool")).isEmpty()) {
        g_skipReason = QStringLiteral("xdotool is not installed (package xdotool)");
    } else if (!xvfb.start(QStringLiteral("5560x1920x24"))) {
        g_skipReason = xvfb.error();
    } else if (xvfb.run(QStringLiteral("xrandr"), {"--setmonitor", "*LEFT", "1920/508x1080/286+0+0", "screen"}) != 0 ||
               xvfb.run(QStringLiteral("xrandr"), {"--setmonitor", "RIGHT", "1920/508x1080/286+1920+0", "none"}) != 0) {
        g_skipReason = QStringLiteral("xrandr could not define two monitors");
    }
    g_wrapper = qEnvironmentVariable("STARVANE_E2E_WRAPPER").split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (!g_wrapper.isEmpty()) g_slow = 8;
    // The test process itself needs no display or bus; never reach the developer's.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/starvane-test-bus");
    QCoreApplication app(argc, argv);
    TestEndToEnd test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_e2e.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
// The GSettings backend with the real schemas and GLib's keyfile backend in a private config folder;
// every write is read back by a second process (`gsettings get`).
#include "desktop/gsettingsbackend.h"
#include "desktop/linuxwallpaperapplier.h"
#include "desktopharness.h"
#include "integrity/derivedwallpaper.h"
#include "models/errors.h"

#include "awaittask.h"
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <gio/gio.h>

using namespace Starvane;

namespace {
QTemporaryDir *g_configHome = nullptr;

QList<DisplayTarget> twoDisplays()
{
    return {{QStringLiteral("DP-1"), QRect(0, 0, 2560, 1440), QRect(0, 0, 2560, 1440), true, QStringLiteral("DP-1")},
            {QStringLiteral("HDMI-1"), QRect(2560, 0, 1920, 1080), QRect(2560, 0, 1920, 1080), false,
             QStringLiteral("HDMI-1")}};
}

QString gsettings(const QStringList &arguments, int *rc = nullptr)
{
    QByteArray out;
    const int code =
        Test::runTool(QStringLiteral("gsettings"), arguments, QProcessEnvironment::systemEnvironment(), &out);
    if (rc) *rc = code;
    return QString::fromUtf8(out.trimmed());
}

QString quotedGVariant(const QString &s)
{
    return QLatin1Char('\'') + s + QLatin1Char('\'');
}
} // namespace

class TestGSettingsBackend : public QObject
{
    Q_OBJECT

    QTemporaryDir m_pictures;
    QString m_file;

private Q_SLOTS:
    void initTestCase()
    {
        if (Test::findProgram(QStringLiteral("gsettings")).isEmpty())
            QSKIP("gsettings is not installed (package libglib2.0-bin)");
        QVERIFY(m_pictures.isValid());
        // Spaces and a non-ASCII dash: the URI must be encoded, the read-back decoded.
        m_file = m_pictures.filePath(QStringLiteral("M31 – Andromeda ab12.jpg"));
        QFile f(m_file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
    }

    void writesAndReadsBack_data()
    {
        QTest::addColumn<QString>("flavor");
        QTest::addColumn<QString>("package");
        // The person's scaling, and what it becomes when our picture is set.
        QTest::addColumn<QString>("userOptions");
        QTest::addColumn<QString>("options");
        QTest::newRow("GNOME") << "gnome"
                               << "gsettings-desktop-schemas"
                               << "centered"
                               << "centered";
        QTest::newRow("Cinnamon, no picture shown") << "cinnamon"
                                                    << "cinnamon-desktop-data"
                                                    << "none"
                                                    << "zoom";
        QTest::newRow("MATE") << "mate"
                              << "mate-desktop-common"
                              << "stretched"
                              << "stretched";
    }

    void writesAndReadsBack()
    {
        QFETCH(QString, flavor);
        QFETCH(QString, package);
        QFETCH(QString, userOptions);
        QFETCH(QString, options);
        const Starvane::GSettingsBackend::Flavor f = flavor == u"gnome"  ? Starvane::GSettingsBackend::gnome()
                                                     : flavor == u"mate" ? Starvane::GSettingsBackend::mate()
                                                                         : Starvane::GSettingsBackend::cinnamon();
        if (!Starvane::GSettingsBackend::schemaInstalled(f.schema))
            QSKIP(qPrintable(QStringLiteral("schema %1 missing (package %2)").arg(f.schema, package)));

        LinuxWallpaperApplier applier(std::make_unique<Starvane::GSettingsBackend>(f), twoDisplays);
        QVERIFY(!applier.supportsPerDisplayWallpaper());
        gsettings({"set", f.schema, f.optionsKey, userOptions});
        // The keyfile backend learns of another process's write through a file monitor, in its own time.
        GSettings *settings = g_settings_new(f.schema.toUtf8().constData());
        const auto seen = [&] {
            gchar *value = g_settings_get_string(settings, f.optionsKey.toUtf8().constData());
            const QString result = QString::fromUtf8(value);
            g_free(value);
            return result;
        };
        QTRY_COMPARE(seen(), userOptions);
        g_object_unref(settings);

        // "Main display" cannot be honoured alone on these desktops: the one picture changes.
        Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(m_file), DisplayScope::mainDisplay, {}));

        const QString expected = f.storesURI ? QUrl::fromLocalFile(m_file).toString(QUrl::FullyEncoded) : m_file;
        QCOMPARE(gsettings({"get", f.schema, f.pictureKey}), quotedGVariant(expected));
        QCOMPARE(gsettings({"get", f.schema, f.optionsKey}), quotedGVariant(options));
        if (flavor == u"gnome") {
            QCOMPARE(gsettings({"get", f.schema, f.darkPictureKey}), quotedGVariant(expected));
        }

        const QList<std::optional<QUrl>> shown =
            Testing::awaitTask(applier.desktopImageURLs(DisplayScope::allDisplays));
        QCOMPARE(shown, (QList<std::optional<QUrl>>{QUrl::fromLocalFile(m_file), QUrl::fromLocalFile(m_file)}));
        QCOMPARE(Testing::awaitTask(applier.currentDesktopImageURLs()), QSet<QUrl>{QUrl::fromLocalFile(m_file)});

        // The lock screen only where the desktop has one of its own, and only when asked.
        QCOMPARE(applier.supportsLockScreen(), flavor == u"gnome");
        if (flavor == u"gnome") {
            const QString before = gsettings({"get", "org.gnome.desktop.screensaver", "picture-uri"});
            QVERIFY(before != quotedGVariant(expected));
            Testing::awaitTask(applier.applyLockScreen(QUrl::fromLocalFile(m_file), {}));
            QCOMPARE(gsettings({"get", "org.gnome.desktop.screensaver", "picture-uri"}), quotedGVariant(expected));
        }

        // "Each display": one combined picture, spanned, each display's picture where the display sits.
        QImage red(640, 360, QImage::Format_RGB32), blue(640, 360, QImage::Format_RGB32);
        red.fill(qRgb(255, 0, 0));
        blue.fill(qRgb(0, 0, 255));
        const QString left = m_pictures.filePath(QStringLiteral("left.png"));
        const QString right = m_pictures.filePath(QStringLiteral("right.png"));
        QVERIFY(red.save(left) && blue.save(right));
        Testing::awaitTask(applier.applyDisplayWallpapers(
            {{"DP-1", QUrl::fromLocalFile(left)}, {"HDMI-1", QUrl::fromLocalFile(right)}}, {}));
        QCOMPARE(gsettings({"get", f.schema, f.optionsKey}), QStringLiteral("'spanned'"));
        QString stored = gsettings({"get", f.schema, f.pictureKey}).mid(1).chopped(1);
        if (f.storesURI) stored = QUrl(stored).toLocalFile();
        QCOMPARE(QFileInfo(stored).absolutePath(), QFileInfo(left).absolutePath());
        const QImage spanned(stored);
        QCOMPARE(spanned.size(), QSize(2560 + 1920, 1440));
        const auto colourAt = [&](int x, int y) {
            const QRgb c = spanned.pixel(x, y);
            return qRgb(qRed(c) > 128 ? 255 : 0, qGreen(c) > 128 ? 255 : 0, qBlue(c) > 128 ? 255 : 0);
        };
        QCOMPARE(colourAt(1280, 720), qRgb(255, 0, 0));
        QCOMPARE(colourAt(2550, 1430), qRgb(255, 0, 0));
        QCOMPARE(colourAt(2570, 10), qRgb(0, 0, 255));
        QCOMPARE(colourAt(4470, 1070), qRgb(0, 0, 255));
        QCOMPARE(colourAt(3500, 1300), qRgb(0, 0, 0)); // below the shorter display

        // Back to one picture for all: spanning it would stretch it over both displays.
        Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(m_file), DisplayScope::allDisplays, {}));
        QCOMPARE(gsettings({"get", f.schema, f.optionsKey}), QStringLiteral("'zoom'"));

        // Dimmed in the dark style: GNOME gets the darker copy beside the picture and switches by itself.
        WallpaperLook look;
        look.dimInDarkStyle = true;
        applier.setLook(look);
        QCOMPARE(applier.showsDarkStyleItself(), flavor == u"gnome");
        Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(left), DisplayScope::allDisplays, {}));
        const QString light = f.storesURI ? QUrl::fromLocalFile(left).toString(QUrl::FullyEncoded) : left;
        QCOMPARE(gsettings({"get", f.schema, f.pictureKey}), quotedGVariant(light));
        if (flavor == u"gnome") {
            const QString darkPath =
                QUrl(gsettings({"get", f.schema, f.darkPictureKey}).mid(1).chopped(1)).toLocalFile();
            QCOMPARE(QFileInfo(darkPath).absolutePath(), QFileInfo(left).absolutePath());
            QVERIFY(std::abs(qRed(QImage(darkPath).pixel(320, 180)) - 255 * darkStyleBrightness) < 3);
        }
        QCOMPARE(Testing::awaitTask(applier.currentDesktopImageURLs()), QSet<QUrl>{QUrl::fromLocalFile(left)});
    }

    void missingSchemaIsAClearError()
    {
        Starvane::GSettingsBackend::Flavor f = Starvane::GSettingsBackend::gnome();
        f.schema = QStringLiteral("org.example.not.installed.background");
        QVERIFY(!Starvane::GSettingsBackend::schemaInstalled(f.schema));
        LinuxWallpaperApplier applier(std::make_unique<Starvane::GSettingsBackend>(f), twoDisplays);
        QVERIFY(Testing::awaitTask(applier.currentDesktopImageURLs()).isEmpty());
        try {
            Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(m_file), DisplayScope::allDisplays, {}));
            QFAIL("a missing schema reported success");
        } catch (const StarvaneError &e) {
            QVERIFY2(e.description().contains(f.schema), qPrintable(e.description()));
        }
    }

    void nonFilePictureReadsAsNone()
    {
        const Starvane::GSettingsBackend::Flavor f = Starvane::GSettingsBackend::gnome();
        if (!Starvane::GSettingsBackend::schemaInstalled(f.schema))
            QSKIP("schema org.gnome.desktop.background missing (package gsettings-desktop-schemas)");
        Starvane::GSettingsBackend backend(f);
        int rc = -1;
        gsettings({"set", f.schema, f.pictureKey, "https://example.invalid/a.jpg"}, &rc);
        QCOMPARE(rc, 0);
        // The keyfile backend notices the other process's write through a file monitor.
        QTRY_VERIFY(!Testing::awaitTask(backend.shownPicture(twoDisplays().first())).has_value());
    }
};

int main(int argc, char *argv[])
{
    QTemporaryDir configHome;
    g_configHome = &configHome;
    // Before GLib reads either: the keyfile backend lives in $XDG_CONFIG_HOME/glib-2.0/settings/keyfile.
    qputenv("GSETTINGS_BACKEND", "keyfile");
    qputenv("XDG_CONFIG_HOME", configHome.path().toUtf8());
    QCoreApplication app(argc, argv);
    TestGSettingsBackend test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_gsettingsbackend.moc"

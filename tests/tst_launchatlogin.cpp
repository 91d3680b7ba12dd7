// SPDX-License-Identifier: GPL-3.0-or-later
// How desktops know the program: the desktop entry id it announces, and an autostart entry that a
// real desktop-entry reader (GLib's) starts, wherever the program lives.
#include "identity.h"
#include "launchatlogin.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

#include <gio/gdesktopappinfo.h>

using namespace Starvane;

class TestLaunchAtLogin : public QObject
{
    Q_OBJECT
    QTemporaryDir m_config;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        // GLib would announce each launch on the session bus; there is none to reach here.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/starvane-test-bus");
    }

    void desktopFileNameIsTheInstalledEntry()
    {
        applyApplicationIdentity(QStringLiteral("1.0.0"));
        QCOMPARE(QGuiApplication::desktopFileName(), kDesktopFileId);
        const QString packaging = QStringLiteral(STARVANE_PACKAGING_DIR "/");
        QVERIFY(QFile::exists(packaging + QGuiApplication::desktopFileName() + QStringLiteral(".desktop")));
        // The autostart entry names the installed icon too.
        QString error;
        QVERIFY2(LaunchAtLogin::setEnabled(true, &error), qPrintable(error));
        QFile entry(LaunchAtLogin::entryPath());
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QByteArray icon = "\nIcon=" + kDesktopFileId.toUtf8() + "\n";
        QVERIFY(entry.readAll().contains(icon));
        // A German session names it in German, as it does the installed entry.
        qputenv("LANGUAGE", "de");
        GDesktopAppInfo *info = g_desktop_app_info_new_from_filename(QFile::encodeName(LaunchAtLogin::entryPath()));
        QVERIFY(info);
        const QString comment = QString::fromUtf8(g_app_info_get_description(G_APP_INFO(info)));
        g_object_unref(info);
        qunsetenv("LANGUAGE");
        QCOMPARE(comment, QStringLiteral("Versorgt Ihren Schreibtisch mit Fotografien aus dem ESA/Hubble-Archiv"));
        QVERIFY(QFile::exists(packaging + kDesktopFileId + QStringLiteral(".svg")));
    }

    void autostartStartsThisProgram_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("plain") << "bin";
        QTest::newRow("spaces") << "My Programs/Star vane";
        QTest::newRow("quotes") << "it's \"here\"";
        QTest::newRow("dollar") << "$HOME and ${PATH}";
        QTest::newRow("percent") << "100% %U %f";
        QTest::newRow("backslash and backtick") << "a\\b `date`";
    }

    void autostartStartsThisProgram()
    {
        QFETCH(QString, folder);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(folder));
        const QString program = dir.filePath(folder + QStringLiteral("/starvane.AppImage"));
        const QString marker = dir.filePath(QStringLiteral("started"));
        const auto writeScript = [](const QString &path) {
            QFile script(path);
            return script.open(QIODevice::WriteOnly) &&
                   script.write("#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > \"$STARVANE_TEST_MARKER.part\" && "
                                "mv \"$STARVANE_TEST_MARKER.part\" \"$STARVANE_TEST_MARKER\"\n") > 0 &&
                   script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        };
        QVERIFY(writeScript(program));
        if (folder.contains(QLatin1Char('%'))) {
            // GLib looks for the program before it turns "%%" back into "%", and would refuse the entry.
            // A stand-in under the doubled spelling gets it past that look; the launch itself undoes the
            // doubling, so the marker must still name the real program.
            QString doubled = folder;
            doubled.replace(QLatin1Char('%'), QLatin1String("%%"));
            QVERIFY(QDir(dir.path()).mkpath(doubled));
            QVERIFY(writeScript(dir.filePath(doubled + QStringLiteral("/starvane.AppImage"))));
        }
        qputenv("STARVANE_TEST_MARKER", QFile::encodeName(marker));
        qputenv("APPIMAGE", QFile::encodeName(program));

        QString error;
        QVERIFY2(LaunchAtLogin::setEnabled(true, &error), qPrintable(error));
        qunsetenv("APPIMAGE");
        // GLib refuses an entry whose program it cannot find, so loading it already checks the path.
        GDesktopAppInfo *info = g_desktop_app_info_new_from_filename(QFile::encodeName(LaunchAtLogin::entryPath()));
        QVERIFY(info);
        GError *launchError = nullptr;
        const bool launched = g_app_info_launch(G_APP_INFO(info), nullptr, nullptr, &launchError);
        g_object_unref(info);
        QVERIFY2(launched, launchError ? launchError->message : "");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 10000);
        QFile started(marker);
        QVERIFY(started.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(started.readAll()), program + QStringLiteral("\n--at-login\n"));
    }
};

QTEST_MAIN(TestLaunchAtLogin)
#include "tst_launchatlogin.moc"

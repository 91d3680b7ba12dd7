// SPDX-License-Identifier: GPL-3.0-or-later
// The Plasma backend against a stand-in org.kde.plasmashell on a private bus that records what it
// is asked. Plasma 5 only takes scripts; Plasma 6 also has setWallpaper/wallpaper.
#include "desktop/linuxwallpaperapplier.h"
#include "desktop/plasmabackend.h"
#include "desktopharness.h"
#include "models/errors.h"

#include "awaittask.h"
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace Starvane;

namespace {
// Plasma's own numbering differs from ours: its screen 1 is our primary at the origin.
const QByteArray plasmaScreens = "[[0,1920,0,1280,1024],[1,0,0,1920,1080]]";

QList<DisplayTarget> twoDisplays()
{
    return {{QStringLiteral("DP-1"), QRect(0, 0, 1920, 1080), QRect(0, 0, 1920, 1080), true, QStringLiteral("DP-1")},
            {QStringLiteral("DP-2"), QRect(1920, 0, 1280, 1024), QRect(1920, 0, 1280, 1024), false,
             QStringLiteral("DP-2")}};
}
} // namespace

/// Understands exactly the scripts the backend sends, the way plasmashell would run them.
class FakePlasma5 : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.PlasmaShell")
public:
    QMutex mutex;
    QStringList scripts;
    QHash<int, QString> images;
    QHash<int, int> fillModes;
    int refuseScreen = -1;

public Q_SLOTS:
    QString evaluateScript(const QString &script)
    {
        QMutexLocker lock(&mutex);
        scripts << script;
        if (script.contains(QStringLiteral("screenGeometry"))) return QString::fromUtf8(plasmaScreens);
        const QRegularExpressionMatch screen =
            QRegularExpression(QStringLiteral("desktopForScreen\\((\\d+)\\)")).match(script);
        if (!screen.hasMatch()) {
            sendErrorReply(QDBusError::Failed, QStringLiteral("ReferenceError: unexpected script"));
            return {};
        }
        const int n = screen.captured(1).toInt();
        if (script.contains(QStringLiteral("writeConfig"))) {
            if (n == refuseScreen) {
                sendErrorReply(QDBusError::Failed, QStringLiteral("Error: widgets are locked"));
                return {};
            }
            // The image must arrive as one JSON string literal; anything else would be a syntax error.
            static const QRegularExpression image(
                QStringLiteral("writeConfig\\('Image',(\"(?:[^\"\\\\\\n]|\\\\.)*\")\\);"));
            static const QRegularExpression fill(QStringLiteral("writeConfig\\('FillMode',(\\d+)\\);"));
            const QRegularExpressionMatch m = image.match(script);
            const QRegularExpressionMatch f = fill.match(script);
            if (!m.hasMatch() || !f.hasMatch()) {
                sendErrorReply(QDBusError::Failed, QStringLiteral("SyntaxError: unterminated string"));
                return {};
            }
            const QJsonArray decoded = QJsonDocument::fromJson(QByteArray("[") + m.captured(1).toUtf8() + "]").array();
            images[n] = decoded.at(0).toString();
            fillModes[n] = f.captured(1).toInt();
            return {};
        }
        QJsonObject result{{"plugin", images.contains(n) ? "org.kde.image" : "org.kde.color"},
                           {"image", images.value(n)},
                           {"fill", fillModes.value(n, 2)}};
        return QString::fromUtf8(QJsonDocument(result).toJson(QJsonDocument::Compact));
    }
};

class FakePlasma6 : public FakePlasma5
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.PlasmaShell")
public:
    QList<QVariantList> setCalls;

public Q_SLOTS:
    void setWallpaper(const QString &plugin, const QVariantMap &parameters, uint screen)
    {
        QMutexLocker lock(&mutex);
        setCalls << QVariantList{plugin, parameters, screen};
        images[int(screen)] = parameters.value(QStringLiteral("Image")).toString();
        fillModes[int(screen)] = parameters.value(QStringLiteral("FillMode")).toInt();
    }
    QVariantMap wallpaper(uint screen)
    {
        QMutexLocker lock(&mutex);
        return {{QStringLiteral("wallpaperPlugin"), QStringLiteral("org.kde.image")},
                {QStringLiteral("Image"), images.value(int(screen))},
                {QStringLiteral("FillMode"), fillModes.value(int(screen))}};
    }
};

class TestPlasmaBackend : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    Test::PrivateBus m_bus;
    QThread m_serviceThread;

    QString picture(const QString &name) { return Test::writeStandInFile(m_dir, name); }

    /// Serves `shell` on its own connection and thread (our calls block the main thread).
    QDBusConnection serve(FakePlasma5 *shell, const QString &connectionName)
    {
        shell->moveToThread(&m_serviceThread);
        QDBusConnection service = QDBusConnection::connectToBus(m_bus.address(), connectionName);
        service.registerObject(QStringLiteral("/PlasmaShell"), shell, QDBusConnection::ExportAllSlots);
        service.registerService(QStringLiteral("org.kde.plasmashell"));
        return QDBusConnection::connectToBus(m_bus.address(), connectionName + QStringLiteral("-client"));
    }

    void unserve(const QString &connectionName)
    {
        QDBusConnection::connectToBus(m_bus.address(), connectionName)
            .unregisterService(QStringLiteral("org.kde.plasmashell"));
        QDBusConnection::disconnectFromBus(connectionName);
        QDBusConnection::disconnectFromBus(connectionName + QStringLiteral("-client"));
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!m_bus.start()) QSKIP(qPrintable(m_bus.error()));
        m_serviceThread.start();
    }

    void cleanupTestCase()
    {
        m_serviceThread.quit();
        m_serviceThread.wait();
    }

    void stringLiteral_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("quotes") << "it's \"here\"";
        QTest::newRow("backslashes") << "C:\\dir\\';alert(1);//";
        QTest::newRow("newline and tab") << "a\nb\tc\r";
        QTest::newRow("line separators") << QString::fromUtf8("a\u2028b\u2029c");
        QTest::newRow("script end") << "');print(readConfig('Image'));//";
    }
    void stringLiteral()
    {
        QFETCH(QString, text);
        const QString literal = PlasmaBackend::scriptStringLiteral(text);
        QVERIFY(literal.startsWith(QLatin1Char('"')) && literal.endsWith(QLatin1Char('"')));
        for (const QChar c : literal)
            QVERIFY2(c >= QChar(0x20) && c != QChar(0x2028) && c != QChar(0x2029), qPrintable(literal));
        // Inside, every quote is escaped: the literal cannot end early.
        static const QRegularExpression whole(QStringLiteral("^\"(?:[^\"\\\\]|\\\\.)*\"$"));
        QVERIFY2(whole.match(literal).hasMatch(), qPrintable(literal));
        const QJsonArray decoded = QJsonDocument::fromJson(("[" + literal + "]").toUtf8()).array();
        QCOMPARE(decoded.at(0).toString(), text);
    }

    void scriptCarriesAnyFileNameAsAStringLiteral()
    {
        // Quotes, backslashes, a newline and a line separator: each would break a spliced script.
        const QString file = picture(QStringLiteral("a \"quoted\" \\back\\slash\nnew line 'single'\u2028.jpg"));
        auto *shell = new FakePlasma5;
        PlasmaBackend *backend = nullptr;
        {
            auto owned = std::make_unique<PlasmaBackend>(serve(shell, QStringLiteral("p5")));
            backend = owned.get();
            LinuxWallpaperApplier applier(std::move(owned), twoDisplays);
            Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(file), DisplayScope::mainDisplay, {}));
            QCOMPARE(backend->desktopName(), QStringLiteral("KDE Plasma"));

            QMutexLocker lock(&shell->mutex);
            // Our primary is Plasma's screen 1 by geometry.
            QCOMPARE(shell->images.keys(), QList<int>{1});
            QCOMPARE(QUrl(shell->images.value(1)).toLocalFile(), file);
            QCOMPARE(shell->fillModes.value(1), PlasmaBackend::fillAndCropMode);
            for (const QString &script : std::as_const(shell->scripts))
                QVERIFY2(!script.contains(QLatin1Char('\n')) && !script.contains(QChar(0x2028)), qPrintable(script));
            lock.unlock();

            QCOMPARE(Testing::awaitTask(applier.desktopImageURLs(DisplayScope::allDisplays)),
                     (QList<std::optional<QUrl>>{QUrl::fromLocalFile(file), std::nullopt}));
        }
        unserve(QStringLiteral("p5"));
        shell->deleteLater();
    }

    void refusalRollsBackAndIsReported()
    {
        const QString old = picture(QStringLiteral("old.jpg"));
        const QString fresh = picture(QStringLiteral("new.jpg"));
        auto *shell = new FakePlasma5;
        shell->images[1] = QUrl::fromLocalFile(old).toString();
        shell->fillModes[1] = 6;
        shell->refuseScreen = 0; // our second display
        {
            LinuxWallpaperApplier applier(std::make_unique<PlasmaBackend>(serve(shell, QStringLiteral("p5r"))),
                                          twoDisplays);
            try {
                Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(fresh), DisplayScope::allDisplays, {}));
                QFAIL("the refusal was swallowed");
            } catch (const WallpaperApplyError &e) {
                QCOMPARE(e.underlying(), QStringLiteral("Plasma refused the picture (Error: widgets are locked)"));
            }
            QMutexLocker lock(&shell->mutex);
            QCOMPARE(QUrl(shell->images.value(1)).toLocalFile(), old);
            QCOMPARE(shell->fillModes.value(1), 6);
        }
        unserve(QStringLiteral("p5r"));
        shell->deleteLater();
    }

    void plasma6UsesItsWallpaperMethods()
    {
        const QString file = picture(QStringLiteral("Plasma six ab12.jpg"));
        auto *shell = new FakePlasma6;
        {
            LinuxWallpaperApplier applier(std::make_unique<PlasmaBackend>(serve(shell, QStringLiteral("p6"))),
                                          twoDisplays);
            Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(file), DisplayScope::allDisplays, {}));
            {
                QMutexLocker lock(&shell->mutex);
                QCOMPARE(shell->setCalls.size(), 2);
                QCOMPARE(shell->setCalls[0][0].toString(), QStringLiteral("org.kde.image"));
                QCOMPARE(shell->setCalls[0][2].toUInt(), 1u);
                QCOMPARE(shell->setCalls[1][2].toUInt(), 0u);
                const QVariantMap parameters = shell->setCalls[0][1].toMap();
                QCOMPARE(parameters.value("Image").toString(), QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded));
                QCOMPARE(parameters.value("FillMode").toInt(), 2);
                for (const QString &script : std::as_const(shell->scripts))
                    QVERIFY2(!script.contains(QStringLiteral("writeConfig")), "Plasma 6 got a script");
            }
            QCOMPARE(Testing::awaitTask(applier.currentDesktopImageURLs()), QSet<QUrl>{QUrl::fromLocalFile(file)});
        }
        unserve(QStringLiteral("p6"));
        shell->deleteLater();
    }

    void noShellIsAClearError()
    {
        QDBusConnection client = QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("none"));
        LinuxWallpaperApplier applier(std::make_unique<PlasmaBackend>(client), twoDisplays);
        QVERIFY(Testing::awaitTask(applier.currentDesktopImageURLs()).isEmpty());
        try {
            Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(picture(QStringLiteral("x.jpg"))),
                                                      DisplayScope::allDisplays, {}));
            QFAIL("no plasmashell, yet success");
        } catch (const WallpaperApplyError &e) {
            QVERIFY2(e.underlying().startsWith(QStringLiteral("Plasma refused the picture")),
                     qPrintable(e.underlying()));
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("none"));
    }

    void lockScreenThroughKdeConfigTool_data()
    {
        // "installed": the real kwriteconfig5; "missing": none on PATH; else a stand-in script's body.
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("error");
        QTest::newRow("installed tool") << "installed"
                                        << "";
        QTest::newRow("no tool") << "missing"
                                 << "KDE's configuration tool (kwriteconfig6 or kwriteconfig5) is not installed";
        QTest::newRow("tool hangs") << "exec /bin/sleep 30"
                                    << "kwriteconfig5 did not finish in time and was stopped";
        QTest::newRow("tool fails") << "echo 'kwriteconfig5: file is locked' >&2; exit 1"
                                    << "kwriteconfig5 failed with exit code 1: kwriteconfig5: file is locked";
    }
    void lockScreenThroughKdeConfigTool()
    {
        QFETCH(QString, tool);
        QFETCH(QString, error);
        QTemporaryDir config, bin;
        const QByteArray oldPath = qgetenv("PATH"), oldConfig = qgetenv("XDG_CONFIG_HOME");
        const auto restore = qScopeGuard([&] {
            qputenv("PATH", oldPath);
            qputenv("XDG_CONFIG_HOME", oldConfig);
        });
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        if (tool == u"installed") {
            if (Test::findProgram(QStringLiteral("kreadconfig5")).isEmpty())
                QSKIP("kreadconfig5 is missing (Debian package libkf5config-bin)");
        } else {
            qputenv("PATH", QFile::encodeName(bin.path()));
            QFile script(bin.filePath(QStringLiteral("kwriteconfig5")));
            if (tool != u"missing") {
                QVERIFY(script.open(QIODevice::WriteOnly));
                script.write("#!/bin/sh\n" + tool.toUtf8() + "\n");
                script.close();
                script.setPermissions(script.permissions() | QFile::ExeOwner);
            }
        }
        // The locker's other settings, which must survive our write.
        const QByteArray seed = "[Daemon]\nTimeout=7\n\n[Greeter]\nTheme=org.kde.breeze.desktop\n";
        QFile rc(config.filePath(QStringLiteral("kscreenlockerrc")));
        QVERIFY(rc.open(QIODevice::WriteOnly) && rc.write(seed) == seed.size());
        rc.close();
        const QString file = picture(QStringLiteral("lock \"screen\" 100% 'caf\u00e9' \u00fc.jpg"));

        auto backend = std::make_unique<PlasmaBackend>(QDBusConnection::connectToBus(m_bus.address(), "lock"));
        // The real tool gets a generous bound: its first start on a cold machine loads all of KConfig.
        // Only the stand-ins need the short one, so that the hanging row ends quickly.
        backend->setToolTimeout(tool == u"installed" ? std::chrono::milliseconds(20000) : std::chrono::milliseconds(300));
        {
            LinuxWallpaperApplier applier(std::move(backend), twoDisplays);
            QCOMPARE(applier.supportsLockScreen(), tool != u"missing");
            try {
                Testing::awaitTask(applier.applyLockScreen(QUrl::fromLocalFile(file), {}));
                QVERIFY2(error.isEmpty(), "the failure was swallowed");
            } catch (const WallpaperApplyError &e) {
                QCOMPARE(e.underlying(), QStringLiteral("the lock screen's picture could not be set (%1)").arg(error));
            }
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("lock"));
        if (!error.isEmpty()) {
            QVERIFY(rc.open(QIODevice::ReadOnly));
            QCOMPARE(rc.readAll(), seed);
            return;
        }
        const auto read = [](QStringList groups, const QString &key) {
            QStringList arguments{QStringLiteral("--file"), QStringLiteral("kscreenlockerrc")};
            for (const QString &group : groups)
                arguments << QStringLiteral("--group") << group;
            QByteArray output;
            Test::runTool(QStringLiteral("kreadconfig5"), arguments << QStringLiteral("--key") << key,
                          QProcessEnvironment::systemEnvironment(), &output);
            return QString::fromUtf8(output).trimmed();
        };
        const QStringList image{"Greeter", "Wallpaper", "org.kde.image", "General"};
        QCOMPARE(QUrl(read(image, "Image")).toLocalFile(), file);
        QCOMPARE(QUrl(read(image, "PreviewImage")).toLocalFile(), file);
        QCOMPARE(read({"Greeter"}, "WallpaperPlugin"), QStringLiteral("org.kde.image"));
        QCOMPARE(read({"Greeter"}, "Theme"), QStringLiteral("org.kde.breeze.desktop"));
        QCOMPARE(read({"Daemon"}, "Timeout"), QStringLiteral("7"));
    }
};

QTEST_GUILESS_MAIN(TestPlasmaBackend)
#include "tst_plasmabackend.moc"

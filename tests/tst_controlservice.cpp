// SPDX-License-Identifier: GPL-3.0-or-later
// The running instance's face on the session bus: who gets the name, and what scripts read and set.
#include "commandline.h"
#include "controlservice.h"
#include "desktopharness.h"
#include "storeharness.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace Starvane;
using namespace Starvane::Testing;
using Registration = ControlService::Registration;

Q_DECLARE_METATYPE(Starvane::ControlService::Registration)

namespace {
enum class Bus { free, nameHeldByAnother, pathTakenOnOurs, unreachable };
}
Q_DECLARE_METATYPE(Bus)

class TestControlService : public QObject
{
    Q_OBJECT
    Test::PrivateBus m_bus;
    int m_connections = 0;

    QDBusConnection connect(const QString &address)
    {
        return QDBusConnection::connectToBus(address, QStringLiteral("c%1").arg(++m_connections));
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!m_bus.start())
            QSKIP(qPrintable(m_bus.error()));
    }

    void registration_data()
    {
        QTest::addColumn<Bus>("bus");
        QTest::addColumn<Registration>("expected");
        QTest::newRow("free name") << Bus::free << Registration::registered;
        QTest::newRow("another instance holds the name") << Bus::nameHeldByAnother << Registration::anotherInstanceRuns;
        // The object could not be exported: the name must stay free, so no launch talks to a void.
        QTest::newRow("object path taken") << Bus::pathTakenOnOurs << Registration::failed;
        QTest::newRow("no bus") << Bus::unreachable << Registration::failed;
    }

    void registration()
    {
        QFETCH(Bus, bus);
        QFETCH(Registration, expected);
        StoreHarness h;
        auto &store = h.build();
        QDBusConnection ours = connect(bus == Bus::unreachable ? QStringLiteral("unix:path=/nonexistent/bus")
                                                               : m_bus.address());
        QDBusConnection other = connect(m_bus.address());
        if (bus == Bus::nameHeldByAnother)
            QVERIFY(other.registerService(kServiceName));
        QObject squatter;
        if (bus == Bus::pathTakenOnOurs)
            QVERIFY(ours.registerObject(kControlPath, &squatter));

        ControlService service(&store, {});
        QString error;
        QCOMPARE(service.registerOn(ours, &error), expected);
        QCOMPARE(error.isEmpty(), expected == Registration::registered);

        const QString owner = other.interface()->serviceOwner(kServiceName).value();
        switch (bus) {
        case Bus::free: {
            QCOMPARE(owner, ours.baseService());
            // Another connection reaches the object under the name.
            QDBusPendingCall call = other.asyncCall(
                QDBusMessage::createMethodCall(kServiceName, kControlPath, kControlInterface, QStringLiteral("Status")));
            QTRY_VERIFY_WITH_TIMEOUT(call.isFinished(), 5000);
            QVERIFY2(!call.isError(), qPrintable(call.error().message()));
            QVERIFY(call.reply().arguments().value(0).toString().startsWith(QLatin1String("Wallpaper: ")));
            break;
        }
        case Bus::nameHeldByAnother:
            QCOMPARE(owner, other.baseService());
            QCOMPARE(ours.objectRegisteredAt(kControlPath), nullptr);
            break;
        case Bus::pathTakenOnOurs:
            QCOMPARE(owner, QString());
            QCOMPARE(ours.objectRegisteredAt(kControlPath), &squatter);
            break;
        case Bus::unreachable: break;
        }
        QDBusConnection::disconnectFromBus(ours.name());
        QDBusConnection::disconnectFromBus(other.name());
    }

    void statusJson()
    {
        StoreHarness h;
        auto &store = h.build();
        ControlService service(&store, {});
        const auto status = [&] { return QJsonDocument::fromJson(service.StatusJson().toUtf8()).object(); };

        QJsonObject s = status();
        QStringList keys = s.keys();
        keys.sort();
        QCOMPARE(keys, (QStringList{"captureYear", "credit", "displays", "downloadOnMetered", "error", "errorDetail",
                                    "file", "frequency", "hash", "id", "loading", "lockScreen", "networkHold",
                                    "nextChange", "notifyOnChange", "paused", "saveData", "screens", "title"}));
        for (const char *key :
             {"id", "title", "credit", "file", "hash", "captureYear", "nextChange", "error", "errorDetail"})
            QVERIFY2(s.value(QLatin1String(key)).isNull(), key);
        QCOMPARE(s.value("frequency").toString(), QStringLiteral("hourly"));
        QCOMPARE(s.value("displays").toString(), QStringLiteral("all"));
        QCOMPARE(s.value("paused").toBool(true), false);
        QCOMPARE(s.value("loading").toBool(true), false);

        h.runFetch();
        h.runFailingFetch(QStringLiteral("Received an unexpected response from the ESA/Hubble archive."));
        s = status();
        QCOMPARE(s.value("id").toString(), QStringLiteral("p1-1"));
        QCOMPARE(s.value("title").toString(), QStringLiteral("Title of p1-1"));
        QCOMPARE(s.value("credit").toString(), QStringLiteral("ESA/Hubble & NASA"));
        QCOMPARE(s.value("file").toString(), store.currentLocalFileURL()->toLocalFile());
        QCOMPARE(s.value("hash").toString(), StoreHarness::hashOf(QStringLiteral("p1-1")));
        QCOMPARE(s.value("captureYear").toInt(), 2020);
        QCOMPARE(QDateTime::fromString(s.value("nextChange").toString(), Qt::ISODate), *store.nextChangeDate());
        QCOMPARE(s.value("error").toString(),
                 QStringLiteral("Received an unexpected response from the ESA/Hubble archive."));
        QVERIFY(s.value("errorDetail").isNull()); // that text says it all

        // A network failure in plain words; the transport's own words for whoever needs them.
        h.archive->verifyHandler = [](const HubbleImage &) -> HubbleImage {
            throw NetworkError(5, QStringLiteral("Operation canceled"));
        };
        h.runFetch();
        s = status();
        QCOMPARE(s.value("error").toString(), QStringLiteral("The ESA/Hubble archive did not answer in time."));
        QCOMPARE(s.value("errorDetail").toString(), QStringLiteral("Operation canceled"));
        QCOMPARE(s.value("networkHold").toString(), QStringLiteral("none"));
        h.network->set(false);
        QCOMPARE(status().value("networkHold").toString(), QStringLiteral("offline"));
    }

    void historyFromScripts()
    {
        StoreHarness h;
        auto &store = h.build();
        ControlService service(&store, {});
        for (int i = 0; i < 3; ++i)
            h.runFetch();
        QVERIFY(!service.Keep().isEmpty());
        service.Previous();
        h.awaitFetch();
        service.NeverAgain();
        h.awaitFetch();

        const QJsonObject history = QJsonDocument::fromJson(service.HistoryJson().toUtf8()).object();
        const QJsonArray entries = history.value("entries").toArray();
        // Three changes and the one after "never again"; going back added nothing.
        QCOMPARE(entries.size(), 4);
        QStringList keys = entries[0].toObject().keys();
        keys.sort();
        QCOMPARE(keys, (QStringList{"banned", "captureYear", "credit", "display", "file", "hash", "id", "kept",
                                    "shownAt", "thumbnail", "title"}));
        const QJsonObject third = entries[1].toObject();
        const QJsonObject second = entries[2].toObject();
        QCOMPARE(third.value("kept").toBool(), true);
        QCOMPARE(second.value("banned").toBool(), true);
        QCOMPARE(second.value("kept").toBool(), false);

        const QStringList lines = historyText(history).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QVERIFY2(lines[1].endsWith(third.value("title").toString() + QStringLiteral("  [kept]")), qPrintable(lines[1]));
        QVERIFY2(lines[2].contains(QStringLiteral("  ") + second.value("id").toString() + QStringLiteral("  ")) &&
                     lines[2].endsWith(QStringLiteral("[never again]")),
                 qPrintable(lines[2]));
    }

    void choicesFromScripts_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("frequency"); // the word status --json reports afterwards
        QTest::addColumn<QString>("displays");
        QTest::newRow("every 5 minutes") << "SetFrequency" << "5m" << "5m" << "all";
        QTest::newRow("manual") << "SetFrequency" << "manual" << "manual" << "all";
        QTest::newRow("main display") << "SetDisplays" << "main" << "hourly" << "main";
        QTest::newRow("each display") << "SetDisplays"
                                      << "each"
                                      << "hourly"
                                      << "each";
        QTest::newRow("unknown frequency changes nothing") << "SetFrequency" << "weekly" << "hourly" << "all";
        QTest::newRow("a raw value is no word") << "SetDisplays" << "mainDisplay" << "hourly" << "all";
    }

    void choicesFromScripts()
    {
        QFETCH(QString, method);
        QFETCH(QString, word);
        QFETCH(QString, frequency);
        QFETCH(QString, displays);
        StoreHarness h;
        auto &store = h.build();
        ControlService service(&store, {});
        QVERIFY(QMetaObject::invokeMethod(&service, method.toLatin1().constData(), Q_ARG(QString, word)));
        const QJsonObject s = QJsonDocument::fromJson(service.StatusJson().toUtf8()).object();
        QCOMPARE(s.value("frequency").toString(), frequency);
        QCOMPARE(s.value("displays").toString(), displays);
    }
};

QTEST_GUILESS_MAIN(TestControlService)
#include "tst_controlservice.moc"

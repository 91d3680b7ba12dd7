// SPDX-License-Identifier: GPL-3.0-or-later
// The running instance's face on the session bus: who gets the name, and what scripts read and set.
#include "commandline.h"
#include "controlservice.h"
#include "desktopharness.h"
#include "store/picturelibrary.h"
#include "store/wallpaperhistory.h"
#include "storeharness.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QXmlStreamReader>

using namespace Starvane;
using namespace Starvane::Testing;
using Registration = ControlService::Registration;

Q_DECLARE_METATYPE(Starvane::ControlService::Registration)

namespace {
enum class Bus { free, nameHeldByAnother, pathTakenOnOurs, unreachable };
/// What the store holds before a call: nothing, manual mode, or three pictures shown and the second banned.
enum class Before { nothing, manual, threeShownSecondBanned };
} // namespace
Q_DECLARE_METATYPE(Bus)
Q_DECLARE_METATYPE(Before)

class PropertiesSpy : public QObject
{
    Q_OBJECT
public:
    QList<QVariantMap> changes;
    QVariantMap merged() const
    {
        QVariantMap all;
        for (const QVariantMap &change : changes)
            all.insert(change);
        return all;
    }
public Q_SLOTS:
    void changed(const QString &interface, const QVariantMap &values, const QStringList &)
    {
        if (interface == kControlInterface) changes << values;
    }
};

/// The methods (with their arguments' types and directions) and properties of the control interface in
/// an introspection document; the test builds' own methods left out.
QStringList members(const QString &xml)
{
    QStringList found;
    QXmlStreamReader r(xml);
    bool inside = false;
    QString current;
    while (!r.atEnd()) {
        r.readNext();
        const QString name = r.attributes().value(QLatin1String("name")).toString();
        if (r.isStartElement() && r.name() == QLatin1String("interface")) inside = name == kControlInterface;
        if (!inside || !r.isStartElement()) continue;
        if (r.name() == QLatin1String("method") || r.name() == QLatin1String("signal")) {
            current = r.name().toString() + QLatin1Char(' ') + name;
            if (name != QLatin1String("LiveMenuObjects")) found << current;
        } else if (r.name() == QLatin1String("arg") && !found.isEmpty() && found.last().startsWith(current)) {
            found.last() += QLatin1Char(' ') + r.attributes().value(QLatin1String("direction")).toString() +
                            QLatin1Char(':') + r.attributes().value(QLatin1String("type")).toString();
        } else if (r.name() == QLatin1String("property")) {
            found << QStringLiteral("property %1 %2 %3")
                         .arg(name, r.attributes().value(QLatin1String("type")).toString(),
                              r.attributes().value(QLatin1String("access")).toString());
        }
    }
    found.sort();
    return found;
}

class TestControlService : public QObject
{
    Q_OBJECT
    Test::PrivateBus m_bus;
    int m_connections = 0;

    QDBusConnection connect(const QString &address)
    {
        return QDBusConnection::connectToBus(address, QStringLiteral("c%1").arg(++m_connections));
    }

    /// `service` on a bus connection of its own, and another connection to call it from, as a script would.
    struct OnTheBus
    {
        QDBusConnection ours;
        QDBusConnection caller;
        ~OnTheBus()
        {
            QDBusConnection::disconnectFromBus(ours.name());
            QDBusConnection::disconnectFromBus(caller.name());
        }
        QDBusMessage call(const QString &interface, const QString &method, const QVariantList &arguments = {})
        {
            QDBusMessage m = QDBusMessage::createMethodCall(kServiceName, kControlPath, interface, method);
            m.setArguments(arguments);
            QDBusPendingCall pending = caller.asyncCall(m);
            if (!QTest::qWaitFor([&] { return pending.isFinished(); }, 5000)) return {};
            return pending.reply();
        }
    };
    std::unique_ptr<OnTheBus> exported(ControlService &service)
    {
        auto bus = std::make_unique<OnTheBus>(OnTheBus{connect(m_bus.address()), connect(m_bus.address())});
        QString error;
        if (service.registerOn(bus->ours, &error) != Registration::registered) qWarning() << error;
        return bus;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!m_bus.start()) QSKIP(qPrintable(m_bus.error()));
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
        QDBusConnection ours =
            connect(bus == Bus::unreachable ? QStringLiteral("unix:path=/nonexistent/bus") : m_bus.address());
        QDBusConnection other = connect(m_bus.address());
        if (bus == Bus::nameHeldByAnother) QVERIFY(other.registerService(kServiceName));
        QObject squatter;
        if (bus == Bus::pathTakenOnOurs) QVERIFY(ours.registerObject(kControlPath, &squatter));

        ControlService service(&store, {});
        QString error;
        QCOMPARE(service.registerOn(ours, &error), expected);
        QCOMPARE(error.isEmpty(), expected == Registration::registered);

        const QString owner = other.interface()->serviceOwner(kServiceName).value();
        switch (bus) {
        case Bus::free: {
            QCOMPARE(owner, ours.baseService());
            // Another connection reaches the object under the name.
            QDBusPendingCall call = other.asyncCall(QDBusMessage::createMethodCall(
                kServiceName, kControlPath, kControlInterface, QStringLiteral("Status")));
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
        case Bus::unreachable:
            break;
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
        QCOMPARE(keys,
                 QStringLiteral("askingForPermission captureYear credit description dimInDarkStyle displays "
                                "downloadOnMetered error errorArguments errorCode errorDetail file frequency hash "
                                "id loading lockScreen networkHold nextChange notifyOnChange paused saveData "
                                "screens showCaption title")
                     .split(u' '));
        for (const char *key : {"id", "title", "credit", "description", "file", "hash", "captureYear", "nextChange",
                                "error", "errorDetail", "errorCode"})
            QVERIFY2(s.value(QLatin1String(key)).isNull(), key);
        QCOMPARE(s.value("frequency").toString(), QStringLiteral("hourly"));
        QCOMPARE(s.value("displays").toString(), QStringLiteral("all"));
        QCOMPARE(s.value("paused").toBool(true), false);
        QCOMPARE(s.value("loading").toBool(true), false);
        // The desktop's permission question is open only between its two announcements.
        QCOMPARE(s.value("askingForPermission").toBool(true), false);
        h.applier->askingListener(true);
        QCOMPARE(status().value("askingForPermission").toBool(false), true);
        h.applier->askingListener(false);
        QCOMPARE(status().value("askingForPermission").toBool(true), false);

        h.archive->verifyHandler = [](HubbleImage c) {
            c.description = QStringLiteral("Gas.\n\nDust.");
            return c;
        };
        h.runFetch();
        h.runFailingFetch(QStringLiteral("Received an unexpected response from the ESA/Hubble archive."));
        s = status();
        QCOMPARE(s.value("id").toString(), QStringLiteral("p1-1"));
        QCOMPARE(s.value("description").toString(), QStringLiteral("Gas.\n\nDust."));
        QCOMPARE(service.property("Description").toString(), QStringLiteral("Gas.\n\nDust."));
        QCOMPARE(s.value("title").toString(), QStringLiteral("Title of p1-1"));
        QCOMPARE(s.value("credit").toString(), QStringLiteral("ESA/Hubble & NASA"));
        QCOMPARE(s.value("file").toString(), store.currentLocalFileURL()->toLocalFile());
        QCOMPARE(s.value("hash").toString(), StoreHarness::hashOf(QStringLiteral("p1-1")));
        QCOMPARE(s.value("captureYear").toInt(), 2020);
        QCOMPARE(QDateTime::fromString(s.value("nextChange").toString(), Qt::ISODate), *store.nextChangeDate());
        QCOMPARE(s.value("error").toString(),
                 QStringLiteral("Received an unexpected response from the ESA/Hubble archive."));
        QCOMPARE(s.value("errorCode").toString(), QStringLiteral("file"));
        QVERIFY(s.value("errorDetail").isNull()); // no retry scheduled, nothing waits

        // A network failure in the transport's own words, with a code scripts can rely on.
        h.archive->verifyHandler = [](const HubbleImage &) -> HubbleImage {
            throw NetworkError(NetworkFailure::timedOut, QStringLiteral("Operation canceled"));
        };
        h.runFetch();
        s = status();
        QCOMPARE(s.value("error").toString(), QStringLiteral("Operation canceled"));
        QCOMPARE(s.value("errorCode").toString(), QStringLiteral("network.timedOut"));
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
        QCOMPARE(keys, (QStringList{"banned", "captureYear", "credit", "description", "display", "file", "hash", "id",
                                    "kept", "shownAt", "thumbnail", "title", "variant"}));
        QVERIFY(entries[0].toObject().value("description").isNull()); // the fake archive tells no story
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

    void answersOnTheBus_data()
    {
        QTest::addColumn<Before>("before");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QVariantList>("arguments");
        QTest::addColumn<QString>("errorName"); // empty: done
        QTest::addColumn<QString>("key");       // what status --json says afterwards
        QTest::addColumn<QJsonValue>("value");
        const QString refused = kErrorRefused, nothing = kErrorNothingToDo, invalid = kErrorInvalidArgument;
        const auto three = Before::threeShownSecondBanned;
        QTest::newRow("pause in manual mode")
            << Before::manual << "Pause" << QVariantList{} << nothing << "paused" << QJsonValue(false);
        QTest::newRow("lock screen where there is none")
            << Before::nothing << "SetLockScreen" << QVariantList{"on"} << refused << "lockScreen" << QJsonValue(false);
        QTest::newRow("nothing to go back to")
            << Before::nothing << "Previous" << QVariantList{} << refused << "id" << QJsonValue();
        QTest::newRow("history entry past the end")
            << three << "ShowHistoryEntry" << QVariantList{3} << invalid << "id" << QJsonValue("p1-3");
        QTest::newRow("negative history entry")
            << three << "ShowHistoryEntry" << QVariantList{-1} << invalid << "id" << QJsonValue("p1-3");
        QTest::newRow("the entry on screen")
            << three << "ShowHistoryEntry" << QVariantList{0} << nothing << "id" << QJsonValue("p1-3");
        QTest::newRow("a banned entry") << three << "ShowHistoryEntry" << QVariantList{1} << refused << "id"
                                        << QJsonValue("p1-3");
        QTest::newRow("an earlier entry")
            << three << "ShowHistoryEntry" << QVariantList{2} << QString() << "id" << QJsonValue("p1-1");
        QTest::newRow("an entry by id") << three << "ShowHistoryPicture" << QVariantList{"p1-1"} << QString() << "id"
                                        << QJsonValue("p1-1");
        QTest::newRow("an id not in the history")
            << three << "ShowHistoryPicture" << QVariantList{"p9-9"} << invalid << "id" << QJsonValue("p1-3");
        QTest::newRow("allow again what is not banned")
            << three << "AllowAgain" << QVariantList{"p1-1"} << invalid << "id" << QJsonValue("p1-3");
        QTest::newRow("allow again, then show it")
            << three << "AllowAgain" << QVariantList{"p1-2"} << QString() << "id" << QJsonValue("p1-3");
        QTest::newRow("only kept, none kept")
            << Before::nothing << "SetOnlyKept" << QVariantList{true} << refused << "id" << QJsonValue();
        QTest::newRow("save data") << Before::nothing << "SetSaveData" << QVariantList{true} << QString() << "saveData"
                                   << QJsonValue(true);
        QTest::newRow("metered") << Before::nothing << "SetDownloadOnMetered" << QVariantList{true} << QString()
                                 << "downloadOnMetered" << QJsonValue(true);
        QTest::newRow("notify") << Before::nothing << "SetNotifyOnChange" << QVariantList{true} << QString()
                                << "notifyOnChange" << QJsonValue(true);
        QTest::newRow("caption") << Before::nothing << "SetShowCaption" << QVariantList{true} << QString()
                                 << "showCaption" << QJsonValue(true);
        QTest::newRow("dim in dark style") << Before::nothing << "SetDimInDarkStyle" << QVariantList{true} << QString()
                                           << "dimInDarkStyle" << QJsonValue(true);
        QTest::newRow("a word scripts do not know") << Before::nothing << "SetFrequency" << QVariantList{"weekly"}
                                                    << invalid << "frequency" << QJsonValue("hourly");
    }

    void answersOnTheBus()
    {
        QFETCH(Before, before);
        QFETCH(QString, method);
        QFETCH(QVariantList, arguments);
        QFETCH(QString, errorName);
        QFETCH(QString, key);
        QFETCH(QJsonValue, value);
        StoreHarness h;
        auto &store = h.build();
        if (before == Before::manual) store.updateFrequency(ChangeFrequency::manual);
        if (before == Before::threeShownSecondBanned) {
            for (int i = 0; i < 3; ++i)
                h.runFetch();
            store.banHistoryEntry(1);
        }
        ControlService service(&store, {});
        auto bus = exported(service);
        const QDBusMessage reply = bus->call(kControlInterface, method, arguments);
        QVERIFY2(reply.type() == (errorName.isEmpty() ? QDBusMessage::ReplyMessage : QDBusMessage::ErrorMessage),
                 qPrintable(reply.errorName() + QLatin1Char(' ') + reply.errorMessage()));
        QCOMPARE(reply.errorName(), errorName);
        // Every reason is a text the caller can look up in its own language.
        if (!errorName.isEmpty() && method != QLatin1String("SetFrequency"))
            QVERIFY2(!QCoreApplication::translate(kReasonContext, reply.errorMessage().toUtf8().constData()).isEmpty(),
                     qPrintable(reply.errorMessage()));
        h.awaitFetch();
        const QJsonObject status = QJsonDocument::fromJson(service.StatusJson().toUtf8()).object();
        QCOMPARE(status.value(key), value.isUndefined() ? QJsonValue(QJsonValue::Null) : value);
        if (method == QLatin1String("AllowAgain") && errorName.isEmpty()) {
            QVERIFY(!store.library().history().isBannedID(arguments.first().toString()));
            QCOMPARE(bus->call(kControlInterface, QStringLiteral("ShowHistoryEntry"), {1}).type(),
                     QDBusMessage::ReplyMessage);
        }
    }

    void propertiesFollowTheStore()
    {
        StoreHarness h;
        auto &store = h.build();
        ControlService service(&store, {});
        auto bus = exported(service);
        PropertiesSpy spy;
        QVERIFY(bus->caller.connect(kServiceName, kControlPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                    QStringLiteral("PropertiesChanged"), &spy,
                                    SLOT(changed(QString, QVariantMap, QStringList))));
        const auto get = [&](const char *name) {
            const QDBusMessage reply = bus->call(QStringLiteral("org.freedesktop.DBus.Properties"),
                                                 QStringLiteral("Get"), {kControlInterface, QString::fromLatin1(name)});
            return qvariant_cast<QDBusVariant>(reply.arguments().value(0)).variant();
        };
        QCOMPARE(get("Frequency").toString(), QStringLiteral("hourly"));
        QCOMPARE(get("Id").toString(), QString());

        // A widget that listens learns of the new picture without asking.
        h.runFetch();
        QVariantMap merged;
        QTRY_VERIFY((merged = spy.merged()).contains(QStringLiteral("Id")));
        QCOMPARE(merged.value(QStringLiteral("Id")).toString(), QStringLiteral("p1-1"));
        QCOMPARE(merged.value(QStringLiteral("File")).toString(), store.currentLocalFileURL()->toLocalFile());
        QCOMPARE(QDateTime::fromString(merged.value(QStringLiteral("NextChange")).toString(), Qt::ISODate),
                 *store.nextChangeDate());
        QCOMPARE(get("Title").toString(), QStringLiteral("Title of p1-1"));

        // Only what changed is announced.
        spy.changes.clear();
        store.togglePaused();
        QTRY_COMPARE(spy.changes.size(), 1);
        QStringList keys = spy.changes.first().keys();
        QCOMPARE(keys, (QStringList{QStringLiteral("NextChange"), QStringLiteral("Paused")}));
        QCOMPARE(spy.changes.first().value(QStringLiteral("Paused")).toBool(), true);
    }

    void introspectionMatchesTheRepository()
    {
        StoreHarness h;
        auto &store = h.build();
        ControlService service(&store, {});
        auto bus = exported(service);
        const QDBusMessage reply =
            bus->call(QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"));
        QFile described(QStringLiteral(STARVANE_CONTROL_XML));
        QVERIFY(described.open(QIODevice::ReadOnly));
        QCOMPARE(members(reply.arguments().value(0).toString()), members(QString::fromUtf8(described.readAll())));
    }

    void choicesFromScripts_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("frequency"); // the word status --json reports afterwards
        QTest::addColumn<QString>("displays");
        QTest::newRow("every 5 minutes") << "SetFrequency"
                                         << "5m"
                                         << "5m"
                                         << "all";
        QTest::newRow("manual") << "SetFrequency"
                                << "manual"
                                << "manual"
                                << "all";
        QTest::newRow("main display") << "SetDisplays"
                                      << "main"
                                      << "hourly"
                                      << "main";
        QTest::newRow("each display") << "SetDisplays"
                                      << "each"
                                      << "hourly"
                                      << "each";
        QTest::newRow("unknown frequency changes nothing") << "SetFrequency"
                                                           << "weekly"
                                                           << "hourly"
                                                           << "all";
        QTest::newRow("a raw value is no word") << "SetDisplays"
                                                << "mainDisplay"
                                                << "hourly"
                                                << "all";
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

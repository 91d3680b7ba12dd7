// SPDX-License-Identifier: GPL-3.0-or-later
// Desktop notifications, against a stand-in notification service on a private session bus that
// records what it receives, can answer late, and presses buttons.
#include "desktopharness.h"
#include "notifier.h"
#include "store/picturelibrary.h"
#include "storeharness.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace Starvane;
using namespace Starvane::Testing;

namespace {
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kName = QStringLiteral("org.freedesktop.Notifications");
} // namespace

class StandInNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Received
    {
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
    };
    QList<Received> received;
    int answerAfterMs = 0;
    int answered = 0;

    explicit StandInNotifications(QDBusConnection bus) : m_bus(std::move(bus))
    {
        m_bus.registerObject(kPath, this, QDBusConnection::ExportAllSlots);
        m_bus.registerService(kName);
    }
    ~StandInNotifications() override { m_bus.unregisterService(kName); }

    /// Presses button `key` of the `index`th notification, as a person would.
    void press(int index, const QString &key)
    {
        QDBusMessage signal = QDBusMessage::createSignal(kPath, kName, QStringLiteral("ActionInvoked"));
        signal << uint(index + 1) << key;
        m_bus.send(signal);
    }

public Q_SLOTS:
    uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &hints, int, const QDBusMessage &message)
    {
        received.append({summary, body, actions, hints});
        const uint id = uint(received.size());
        if (answerAfterMs > 0) {
            message.setDelayedReply(true);
            QTimer::singleShot(answerAfterMs, this, [this, reply = message.createReply(id)] {
                m_bus.send(reply);
                ++answered;
            });
        } else {
            ++answered;
        }
        return id;
    }
    QStringList GetCapabilities() { return {QStringLiteral("actions"), QStringLiteral("body")}; }

private:
    QDBusConnection m_bus;
};

class TestNotifier : public QObject
{
    Q_OBJECT
    Test::PrivateBus m_bus;
    int m_connections = 0;

    QDBusConnection connect()
    {
        return QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("n%1").arg(++m_connections));
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!m_bus.start()) QSKIP(qPrintable(m_bus.error()));
    }

    void newWallpaperIsAnnouncedWhenAsked_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("story"); // empty: the page told nothing
        QTest::addColumn<QString>("lead");  // what the body says before the credit
        const QString tail = QString(" and more").repeated(30);
        QTest::newRow("on") << true << "Stars are born here, 7500 light-years away. Dust hides them.\n\nMore."
                            << "Stars are born here, 7500 light-years away.\n";
        QTest::newRow("on, its headline first") << true << "A stellar nursery\n\nStars are born here."
                                                << "A stellar nursery\n";
        QTest::newRow("on, a long sentence cut after a word") << true << "Gas" + tail + "."
                                                              << "Gas" + tail.left(193) + QString::fromUtf8("…\n");
        QTest::newRow("on, no story: the credit alone") << true << ""
                                                        << "";
        QTest::newRow("off by default") << false << ""
                                        << "";
    }

    void newWallpaperIsAnnouncedWhenAsked()
    {
        QFETCH(bool, enabled);
        QFETCH(QString, story);
        QFETCH(QString, lead);
        StandInNotifications service(connect());
        StoreHarness h;
        h.plantState({.frequency = ChangeFrequency::hourly, .notifyOnChange = enabled});
        h.archive->verifyHandler = [story](HubbleImage c) {
            if (!story.isEmpty()) c.description = story;
            return c;
        };
        auto &store = h.build();
        Notifier notifier(&store, connect());
        h.runFetch();
        if (!enabled) {
            QTest::qWait(50);
            QVERIFY(service.received.isEmpty());
            return;
        }
        QTRY_COMPARE(service.received.size(), 1);
        const auto &shown = service.received.first();
        QCOMPARE(shown.summary, store.currentImage()->title);
        QCOMPARE(shown.body, lead + store.currentImage()->credit);
        QCOMPARE(shown.hints.value(QStringLiteral("image-path")).toString(),
                 store.currentLocalFileURL()->toLocalFile());
        QCOMPARE(shown.actions, (QStringList{"next", "Next", "keep", "Keep"}));

        // "Next" on the notification changes the picture again.
        const QString first = store.currentImage()->id;
        service.press(0, QStringLiteral("next"));
        QTRY_VERIFY(store.currentImage()->id != first);
        QTRY_COMPARE(service.received.size(), 2);

        // "Keep" on the first one, answered late, keeps the picture it showed, not the one on screen now.
        service.press(0, QStringLiteral("keep"));
        QTRY_VERIFY(store.library().kept().isKept(first));
        QVERIFY(!store.isCurrentKept());
    }

    void repeatedAutomaticFailuresAreNoticedOnce()
    {
        StandInNotifications service(connect());
        StoreHarness h;
        auto &store = h.build();
        Notifier notifier(&store, connect());
        h.archive->verifyHandler = [](const HubbleImage &) -> HubbleImage { throw HubbleAPIError::httpStatus(503); };
        QSignalSpy ended(&store, &WallpaperStore::fetchTaskEnded);
        store.start(); // nothing on screen: an automatic change, then its retries
        for (int failures = 1; failures <= 5; ++failures) {
            QTRY_COMPARE(ended.count(), failures);
            h.clock.advance(300);
            h.sleeper.fireAll();
        }
        QTRY_COMPARE(ended.count(), 6);
        QTest::qWait(50);
        QCOMPARE(service.received.size(), 1);
        QCOMPARE(service.received.first().summary, QStringLiteral("Starvane could not change the wallpaper"));
        QCOMPARE(service.received.first().body,
                 QStringLiteral("ESA/Hubble archive returned HTTP 503.\nTrying again in 5 minutes"));
        QCOMPARE(service.received.first().actions, (QStringList{"retry", "Retry"}));

        // "Retry" tries at once; a success ends the run, and the next run of failures is noticed again.
        h.archive->verifyHandler = {};
        service.press(0, QStringLiteral("retry"));
        QTRY_VERIFY(store.currentImage().has_value());
        h.archive->verifyHandler = [](const HubbleImage &) -> HubbleImage { throw HubbleAPIError::httpStatus(503); };
        const int before = int(ended.count());
        for (int failures = 1; failures <= 3; ++failures) {
            h.clock.advance(3600);
            h.sleeper.fireAll();
            QTRY_COMPARE(ended.count(), before + failures);
        }
        QTRY_COMPARE(service.received.size(), 2);
    }

    void slowOrMissingServiceNeverHoldsUpAChange_data()
    {
        QTest::addColumn<bool>("serviceRuns");
        QTest::newRow("answers after ten seconds") << true;
        QTest::newRow("no service") << false;
    }

    void slowOrMissingServiceNeverHoldsUpAChange()
    {
        QFETCH(bool, serviceRuns);
        std::optional<StandInNotifications> service;
        if (serviceRuns) {
            service.emplace(connect());
            service->answerAfterMs = 10'000;
        }
        StoreHarness h;
        h.plantState({.frequency = ChangeFrequency::hourly, .notifyOnChange = true});
        auto &store = h.build();
        Notifier notifier(&store, connect());
        for (int n = 1; n <= 3; ++n) {
            h.runFetch();
            QCOMPARE(h.applier->calls.size(), n);
            QCOMPARE(store.errorMessage(), std::nullopt);
        }
        if (serviceRuns) {
            QTRY_COMPARE(service->received.size(), 3);
            QCOMPARE(service->answered, 0); // every change went ahead while its notice was unanswered
        }
    }
};

QTEST_GUILESS_MAIN(TestNotifier)
#include "tst_notifier.moc"

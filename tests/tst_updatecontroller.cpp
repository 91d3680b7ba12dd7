// SPDX-License-Identifier: GPL-3.0-or-later
#include "archiveserver.h"
#include "updatecontroller.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace Starvane;
using namespace Starvane::Testing;

Q_DECLARE_METATYPE(Starvane::Testing::ArchiveTestServer::Response)

namespace {
QByteArray appcast(const QList<QByteArray> &versions)
{
    QByteArray items;
    for (const QByteArray &v : versions)
        items += "<item><title>Starvane " + v + "</title><link>https://example.test/releases/" + v + "</link>"
                 "<enclosure url=\"https://example.test/Starvane-" + v + ".AppImage\" sparkle:version=\"" + v +
                 "\" length=\"1\" type=\"application/octet-stream\"/></item>";
    return "<?xml version=\"1.0\"?><rss version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">"
           "<channel><title>Starvane</title>" + items + "</channel></rss>";
}
} // namespace

class TestUpdateController : public QObject
{
    Q_OBJECT
    QList<QUrl> m_opened;

public Q_SLOTS:
    void open(const QUrl &url) { m_opened << url; }

private Q_SLOTS:
    void parsesTheNewestItem()
    {
        const auto newest = parseAppcast(appcast({"1.0.1", "1.2.0", "1.1.9"}));
        QVERIFY(newest);
        QCOMPARE(newest->version, QVersionNumber(1, 2, 0));
        QCOMPARE(newest->downloadURL, QUrl(QStringLiteral("https://example.test/Starvane-1.2.0.AppImage")));
        QCOMPARE(newest->releasePage, QUrl(QStringLiteral("https://example.test/releases/1.2.0")));
        QVERIFY(!parseAppcast("<rss><channel><item><title>no enclosure</title></item></channel></rss>"));
        QVERIFY(!parseAppcast("<rss><channel><item>"));
        QVERIFY(!parseAppcast("not xml at all"));
    }

    void checkAgainstALocalFeed_data()
    {
        QTest::addColumn<ArchiveTestServer::Response>("feed");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("message");
        QTest::newRow("newer") << ArchiveTestServer::Response::file(appcast({"1.0.0", "1.4.2"}))
                               << int(UpdateController::Outcome::updateAvailable) << "Starvane 1.4.2 is available (you have 1.0.0).";
        const QString tooLarge = QStringLiteral("Could not check for updates: the update feed is too large.");
        QTest::newRow("over the cap, announced") << ArchiveTestServer::Response::generated(64 << 20)
                                                 << int(UpdateController::Outcome::failed) << tooLarge;
        QTest::newRow("over the cap, streamed without a length") << ArchiveTestServer::Response::generated(64 << 20, false)
                                                                 << int(UpdateController::Outcome::failed) << tooLarge;
        QTest::newRow("same") << ArchiveTestServer::Response::file(appcast({"1.0.0"}))
                              << int(UpdateController::Outcome::upToDate) << "Starvane 1.0.0 is up to date.";
        QTest::newRow("malformed") << ArchiveTestServer::Response::file("<rss><channel><item><enclosure url=")
                                   << int(UpdateController::Outcome::failed)
                                   << "Could not check for updates: the update feed could not be read.";
        QTest::newRow("server error") << ArchiveTestServer::Response::withStatus(500) << int(UpdateController::Outcome::failed)
                                      << "Could not check for updates: the update server returned HTTP 500.";
    }

    void checkAgainstALocalFeed()
    {
        QFETCH(ArchiveTestServer::Response, feed);
        QFETCH(int, outcome);
        QFETCH(QString, message);
        ArchiveTestServer server;
        QVERIFY(server.start());
        server.setResponse(QStringLiteral("/appcast.xml"), feed);
        QNetworkAccessManager nam;
        UpdateController updater(&nam, server.baseURL().resolved(QUrl(QStringLiteral("/appcast.xml"))),
                                 QVersionNumber(1, 0, 0));
        QSignalSpy canCheck(&updater, &UpdateController::canCheckForUpdatesChanged);
        QSignalSpy finished(&updater, &UpdateController::checkFinished);
        updater.checkForUpdates();
        QVERIFY(!updater.canCheckForUpdates()); // no second check while one runs
        updater.checkForUpdates();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
        const auto result = finished.first().first().value<UpdateController::Result>();
        QCOMPARE(int(result.outcome), outcome);
        QCOMPARE(result.message, message);
        QVERIFY(updater.canCheckForUpdates());
        QCOMPARE(canCheck.count(), 2);
        QCOMPARE(server.requestCount(QStringLiteral("/appcast.xml")), 1);
        // Refused while it streamed in, not after all of it had been held.
        const qint64 sent = server.bytesSent(QStringLiteral("/appcast.xml"));
        QVERIFY2(sent < 32 << 20, qPrintable(QString::number(sent)));

        // Only a newer release offers "Download…", and it opens that release's page.
        std::unique_ptr<QMessageBox> box(makeUpdateResultBox(result, nullptr));
        QPushButton *download = nullptr;
        for (QAbstractButton *b : box->buttons())
            if (b->text() == QStringLiteral("Download\u2026"))
                download = qobject_cast<QPushButton *>(b);
        QCOMPARE(download != nullptr, result.outcome == UpdateController::Outcome::updateAvailable);
        if (!download)
            return;
        m_opened.clear();
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "open");
        download->click();
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(m_opened, QList<QUrl>{QUrl(QStringLiteral("https://example.test/releases/1.4.2"))});
    }
};

QTEST_MAIN(TestUpdateController)
#include "tst_updatecontroller.moc"

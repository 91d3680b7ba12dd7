// SPDX-License-Identifier: GPL-3.0-or-later
#include "async/cancellation.h"

#include "awaittask.h"
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QTcpServer>
#include <QTest>
#include <QTimer>
#include <thread>

using namespace Starvane;
using namespace std::chrono_literals;

namespace {
enum class Outcome { pending, finished, cancelled, failed };

QCoro::Task<> recordSleep(std::chrono::milliseconds d, std::stop_token st, Outcome *out)
{
    try {
        co_await sleepFor(d, st);
        *out = Outcome::finished;
    } catch (const CancelledError &) {
        *out = Outcome::cancelled;
    }
}

QCoro::Task<bool> catchesTooSmall()
{
    try {
        co_await runInBackground([]() -> int { throw WallpaperCacheError::imageTooSmall(10, 20); });
    } catch (const WallpaperCacheError &e) {
        co_return e == WallpaperCacheError::imageTooSmall(10, 20);
    }
    co_return false;
}

QCoro::Task<bool> awaitIsCancelled(QNetworkReply *reply, std::stop_token st)
{
    try {
        co_await awaitReply(reply, st);
    } catch (const CancelledError &) {
        co_return true;
    }
    co_return false;
}

QCoro::Task<> failingTask()
{
    co_await sleepFor(1ms, {});
    throw HubbleAPIError::httpStatus(502);
}
} // namespace

class TestAsync : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void sleepEndsNormally()
    {
        Outcome out = Outcome::pending;
        std::stop_source src;
        recordSleep(5ms, src.get_token(), &out);
        QTRY_COMPARE_WITH_TIMEOUT(out, Outcome::finished, 5000);
    }

    void stopWakesALongSleep()
    {
        Outcome out = Outcome::pending;
        std::stop_source src;
        recordSleep(std::chrono::hours(48), src.get_token(), &out);
        QTimer::singleShot(10, [&src] { src.request_stop(); });
        QTRY_COMPARE_WITH_TIMEOUT(out, Outcome::cancelled, 5000);
    }

    void stopFromAnotherThread()
    {
        Outcome out = Outcome::pending;
        std::stop_source src;
        recordSleep(std::chrono::hours(1), src.get_token(), &out);
        std::thread([&src] { src.request_stop(); }).join();
        QTRY_COMPARE_WITH_TIMEOUT(out, Outcome::cancelled, 5000);
    }

    void alreadyStoppedNeverSleeps()
    {
        Outcome out = Outcome::pending;
        std::stop_source src;
        src.request_stop();
        recordSleep(std::chrono::hours(1), src.get_token(), &out);
        QCOMPARE(out, Outcome::cancelled); // thrown before the first suspension
    }

    void backgroundWorkReturnsAndRethrows()
    {
        const Qt::HANDLE mainThread = QThread::currentThreadId();
        const auto value = Testing::awaitTask(runInBackground([] { return QThread::currentThreadId(); }));
        QVERIFY(value != mainThread);

        // QCoro 0.8's waitFor() never returns when the task throws, so the catching happens inside.
        QVERIFY(Testing::awaitTask(catchesTooSmall()));
    }

    void spawnedFailureIsLogged()
    {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Background task probe failed: .*HTTP 502")));
        spawn(failingTask(), QStringLiteral("probe"));
        QTest::qWait(50);
    }

    void stopAbortsARequest()
    {
        // A server that accepts and never answers: only the stop can end the request.
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QNetworkAccessManager nam;
        QNetworkReply *reply = nam.get(QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort()))));
        std::stop_source src;
        QTimer::singleShot(50, [&src] { src.request_stop(); });
        QVERIFY(Testing::awaitTask(awaitIsCancelled(reply, src.get_token())));
        QCOMPARE(reply->error(), QNetworkReply::OperationCanceledError);
        QVERIFY(isCancellation(std::make_exception_ptr(NetworkError(NetworkFailure::timedOut, {})), src.get_token()));
        QVERIFY(!isCancellation(std::make_exception_ptr(NetworkError(NetworkFailure::timedOut, {})), std::stop_source().get_token()));
        reply->deleteLater();
    }
};

QTEST_GUILESS_MAIN(TestAsync)
#include "tst_async.moc"

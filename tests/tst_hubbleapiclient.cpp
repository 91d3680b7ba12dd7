// SPDX-License-Identifier: GPL-3.0-or-later
// The archive client against a loopback server that misbehaves on purpose.
#include "archive/hubbleapiclient.h"
#include "archiveserver.h"
#include "models/errors.h"

#include "awaittask.h"
#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <exception>
#include <memory>

using namespace Starvane;
using namespace Starvane::Testing;
using Response = ArchiveTestServer::Response;

Q_DECLARE_METATYPE(ArchiveTestServer::Response)

namespace {

constexpr qint64 kSmallLimit = 1'000'000;

template <typename T> struct Outcome
{
    std::optional<T> value;
    std::exception_ptr error;
    bool done = false;
};

// QCoro::waitFor never returns when the awaited task throws, so the task is wrapped in one that cannot.
template <typename T>
QCoro::Task<> capture(QCoro::Task<T> task, std::shared_ptr<Outcome<T>> out,
                      std::shared_ptr<HubbleAPIClient> keepAlive = {})
{
    Q_UNUSED(keepAlive);
    try {
        T value = co_await std::move(task);
        out->value = std::move(value);
    } catch (...) {
        out->error = std::current_exception();
    }
    out->done = true;
}

template <typename T> Outcome<T> wait(QCoro::Task<T> task)
{
    auto out = std::make_shared<Outcome<T>>();
    Testing::awaitTask(capture(std::move(task), out));
    return *out;
}

/// A compact name for an outcome, so that table rows can state what they expect.
QString describe(const std::exception_ptr &error)
{
    if (!error) return QStringLiteral("ok");
    try {
        std::rethrow_exception(error);
    } catch (const CancelledError &) {
        return QStringLiteral("cancelled");
    } catch (const NetworkError &e) {
        return ChangeError::from(std::make_exception_ptr(e)).code();
    } catch (const FileError &e) {
        return QStringLiteral("file:") + e.description();
    } catch (const HubbleAPIError &e) {
        switch (e.kind()) {
        case HubbleAPIError::Kind::httpStatus:
            return QStringLiteral("httpStatus:%1").arg(e.number());
        case HubbleAPIError::Kind::fileTooLarge:
            return QStringLiteral("fileTooLarge:%1").arg(e.number());
        case HubbleAPIError::Kind::ineligibleImage:
            return QStringLiteral("ineligibleImage:") + e.reason();
        case HubbleAPIError::Kind::invalidResponse:
            return QStringLiteral("invalidResponse");
        case HubbleAPIError::Kind::incompleteTransfer:
            return QStringLiteral("incompleteTransfer");
        default:
            return QStringLiteral("HubbleAPIError:") + e.description();
        }
    } catch (const std::exception &e) {
        return QStringLiteral("other:") + QString::fromUtf8(e.what());
    }
}

QByteArray fixture(const QString &name)
{
    QFile f(QStringLiteral(STARVANE_TEST_DATA "/archive/") + name);
    if (!f.open(QIODevice::ReadOnly)) qFatal("missing fixture %s", qPrintable(name));
    // Recorded pages link the real image host; served here, they link this server instead.
    return f.readAll().replace("https://cdn.esahubble.org", "{{BASE}}");
}

QByteArray patterned(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + 3) % 256);
    return bytes;
}

} // namespace

class TestHubbleAPIClient : public QObject
{
    Q_OBJECT
    QTemporaryDir m_tmp; // our private temporary folder: every file the client leaves is visible here
    ArchiveTestServer m_server;
    QNetworkAccessManager *m_nam = nullptr; // one for the whole run, as in the application
    // Short enough for the stalling cases, long enough for a slow run under valgrind.
    ArchiveTimeouts m_short{std::chrono::milliseconds(2000), std::chrono::milliseconds(2000)};

    std::shared_ptr<HubbleAPIClient> client(qint64 limit = kSmallLimit, ArchiveTimeouts timeouts = {})
    {
        if (timeouts.page == ArchiveTimeouts().page) timeouts = m_short;
        return std::make_shared<HubbleAPIClient>(m_nam, limit, m_server.baseURL(), m_server.baseURL(), timeouts);
    }
    QUrl url(const QString &path) const { return m_server.baseURL().resolved(QUrl(path)); }
    /// Size of a file in our temporary folder that this process holds open, or -1 when there is none.
    qint64 openTemporaryBytes() const
    {
        const QDir fds(QStringLiteral("/proc/self/fd"));
        for (const QFileInfo &fd : fds.entryInfoList(QDir::Files | QDir::System)) {
            if (fd.symLinkTarget().startsWith(m_tmp.path())) return fd.size();
        }
        return -1;
    }
    QStringList leftovers() const { return QDir(m_tmp.path()).entryList(QDir::Files | QDir::Hidden | QDir::System); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        qputenv("TMPDIR", QFile::encodeName(m_tmp.path()));
        QCOMPARE(QDir::tempPath(), QDir(m_tmp.path()).canonicalPath());
        QVERIFY(m_server.start());
        m_nam = new QNetworkAccessManager(this);
    }

    void init() { m_server.clear(); }

    void cleanup()
    {
        // A failed test must not make the next one see its files.
        for (const QString &name : leftovers())
            QFile::remove(QDir(m_tmp.path()).filePath(name));
    }

    void catalogPages_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("path");
        QTest::newRow("0") << 0 << "/images/archive/wallpapers/";
        QTest::newRow("1") << 1 << "/images/archive/wallpapers/";
        QTest::newRow("2") << 2 << "/images/archive/wallpapers/page/2/";
    }
    void catalogPages()
    {
        QFETCH(int, page);
        QFETCH(QString, path);
        m_server.setResponse(path, Response::page(fixture("catalog-page.html")));
        const auto out = wait(client()->fetchCatalogPage(page, 16.0 / 9.0, {}));
        QCOMPARE(describe(out.error), QStringLiteral("ok"));
        QCOMPARE(out.value->size(), 6);
        QCOMPARE(out.value->first().id, QStringLiteral("heic0910a"));
        QCOMPARE(out.value->first().imageURL, url("/archives/images/large/heic0910a.jpg"));
        const QList<ArchiveTestServer::Request> requests = m_server.requests();
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests[0].path, path);
        QCOMPARE(requests[0].headers.value("user-agent"), QByteArray("Starvane/1.0 (Linux)"));
    }

    void redirectsAreFollowed()
    {
        m_server.setResponse("/images/archive/wallpapers/", Response::redirect("{{BASE}}/moved/"));
        m_server.setResponse("/moved/", Response::page(fixture("catalog-page.html")));
        const auto out = wait(client()->fetchCatalogPage(1, 16.0 / 9.0, {}));
        QCOMPARE(describe(out.error), QStringLiteral("ok"));
        QCOMPARE(out.value->size(), 6);
        QCOMPARE(m_server.requestCount("/moved/"), 1);
    }

    void undecodableBytesDoNotCostThePage()
    {
        QByteArray html = fixture("catalog-page.html");
        html.replace("a ring of fire", "a ring \xff\xfe of fire");
        m_server.setResponse("/images/archive/wallpapers/", Response::page(html));
        const auto out = wait(client()->fetchCatalogPage(1, 16.0 / 9.0, {}));
        QCOMPARE(describe(out.error), QStringLiteral("ok"));
        QCOMPARE(out.value->size(), 6);
        QVERIFY(out.value->at(1).title.contains(QChar::ReplacementCharacter));
    }

    void pageFailures_data()
    {
        QTest::addColumn<Response>("response");
        QTest::addColumn<QString>("expected");
        QTest::newRow("404") << Response::withStatus(404) << "httpStatus:404";
        QTest::newRow("500") << Response::withStatus(500) << "httpStatus:500";
        // A time-out also ends as OperationCanceledError inside Qt, but it is no cancellation of ours.
        QTest::newRow("stalled") << Response::stalled()
                                 << QStringLiteral("network.timedOut");
        QTest::newRow("announced beyond 16 MiB") << Response::generated(16 * 1024 * 1024 + 1) << "invalidResponse";
        QTest::newRow("unannounced beyond 16 MiB") << Response::generated(17 * 1024 * 1024, false) << "invalidResponse";
        QTest::newRow("body cut short") << Response::truncated(100'000, 50'000)
                                        << QStringLiteral("network.refused");
    }
    void pageFailures()
    {
        QFETCH(Response, response);
        QFETCH(QString, expected);
        m_server.setResponse("/images/archive/wallpapers/", response);
        m_server.setResponse("/images/heic0910a/", response);
        const auto page = wait(client()->fetchCatalogPage(1, 16.0 / 9.0, {}));
        QCOMPARE(describe(page.error), expected);
        HubbleImage candidate{"heic0910a",
                              "T",
                              "ESA/Hubble & NASA",
                              {},
                              url("/archives/images/large/heic0910a.jpg"),
                              {},
                              url("/images/heic0910a/"),
                              6000,
                              3000};
        const auto detail = wait(client()->verifyAndEnrichCandidate(candidate, {}));
        QCOMPARE(describe(detail.error), expected);
    }

    void verification()
    {
        m_server.setResponse("/images/heic0910a/", Response::page(fixture("detail-current.html")));
        HubbleImage candidate{"heic0910a",
                              "T",
                              "ESA/Hubble & NASA",
                              {},
                              url("/archives/images/large/heic0910a.jpg"),
                              url("/archives/images/wallpaper5/heic0910a.jpg"),
                              url("/images/heic0910a/"),
                              6000,
                              3000};
        const auto out = wait(client()->verifyAndEnrichCandidate(candidate, {}));
        QCOMPARE(describe(out.error), QStringLiteral("ok"));
        QCOMPARE(out.value->imageURL, url("/archives/images/large/heic0910a.jpg"));
        QCOMPARE(out.value->fallbackImageURL, std::optional<QUrl>(url("/archives/images/wallpaper_uhd/heic0910a.jpg")));
        QVERIFY(out.value->credit.startsWith("NASA, ESA, and the Hubble SM4 ERO Team"));

        QByteArray artwork = fixture("detail-current.html");
        artwork.replace("<td>Observation</td>", "<td>Artwork</td>");
        m_server.setResponse("/images/heic0910a/", Response::page(artwork));
        const auto rejected = wait(client()->verifyAndEnrichCandidate(candidate, {}));
        QCOMPARE(describe(rejected.error), QStringLiteral("ineligibleImage:not a single Hubble observation"));
    }

    void downloads_data()
    {
        QTest::addColumn<Response>("response");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<QString>("expected"); // "ok:<size>" or the failure; a trailing * matches any rest
        const QString timeout = QStringLiteral("network.timedOut");
        QTest::newRow("exactly the limit") << Response::file(patterned(kSmallLimit)) << kSmallLimit << "ok:1000000";
        QTest::newRow("exactly the limit, unannounced")
            << Response::generated(kSmallLimit, false) << kSmallLimit << "ok:1000000";
        QTest::newRow("one byte over") << Response::generated(kSmallLimit + 1) << kSmallLimit << "fileTooLarge:1000001";
        QTest::newRow("one byte over, unannounced")
            << Response::generated(kSmallLimit + 1, false) << kSmallLimit << "fileTooLarge:1000001";
        QTest::newRow("streams past the limit")
            << Response::generated(50'000'000, false) << kSmallLimit << "fileTooLarge:*";
        QTest::newRow("announces 200 MB")
            << Response::generated(209'715'200) << HubbleAPIClient::maxDownloadBytes << "fileTooLarge:209715200";
        QTest::newRow("closes early") << Response::truncated(5'000'000, 4'000'000) << HubbleAPIClient::maxDownloadBytes
                                      << "incompleteTransfer";
        QTest::newRow("reset early") <<
            [] {
                Response r = Response::truncated(5'000'000, 4'000'000);
                r.resetWhenDone = true;
                return r;
            }() << HubbleAPIClient::maxDownloadBytes
                                     << "incompleteTransfer"; // Qt reads a reset as an early close
        QTest::newRow("falls silent early")
            << Response::truncated(5'000'000, 4'000'000, false) << HubbleAPIClient::maxDownloadBytes << timeout;
        QTest::newRow("falls silent, unannounced") << [] {
            Response r = Response::truncated(5'000'000, 1'000'000, false);
            r.announceLength = false;
            return r;
        }() << HubbleAPIClient::maxDownloadBytes << timeout;
        QTest::newRow("404") << Response::withStatus(404) << kSmallLimit << "httpStatus:404";
        QTest::newRow("500") << Response::withStatus(500) << kSmallLimit << "httpStatus:500";
        QTest::newRow("never answers") << Response::stalled() << kSmallLimit << timeout;
        QTest::newRow("redirected") << Response::redirect("/archives/images/large/moved.jpg") << kSmallLimit
                                    << "ok:4096";
    }
    void downloads()
    {
        QFETCH(Response, response);
        QFETCH(qint64, limit);
        QFETCH(QString, expected);
        const QString path = QStringLiteral("/archives/images/large/heic0910a.jpg");
        m_server.setResponse(path, response);
        const QByteArray moved = patterned(4096);
        m_server.setResponse("/archives/images/large/moved.jpg", Response::file(moved));

        const auto out = wait(client(limit)->downloadImageFile(url(path), {}));
        if (!expected.startsWith("ok:")) {
            const QString got = describe(out.error);
            if (expected.endsWith('*'))
                QVERIFY2(got.startsWith(expected.chopped(1)), qPrintable(got));
            else
                QCOMPARE(got, expected);
            QCOMPARE(leftovers(), QStringList());
            return;
        }
        QCOMPARE(describe(out.error), QStringLiteral("ok"));
        QFile file(out.value->toLocalFile());
        QCOMPARE(QFileInfo(file).absolutePath(), QDir::tempPath());
        QCOMPARE(leftovers(), QStringList{QFileInfo(file).fileName()});
        QCOMPARE(QString::number(file.size()), expected.mid(3));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        if (!response.body.isEmpty()) QCOMPARE(bytes, response.body);
        for (qsizetype i = 0; response.generatedSize >= 0 && i < bytes.size(); ++i) {
            if (bytes[i] != char(i % 251))
                QFAIL(qPrintable(QStringLiteral("byte %1 differs from what was sent").arg(i)));
        }
        if (!response.location.isEmpty()) QCOMPARE(bytes, moved);
    }

    void streamingStopsAtTheLimit()
    {
        // The limit is enforced while bytes arrive, not after the fact.
        const QString path = QStringLiteral("/archives/images/large/heic0910a.jpg");
        m_server.setResponse(path, Response::generated(300'000'000, false));
        const auto out = wait(client(kSmallLimit)->downloadImageFile(url(path), {}));
        QVERIFY(describe(out.error).startsWith("fileTooLarge:"));
        QVERIFY(m_server.bytesSent(path) < 300'000'000);
    }

    void handedOverFilesAreDistinctAndPrivate()
    {
        const QString path = QStringLiteral("/archives/images/large/heic0910a.jpg");
        m_server.setResponse(path, Response::file(patterned(10'000)));
        const auto first = wait(client()->downloadImageFile(url(path), {}));
        const auto second = wait(client()->downloadImageFile(url(path), {}));
        QVERIFY(first.value && second.value);
        QVERIFY(*first.value != *second.value);
        const QRegularExpression name(
            QStringLiteral("^hubble-dl-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.tmp$"));
        for (const QUrl &file : {*first.value, *second.value}) {
            QVERIFY2(name.match(file.fileName()).hasMatch(), qPrintable(file.fileName()));
            const QFile::Permissions perms = QFile::permissions(file.toLocalFile());
            QVERIFY(!(perms & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther)));
        }
        QCOMPARE(leftovers().size(), 2);
    }

    void cancellingMidDownloadLeavesNothing()
    {
        const QString path = QStringLiteral("/archives/images/large/heic0910a.jpg");
        m_server.setResponse(path, Response::truncated(5'000'000, 2'000'000, false));
        std::stop_source stop;
        auto c = client(HubbleAPIClient::maxDownloadBytes,
                        ArchiveTimeouts{std::chrono::seconds(30), std::chrono::seconds(30)});
        auto out = std::make_shared<Outcome<QUrl>>();
        capture(c->downloadImageFile(url(path), stop.get_token()), out, c);
        // The part file may have no name while it is written (O_TMPFILE), so it is watched through
        // our open descriptors: cancel once it holds part of the body.
        QTRY_VERIFY_WITH_TIMEOUT(openTemporaryBytes() > 0, 20000);
        stop.request_stop();
        QTRY_VERIFY_WITH_TIMEOUT(out->done, 20000);
        QCOMPARE(describe(out->error), QStringLiteral("cancelled"));
        QCOMPARE(leftovers(), QStringList());
        QCOMPARE(openTemporaryBytes(), qint64(-1));
    }

    void cancellingAPageIsNoTransportError()
    {
        m_server.setResponse("/images/archive/wallpapers/", Response::stalled());
        std::stop_source stop;
        auto c = client(kSmallLimit, ArchiveTimeouts{std::chrono::seconds(30), std::chrono::seconds(30)});
        auto out = std::make_shared<Outcome<QList<HubbleImage>>>();
        capture(c->fetchCatalogPage(1, 16.0 / 9.0, stop.get_token()), out, c);
        QTRY_COMPARE_WITH_TIMEOUT(m_server.requestCount("/images/archive/wallpapers/"), 1, 20000);
        stop.request_stop();
        QTRY_VERIFY_WITH_TIMEOUT(out->done, 20000);
        QCOMPARE(describe(out->error), QStringLiteral("cancelled"));
    }

    void cancelledBeforeStartSendsNothing()
    {
        std::stop_source stop;
        stop.request_stop();
        const QString path = QStringLiteral("/archives/images/large/heic0910a.jpg");
        m_server.setResponse(path, Response::file(patterned(100)));
        const auto out = wait(client()->downloadImageFile(url(path), stop.get_token()));
        QCOMPARE(describe(out.error), QStringLiteral("cancelled"));
        QCOMPARE(m_server.requests().size(), 0);
        QCOMPARE(leftovers(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestHubbleAPIClient)
#include "tst_hubbleapiclient.moc"

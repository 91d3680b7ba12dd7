// SPDX-License-Identifier: GPL-3.0-or-later
#include "updatecontroller.h"

#include "async/cancellation.h"
#include "logging.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QPushButton>
#include <QXmlStreamReader>

namespace Starvane {

namespace {
constexpr qint64 kMaxFeedBytes = 4 * 1024 * 1024;
constexpr int kFeedTimeoutMs = 20000;
constexpr qint64 kReadBufferBytes = 256 * 1024;
/// Collects the feed while it arrives and stops the transfer as soon as it exceeds the cap: on the
/// announced length when the headers are in, else on the bytes received (progress signals are too
/// sparse to count on).
class CappedFeedReader
{
public:
    explicit CappedFeedReader(QNetworkReply *reply) : m_reply(reply)
    {
        QObject::connect(reply, &QNetworkReply::metaDataChanged, &m_context, [this] {
            const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
            if (length.isValid() && length.toLongLong() > kMaxFeedBytes)
                refuse();
        });
        QObject::connect(reply, &QNetworkReply::readyRead, &m_context, [this] { drain(); });
        // Without a bound, the network thread reads on at full speed while the abort waits its turn.
        reply->setReadBufferSize(kReadBufferBytes);
    }

    void drain()
    {
        if (!m_reply->isOpen())
            return;
        const QByteArray chunk = m_reply->readAll();
        if (m_tooLarge)
            return;
        m_bytes += chunk;
        if (m_bytes.size() > kMaxFeedBytes)
            refuse();
    }

    bool tooLarge() const { return m_tooLarge; }
    const QByteArray &bytes() const { return m_bytes; }

private:
    void refuse()
    {
        m_tooLarge = true;
        m_bytes.clear();
        // Posted: aborting inside the reply's own signal would re-enter it.
        QMetaObject::invokeMethod(m_reply, &QNetworkReply::abort, Qt::QueuedConnection);
    }

    QNetworkReply *m_reply;
    QByteArray m_bytes;
    bool m_tooLarge = false;
    QObject m_context; // declared last: its connections go first
};

const QString kSparkleNS = QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");

QString sparkleAttribute(const QXmlStreamAttributes &attrs, const QString &name)
{
    // Feeds write the namespace properly, or (often) only the "sparkle:" prefix.
    QString v = attrs.value(kSparkleNS, name).toString();
    if (v.isEmpty())
        v = attrs.value(QStringLiteral("sparkle:") + name).toString();
    return v;
}
} // namespace

std::optional<AppcastItem> parseAppcast(const QByteArray &xml)
{
    QXmlStreamReader reader(xml);
    std::optional<AppcastItem> best;
    bool inItem = false;
    AppcastItem item;
    QString itemVersion;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            const QStringView name = reader.name();
            if (name == QLatin1String("item")) {
                inItem = true;
                item = {};
                itemVersion.clear();
            } else if (inItem && name == QLatin1String("link") && reader.namespaceUri().isEmpty()) {
                item.releasePage = QUrl(reader.readElementText().trimmed(), QUrl::StrictMode);
            } else if (inItem && name == QLatin1String("title")) {
                item.title = reader.readElementText().trimmed();
            } else if (inItem && name == QLatin1String("version")) {
                itemVersion = reader.readElementText().trimmed();
            } else if (inItem && name == QLatin1String("shortVersionString")) {
                item.displayVersion = reader.readElementText().trimmed();
            } else if (inItem && name == QLatin1String("enclosure")) {
                const auto attrs = reader.attributes();
                item.downloadURL = QUrl(attrs.value(QStringLiteral("url")).toString(), QUrl::StrictMode);
                if (itemVersion.isEmpty())
                    itemVersion = sparkleAttribute(attrs, QStringLiteral("version"));
                if (item.displayVersion.isEmpty())
                    item.displayVersion = sparkleAttribute(attrs, QStringLiteral("shortVersionString"));
            }
        } else if (reader.isEndElement() && reader.name() == QLatin1String("item") && inItem) {
            inItem = false;
            item.version = QVersionNumber::fromString(itemVersion);
            if (item.displayVersion.isEmpty())
                item.displayVersion = itemVersion;
            // Without a page of its own, the release is best shown by its file.
            if (!item.releasePage.isValid() || item.releasePage.isRelative() ||
                !item.releasePage.scheme().startsWith(QLatin1String("http")))
                item.releasePage = item.downloadURL;
            if (!item.version.isNull() && item.downloadURL.isValid() && !item.downloadURL.isRelative() &&
                (!best || item.version > best->version))
                best = item;
        }
    }
    if (reader.hasError())
        return std::nullopt;
    return best;
}

UpdateController::UpdateController(QNetworkAccessManager *nam, QUrl feedURL, QVersionNumber currentVersion,
                                   QObject *parent)
    : QObject(parent), m_nam(nam), m_feedURL(std::move(feedURL)), m_currentVersion(std::move(currentVersion))
{
    m_isSupported = m_feedURL.isValid() && !m_feedURL.isRelative();
    m_canCheck = m_isSupported;
}

UpdateController *UpdateController::createForThisProcess(QNetworkAccessManager *nam, QObject *parent)
{
#ifdef STARVANE_UPDATE_FEED_URL
    const QUrl feed(QStringLiteral(STARVANE_UPDATE_FEED_URL));
#else
    const QUrl feed;
#endif
    return new UpdateController(nam, feed, QVersionNumber::fromString(QCoreApplication::applicationVersion()), parent);
}

void UpdateController::setCanCheck(bool value)
{
    if (m_canCheck == value)
        return;
    m_canCheck = value;
    Q_EMIT canCheckForUpdatesChanged();
}

void UpdateController::checkForUpdates()
{
    if (!m_isSupported || !m_canCheck)
        return;
    setCanCheck(false);
    spawn(runCheck(), QStringLiteral("update check"));
}

QCoro::Task<> UpdateController::runCheck()
{
    QPointer<UpdateController> self(this);
    QNetworkRequest request(m_feedURL);
    request.setTransferTimeout(kFeedTimeoutMs);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Starvane/%1 (Linux)").arg(m_currentVersion.toString()));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    std::unique_ptr<QNetworkReply, void (*)(QNetworkReply *)> reply(m_nam->get(request),
                                                                  [](QNetworkReply *r) { r->deleteLater(); });
    CappedFeedReader feed(reply.get());
    co_await awaitReply(reply.get(), {});
    if (!self)
        co_return;
    feed.drain();

    Result result{Outcome::failed, {}, {}};
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (feed.tooLarge()) {
        result.message = tr("Could not check for updates: the update feed is too large.");
    } else if (reply->error() != QNetworkReply::NoError && status == 0) {
        result.message = tr("Could not check for updates: %1").arg(reply->errorString());
    } else if (status != 200) {
        result.message = tr("Could not check for updates: the update server returned HTTP %1.").arg(status);
    } else if (const auto newest = parseAppcast(feed.bytes()); !newest) {
        result.message = tr("Could not check for updates: the update feed could not be read.");
    } else if (newest->version > m_currentVersion) {
        result = {Outcome::updateAvailable,
                  tr("Starvane %1 is available (you have %2).").arg(newest->displayVersion, m_currentVersion.toString()),
                  newest->releasePage};
    } else {
        result = {Outcome::upToDate, tr("Starvane %1 is up to date.").arg(m_currentVersion.toString()), {}};
    }
    qCInfo(lcUpdate).noquote() << result.message;
    setCanCheck(true);
    Q_EMIT checkFinished(result);
}

QMessageBox *makeUpdateResultBox(const UpdateController::Result &result, QWidget *parent)
{
    const bool failed = result.outcome == UpdateController::Outcome::failed;
    auto *box = new QMessageBox(failed ? QMessageBox::Warning : QMessageBox::Information, QStringLiteral("Starvane"),
                                result.message, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (result.outcome == UpdateController::Outcome::updateAvailable && result.releasePage.isValid()) {
        // The release page, not the file: whoever installed Starvane (a package manager, the user)
        // installs the new one too.
        QPushButton *download = box->addButton(UpdateController::tr("Download\u2026"), QMessageBox::AcceptRole);
        QObject::connect(download, &QPushButton::clicked, box,
                         [page = result.releasePage] { QDesktopServices::openUrl(page); });
        box->setDefaultButton(download);
    }
    return box;
}

} // namespace Starvane

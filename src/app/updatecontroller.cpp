// SPDX-License-Identifier: GPL-3.0-or-later
#include "updatecontroller.h"

#include "async/cancellation.h"
#include "logging.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QXmlStreamReader>

namespace Starvane {

namespace {
constexpr qint64 kMaxFeedBytes = 4 * 1024 * 1024;
constexpr int kFeedTimeoutMs = 20000;
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
            if (!item.version.isNull() && item.downloadURL.isValid() && !item.downloadURL.isRelative() &&
                (!best || item.version > best->version))
                best = item;
        }
    }
    if (reader.hasError())
        return std::nullopt;
    return best;
}

UpdateController::UpdateController(QNetworkAccessManager *nam, QString appImagePath, QUrl feedURL,
                                   QVersionNumber currentVersion, QObject *parent)
    : QObject(parent), m_nam(nam), m_feedURL(std::move(feedURL)), m_currentVersion(std::move(currentVersion))
{
    m_isSupported = appImagePath.endsWith(QLatin1String(".AppImage")) && m_feedURL.isValid() && !m_feedURL.isEmpty();
    m_canCheck = m_isSupported;
}

UpdateController *UpdateController::createForThisProcess(QNetworkAccessManager *nam, QObject *parent)
{
#ifdef STARVANE_UPDATE_FEED_URL
    const QUrl feed(QStringLiteral(STARVANE_UPDATE_FEED_URL));
#else
    const QUrl feed;
#endif
    return new UpdateController(nam, qEnvironmentVariable("APPIMAGE"), feed,
                                QVersionNumber::fromString(QCoreApplication::applicationVersion()), parent);
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
    co_await awaitReply(reply.get(), {});
    if (!self)
        co_return;

    Result result{Outcome::failed, {}, {}};
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray body = reply->read(kMaxFeedBytes + 1);
    if (reply->error() != QNetworkReply::NoError && status == 0) {
        result.message = QStringLiteral("Could not check for updates: %1").arg(reply->errorString());
    } else if (status != 200) {
        result.message = QStringLiteral("Could not check for updates: the update server returned HTTP %1.").arg(status);
    } else if (body.size() > kMaxFeedBytes) {
        result.message = QStringLiteral("Could not check for updates: the update feed is too large.");
    } else if (const auto newest = parseAppcast(body); !newest) {
        result.message = QStringLiteral("Could not check for updates: the update feed could not be read.");
    } else if (newest->version > m_currentVersion) {
        result = {Outcome::updateAvailable,
                  QStringLiteral("Starvane %1 is available (you have %2).").arg(newest->displayVersion, m_currentVersion.toString()),
                  newest->downloadURL};
    } else {
        result = {Outcome::upToDate, QStringLiteral("Starvane %1 is up to date.").arg(m_currentVersion.toString()), {}};
    }
    qCInfo(lcUpdate).noquote() << result.message;
    setCanCheck(true);
    Q_EMIT checkFinished(result);
}

} // namespace Starvane

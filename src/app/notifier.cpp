// SPDX-License-Identifier: GPL-3.0-or-later
#include "notifier.h"

#include "errortext.h"

#include "logging.h"
#include "models/errors.h"
#include "models/hubbleimage.h"
#include "store/picturelibrary.h"
#include "store/wallpaperhistory.h"
#include "store/wallpaperstore.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace Starvane {

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
constexpr int kTimeoutMs = 5000;
// A notification is read at a glance: a longer first sentence ends after a word, with "…".
constexpr qsizetype kMaxLeadLength = 200;

QString leadOf(const std::optional<QString> &description)
{
    if (!description) return {};
    const QString sentence = firstSentence(*description);
    if (sentence.size() <= kMaxLeadLength) return sentence;
    const qsizetype space = sentence.lastIndexOf(QLatin1Char(' '), kMaxLeadLength - 1);
    return sentence.left(space > 0 ? space : kMaxLeadLength - 1).trimmed() + QChar(0x2026);
}
} // namespace

Notifier::Notifier(WallpaperStore *store, QDBusConnection bus, QObject *parent)
    : QObject(parent), m_store(store), m_bus(std::move(bus))
{
    // Queued: the picture, its file and its hash change in one turn; read them once all are set.
    connect(store, &WallpaperStore::currentImageChanged, this, &Notifier::wallpaperChanged, Qt::QueuedConnection);
    connect(store, &WallpaperStore::automaticChangeFailed, this, &Notifier::automaticChangeFailed);
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                  SLOT(actionInvoked(uint, QString)));
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                  SLOT(notificationClosed(uint, uint)));
}

void Notifier::keepPicture(WallpaperStore &store, const QString &id)
{
    if (store.currentImage() && store.currentImage()->id == id) {
        store.keepCurrentWallpaper();
        return;
    }
    const QList<HistoryEntry> &entries = store.library().history().entries();
    for (int i = 0; i < entries.size(); ++i) {
        if (entries[i].id == id) {
            store.keepHistoryEntry(i);
            return;
        }
    }
}

void Notifier::wallpaperChanged()
{
    if (!m_store || !m_store->settings().notifyOnChange) return;
    const std::optional<HubbleImage> &image = m_store->currentImage();
    const std::optional<QUrl> &file = m_store->currentLocalFileURL();
    if (!image) return;
    QList<Action> actions{{QStringLiteral("next"), tr("Next"), [s = m_store] {
                               if (s) s->requestNextWallpaper();
                           }}};
    // The notification may be answered after later changes: keep the picture it showed, not the one on screen.
    if (!m_store->library().kept().isKept(image->id))
        actions.append({QStringLiteral("keep"), tr("Keep"), [s = m_store, id = image->id] {
                            if (s) keepPicture(*s, id);
                        }});
    // What the picture shows first, then whose it is.
    const QString lead = leadOf(image->description);
    const QString body = lead.isEmpty() ? image->credit : lead + QLatin1Char('\n') + image->credit;
    notify(image->title.trimmed(), body, file ? file->toLocalFile() : QString(), actions);
}

void Notifier::automaticChangeFailed(int failuresInARow, const QString &message)
{
    // Once per run of failures: the count starts again only after a change succeeds.
    if (failuresInARow != failuresBeforeNotice) return;
    Q_UNUSED(message);
    if (!m_store) return;
    notify(tr("Starvane could not change the wallpaper"), ErrorText::of(*m_store).joined(), QString(),
           {{QStringLiteral("retry"), tr("Retry"), [s = m_store] {
                 if (s) s->requestNextWallpaper();
             }}});
}

void Notifier::notify(const QString &summary, const QString &body, const QString &imagePath, QList<Action> actions)
{
    QStringList actionList;
    for (const Action &a : actions)
        actionList << a.key << a.label;
    QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("com.quorvex.Starvane")}};
    // The service scales the picture itself; the cached file is the one on screen.
    if (!imagePath.isEmpty()) hints.insert(QStringLiteral("image-path"), imagePath);
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << QStringLiteral("Starvane") << uint(0) << QStringLiteral("com.quorvex.Starvane") << summary << body
         << actionList << hints << int(-1);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, actions](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isError()) {
            qCDebug(lcApp).noquote() << "No notification shown:" << reply.error().message();
            return;
        }
        if (!actions.isEmpty()) m_shown.insert(reply.value(), actions);
    });
}

void Notifier::actionInvoked(uint id, const QString &key)
{
    const auto it = m_shown.constFind(id);
    if (it == m_shown.cend()) return; // another program's notification
    for (const Action &a : *it) {
        if (a.key == key && a.run) {
            qCInfo(lcApp).noquote() << QStringLiteral("Notification action %1").arg(key);
            a.run();
        }
    }
}

void Notifier::notificationClosed(uint id, uint)
{
    m_shown.remove(id);
}

} // namespace Starvane

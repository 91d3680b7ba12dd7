// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>

namespace Starvane {

class WallpaperStore;

/// Desktop notifications through the session's notification service: each new wallpaper when the user
/// asked for that, and one notice when automatic changes keep failing. Every call is asynchronous, so a
/// slow service never holds up a change, and a missing one costs nothing.
class Notifier : public QObject
{
    Q_OBJECT
public:
    /// A button of a notification: its key on the bus, its text and what it does.
    struct Action
    {
        QString key;
        QString label;
        std::function<void()> run;
    };
    /// Automatic changes that fail this many times in a row are announced, once.
    static constexpr int failuresBeforeNotice = 3;

    Notifier(WallpaperStore *store, QDBusConnection bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);

private Q_SLOTS:
    void actionInvoked(uint id, const QString &key);
    void notificationClosed(uint id, uint reason);

private:
    void wallpaperChanged();
    static void keepPicture(WallpaperStore &store, const QString &id);
    void automaticChangeFailed(int failuresInARow, const QString &message);
    void notify(const QString &summary, const QString &body, const QString &imagePath, QList<Action> actions);

    QPointer<WallpaperStore> m_store;
    QDBusConnection m_bus;
    // The buttons of each notification on screen, by the id the service gave it.
    QHash<uint, QList<Action>> m_shown;
};

} // namespace Starvane

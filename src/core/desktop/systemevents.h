// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDBusConnection>
#include <QObject>
#include <QTimer>
#include <memory>

class QLocalSocket;

namespace Starvane {

/// Wake from sleep and workspace switches, delivered as plain signals on the main thread.
class SystemEvents : public QObject
{
    Q_OBJECT
public:
    explicit SystemEvents(QObject *parent = nullptr);
    ~SystemEvents() override;

    /// Everything the live session offers: logind on the system bus, EWMH on X11, sway's IPC.
    void start();

    /// Listens for logind's PrepareForSleep(false). Only the owner of org.freedesktop.login1 is heard.
    void watchWake(QDBusConnection systemBus);
    /// Listens for _NET_CURRENT_DESKTOP changes on the root window. False when Qt is not on X11.
    bool watchX11Workspaces();
    /// Subscribes to sway's workspace events on `socketPath`.
    void watchSwayWorkspaces(const QString &socketPath);

    /// Coalesces a burst of workspace events into one delivery.
    static constexpr int workspaceSettleMs = 300;

Q_SIGNALS:
    void systemDidWake();
    void activeWorkspaceChanged();

private Q_SLOTS:
    void onPrepareForSleep(bool sleeping);
    void onLogindRegistered();

private:
    class X11Filter;
    friend class X11Filter;
    void noteWorkspaceChange();
    void subscribeToLogind();
    void readSway();

    QDBusConnection m_systemBus;
    bool m_logindSubscribed = false;
    std::unique_ptr<X11Filter> m_x11Filter;
    QLocalSocket *m_sway = nullptr;
    QByteArray m_swayBuffer;
    QTimer m_workspaceSettle;
};

/// Opens the file manager with `file` selected; falls back to opening its folder.
void revealInFileManager(const QUrl &file, QDBusConnection bus = QDBusConnection::sessionBus());

} // namespace Starvane

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <functional>

namespace Starvane {

class WallpaperStore;

inline const QString kServiceName = QStringLiteral("com.quorvex.Starvane");
inline const QString kControlPath = QStringLiteral("/com/quorvex/Starvane");
inline const QString kControlInterface = QStringLiteral("com.quorvex.Starvane.Control");

/// The session-bus face of the running instance: what `starvane next|pause|resume|status` and a second
/// launch talk to. Every call only forwards to the store's own operations.
class ControlService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.quorvex.Starvane.Control")

public:
    ControlService(WallpaperStore *store, std::function<void()> showWindow, QObject *parent = nullptr);

    /// Claims the bus name and exports the object. False when another instance owns the name (or
    /// there is no session bus); `error` then says which.
    bool registerOnSessionBus(QString *error);

    /// The human-readable state the `status` command prints.
    static QString statusText(const WallpaperStore &store);

public Q_SLOTS:
    Q_SCRIPTABLE void Next();
    Q_SCRIPTABLE void Pause();
    Q_SCRIPTABLE void Resume();
    Q_SCRIPTABLE void TogglePause();
    Q_SCRIPTABLE QString Status();
    Q_SCRIPTABLE void ShowWindow();
    Q_SCRIPTABLE void Quit();

private:
    WallpaperStore *m_store;
    std::function<void()> m_showWindow;
};

} // namespace Starvane

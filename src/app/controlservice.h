// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "identity.h"
#include "models/appsettings.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace Starvane {

class WallpaperStore;

// The bus name is the application id, as the desktop entry's name is.
inline const QString kServiceName = kDesktopFileId;
inline const QString kControlPath = QStringLiteral("/com/quorvex/Starvane");
inline const QString kControlInterface = kServiceName + QStringLiteral(".Control");

/// The words scripts use for the two choices: manual|5m|15m|hourly|daily and all|main.
QString frequencyWord(ChangeFrequency frequency);
std::optional<ChangeFrequency> frequencyFromWord(const QString &word);
QString displaysWord(DisplayScope scope);
std::optional<DisplayScope> displaysFromWord(const QString &word);

/// The session-bus face of the running instance: what the `starvane` sub-commands and a second launch
/// talk to. Every call only forwards to the store's own operations.
class ControlService : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.quorvex.Starvane.Control")

public:
    enum class Registration { registered, anotherInstanceRuns, failed };

    ControlService(WallpaperStore *store, std::function<void()> showWindow, QObject *parent = nullptr);

    /// Exports the control object on `bus`, then claims the name. Only a name owned by another
    /// connection means another instance; any other failure (no bus, export refused, name refused) is
    /// `failed`. `error` says what happened whenever the result is not `registered`.
    Registration registerOn(QDBusConnection bus, QString *error);

    /// The human-readable state the `status` command prints.
    static QString statusText(const WallpaperStore &store);
    /// The machine-readable state `status --json` prints; its keys and words are stable.
    static QJsonObject statusJson(const WallpaperStore &store);
    /// The history as `history --json` prints it: the entries of the history file, newest first, each
    /// with "kept" and "banned".
    static QJsonObject historyJson(const WallpaperStore &store);
    /// Every connected display: name, key, geometry, and the picture it shows.
    static QJsonArray screensJson(const WallpaperStore &store);

public Q_SLOTS:
    Q_SCRIPTABLE void Next();
    Q_SCRIPTABLE void Previous();
    /// Returns the kept file.
    Q_SCRIPTABLE QString Keep();
    Q_SCRIPTABLE void Unkeep();
    Q_SCRIPTABLE void NeverAgain();
    Q_SCRIPTABLE QString HistoryJson();
    Q_SCRIPTABLE void Pause();
    Q_SCRIPTABLE void Resume();
    Q_SCRIPTABLE void TogglePause();
    Q_SCRIPTABLE QString Status();
    Q_SCRIPTABLE QString StatusJson();
    Q_SCRIPTABLE void SetFrequency(const QString &word);
    Q_SCRIPTABLE void SetDisplays(const QString &word);
    Q_SCRIPTABLE void SetLockScreen(const QString &word);
    Q_SCRIPTABLE void ShowWindow();
    Q_SCRIPTABLE void Quit();
#ifdef STARVANE_TEST_HOOKS
    /// Test builds only: the live menus and actions as JSON, {"menus": n, "actions": m}.
    Q_SCRIPTABLE QString LiveMenuObjects();
#endif

private:
    void refuse(const QString &message);
    void fail(const QString &message);

    WallpaperStore *m_store;
    std::function<void()> m_showWindow;
};

} // namespace Starvane

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "statusreport.h"

#include "identity.h"
#include "models/appsettings.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>

namespace Starvane {

class PropertiesAnnouncer;
class WallpaperStore;

// The bus name is the application id, as the desktop entry's name is.
inline const QString kServiceName = kDesktopFileId;
inline const QString kControlPath = QStringLiteral("/com/quorvex/Starvane");
inline const QString kControlInterface = kServiceName + QStringLiteral(".Control");
/// The instance understood the request and will not do it (nothing to go back to, no lock screen).
inline const QString kErrorRefused = kServiceName + QStringLiteral(".Error.Refused");
/// The request is already met or means nothing now (pausing in manual mode).
inline const QString kErrorNothingToDo = kServiceName + QStringLiteral(".Error.NothingToDo");
/// The request names something that does not exist (an entry past the end, an unknown id, a bad word).
inline const QString kErrorInvalidArgument = kServiceName + QStringLiteral(".Error.InvalidArgument");
/// The context in which the reasons of those errors are translated: they travel in English, and each
/// caller reads them in its own language.
inline constexpr char kReasonContext[] = "Starvane::ControlService";


/// The session-bus face of the running instance: what the `starvane` sub-commands, a second launch and
/// panel widgets talk to. Every call only forwards to the store's own operations. The properties hold
/// what `status --json` holds, in its words (empty strings for none), and each change is announced with
/// org.freedesktop.DBus.Properties.PropertiesChanged. The interface is described in
/// com.quorvex.Starvane.Control.xml beside this file.
class ControlService : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.quorvex.Starvane.Control")
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Credit READ credit)
    Q_PROPERTY(QString Description READ description)
    Q_PROPERTY(QString File READ file)
    Q_PROPERTY(bool Paused READ paused)
    Q_PROPERTY(QString Frequency READ frequency)
    Q_PROPERTY(QString Displays READ displays)
    Q_PROPERTY(QString NextChange READ nextChange)
    Q_PROPERTY(bool Loading READ loading)
    Q_PROPERTY(QString Error READ error)

public:
    enum class Registration { registered, anotherInstanceRuns, failed };

    ControlService(WallpaperStore *store, std::function<void()> showWindow, QObject *parent = nullptr);

    /// Exports the control object on `bus`, then claims the name. Only a name owned by another
    /// connection means another instance; any other failure (no bus, export refused, name refused) is
    /// `failed`. `error` says what happened whenever the result is not `registered`.
    Registration registerOn(QDBusConnection bus, QString *error);


public Q_SLOTS:
    Q_SCRIPTABLE void Next();
    Q_SCRIPTABLE void Previous();
    /// Returns the kept file.
    Q_SCRIPTABLE QString Keep();
    Q_SCRIPTABLE void Unkeep();
    Q_SCRIPTABLE void NeverAgain();
    /// The same for the display called `display` (as "screens"[].name of the status names it).
    Q_SCRIPTABLE QString KeepOn(const QString &display);
    Q_SCRIPTABLE void NeverAgainOn(const QString &display);
    Q_SCRIPTABLE QString HistoryJson();
    Q_SCRIPTABLE void Pause();
    Q_SCRIPTABLE void Resume();
    Q_SCRIPTABLE void TogglePause();
    Q_SCRIPTABLE QString Status();
    Q_SCRIPTABLE QString StatusJson();
    Q_SCRIPTABLE void SetFrequency(const QString &word);
    Q_SCRIPTABLE void SetDisplays(const QString &word);
    Q_SCRIPTABLE void SetLockScreen(const QString &word);
    /// `index` counts from 0, the newest entry of HistoryJson.
    Q_SCRIPTABLE void ShowHistoryEntry(int index);
    /// The newest history entry of that picture.
    Q_SCRIPTABLE void ShowHistoryPicture(const QString &id);
    Q_SCRIPTABLE void AllowAgain(const QString &id);
    Q_SCRIPTABLE void SetOnlyKept(bool enabled);
    Q_SCRIPTABLE void SetSaveData(bool enabled);
    Q_SCRIPTABLE void SetShowCaption(bool enabled);
    Q_SCRIPTABLE void SetDimInDarkStyle(bool enabled);
    Q_SCRIPTABLE void SetDownloadOnMetered(bool enabled);
    Q_SCRIPTABLE void SetNotifyOnChange(bool enabled);
    Q_SCRIPTABLE void ShowWindow();
    Q_SCRIPTABLE void Quit();
#ifdef STARVANE_TEST_HOOKS
    /// Test builds only: the live menus and actions as JSON, {"menus": n, "actions": m}.
    Q_SCRIPTABLE QString LiveMenuObjects();
#endif

private:
    QString id() const;
    QString title() const;
    QString credit() const;
    QString description() const;
    QString file() const;
    bool paused() const;
    QString frequency() const;
    QString displays() const;
    QString nextChange() const;
    bool loading() const;
    QString error() const;

    /// Answers a call from the bus with `errorName` and `reason`, an English text of kReasonContext.
    void reply(const QString &errorName, const char *reason);
    void reply(const QString &errorName, const QString &reason);

    WallpaperStore *m_store;
    std::function<void()> m_showWindow;
    PropertiesAnnouncer *m_announcer;
};

} // namespace Starvane

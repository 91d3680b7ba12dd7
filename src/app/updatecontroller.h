// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QVersionNumber>
#include <optional>
#include <stop_token>

class QNetworkAccessManager;

namespace Starvane {

/// One release announced by an appcast.
struct AppcastItem
{
    QVersionNumber version;
    QString displayVersion;
    QUrl downloadURL;
    QString title;
};

/// The newest release in an RSS 2.0 appcast (items with an enclosure and a version), or absent when the
/// feed is malformed or lists none.
std::optional<AppcastItem> parseAppcast(const QByteArray &xml);

/// Checks for new releases. Only an AppImage updates itself: everywhere else a package manager owns
/// the installation, and the controller stays unsupported (no tray item, a disabled menu command).
class UpdateController : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)

public:
    enum class Outcome { updateAvailable, upToDate, failed };
    struct Result
    {
        Outcome outcome;
        QString message;
        QUrl downloadURL;
    };

    /// `appImagePath` is $APPIMAGE; `feedURL` the build's embedded appcast address.
    UpdateController(QNetworkAccessManager *nam, QString appImagePath, QUrl feedURL, QVersionNumber currentVersion,
                     QObject *parent = nullptr);
    /// From the environment and the build's configuration.
    static UpdateController *createForThisProcess(QNetworkAccessManager *nam, QObject *parent);

    bool isSupported() const { return m_isSupported; }
    bool canCheckForUpdates() const { return m_canCheck; }

    /// Starts a user-initiated check; the outcome arrives through checkFinished. Ignored while one runs
    /// or when unsupported.
    void checkForUpdates();

Q_SIGNALS:
    void canCheckForUpdatesChanged();
    void checkFinished(const Starvane::UpdateController::Result &result);

private:
    QCoro::Task<> runCheck();
    void setCanCheck(bool value);

    QNetworkAccessManager *m_nam;
    QUrl m_feedURL;
    QVersionNumber m_currentVersion;
    bool m_isSupported = false;
    bool m_canCheck = false;
};

} // namespace Starvane

Q_DECLARE_METATYPE(Starvane::UpdateController::Result)

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QVersionNumber>
#include <optional>
#include <stop_token>

class QMessageBox;
class QNetworkAccessManager;
class QWidget;

namespace Starvane {

/// One release announced by an appcast.
struct AppcastItem
{
    QVersionNumber version;
    QString displayVersion;
    QUrl downloadURL;
    /// The item's own page (its RSS link), where a person reads about the release and downloads it.
    QUrl releasePage;
    QString title;
};

/// The newest release in an RSS 2.0 appcast (items with an enclosure and a version), or absent when the
/// feed is malformed or lists none.
std::optional<AppcastItem> parseAppcast(const QByteArray &xml);

/// Checks an appcast for new releases and points the user to the release page. It never installs
/// anything: a package manager or the user owns the installation. Builds without a feed stay
/// unsupported (no tray item, a disabled menu command).
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
        /// Where "Download…" leads when a newer release exists.
        QUrl releasePage;
    };

    /// `feedURL` is the build's embedded appcast address; empty when the build names none.
    UpdateController(QNetworkAccessManager *nam, QUrl feedURL, QVersionNumber currentVersion,
                     QObject *parent = nullptr);
    /// From the build's configuration.
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

/// The message that reports a check's outcome; a newer release adds "Download…", which opens its page.
QMessageBox *makeUpdateResultBox(const UpdateController::Result &result, QWidget *parent);

} // namespace Starvane

Q_DECLARE_METATYPE(Starvane::UpdateController::Result)

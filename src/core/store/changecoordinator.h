// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "changerequest.h"
#include "fetchpipeline.h"
#include "storelimits.h"

#include <QCoroTask>
#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QUuid>
#include <chrono>
#include <coroutine>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

class QTimer;

namespace Starvane {

class CatalogPool;
class KeyValueStore;
class NetworkStatus;
class PictureLibrary;
class RotationSchedule;
class ScreenState;
class StoreSettings;

/// Why automatic changes are held back by the connection.
enum class NetworkHold {
    none,
    /// The system reports no connection: changes wait for one.
    offline,
    /// Metered, and downloads are not allowed there: saved pictures rotate instead.
    meteredSaved,
    /// Metered, downloads not allowed, and no saved picture left to show: changes wait.
    meteredWaiting,
};

/// The one road every change of what the displays show goes: it makes each change a ChangeRequest from
/// the state at the moment it starts, hands it to the pipeline, and alone commits what came back (the
/// screen state, the history, the pool's memory, the schedule, the persisted state, the lock screen).
/// One change at a time: a second picture change while one is pending or running is dropped; putting
/// the picture on screen back (a scope change, a workspace switch, the lock screen) waits its turn and
/// is made from what is on screen when it runs. Main thread only.
class ChangeCoordinator : public QObject
{
    Q_OBJECT
public:
    struct Parts
    {
        StoreSettings *settings;
        ScreenState *screen;
        PictureLibrary *library;
        CatalogPool *pool;
        RotationSchedule *schedule;
        FetchPipeline *pipeline;
        FetchPipeline::Services services;
        std::shared_ptr<NetworkStatus> network;
        std::shared_ptr<KeyValueStore> defaults;
    };
    /// What a change waits for while the connection holds it back.
    enum class Waiting { nothing, automaticChange, requestedChange, retry };
    /// Awaits the end of one change (however it ends); ready at once for no change.
    class Ending;

    ChangeCoordinator(Parts parts, StoreLimits limits, std::chrono::milliseconds networkSettleDelay,
                      QObject *parent = nullptr);
    ~ChangeCoordinator() override;

    /// True while a picture change runs (not while it is only pending).
    bool isLoading() const { return m_isLoading; }
    /// A picture change is pending or running.
    bool isActive() const;
    const std::optional<ChangeError> &error() const { return m_error; }
    /// The last automatic change failed and is retried at the schedule's date.
    bool isRetryScheduled() const;
    NetworkHold networkHold() const { return m_hold; }
    /// The end of the change now pending or running (a later one does not count).
    Ending activeChangeEnding() const;

    /// A new picture (or the next kept one), as the user or the schedule ask; the connection may make it wait.
    /// In "each display" mode only `displayKeys` change when given.
    void requestPictureChange(bool isAutomatic, const QStringList &displayKeys = {});
    /// Each display back to its picture before; false when no display has one or a change runs.
    bool requestPrevious();
    bool canShowPrevious() const;
    /// Shows the history entry at `index` again; false when it cannot be shown or a change runs.
    bool requestHistoryEntry(int index);
    /// Bans what `displayKey` shows (the main display's picture for an empty key) and changes it at once.
    void neverAgain(const QString &displayKey);
    /// Puts the picture on screen back in turn: the scope's displays after a scope change, a workspace
    /// that shows another one, displays that appeared (and pictures for those without), the lock screen.
    void putBack(ChangeKind kind);

    /// Cancels the pending or running change at once: it ends quietly and a new one may start.
    void cancel();
    /// Cancels the change only if the schedule started it: a change the user asked for always finishes.
    void cancelAutomaticFetchIfRunning();
    /// Nothing starts after a stop, not even a change that waited for the network.
    void stop();
    /// A failure outside a change (keeping a picture) shown like one.
    void showError(const ChangeError &error) { setError(error); }
    /// Writes everything the schedule restores at launch.
    void persistState() const;
    /// The connection or the settings about it may have changed.
    void networkChanged();
    /// The desktop's colour scheme is dark (or no longer): a dimmed wallpaper follows it.
    void setDarkStyle(bool dark);
    bool isDarkStyle() const { return m_darkStyle; }

Q_SIGNALS:
    void isLoadingChanged();
    void errorChanged();
    void networkHoldChanged();
    /// Automatic changes failed this many times in a row while online; emitted for each failure.
    void automaticChangeFailed(int failuresInARow, const QString &message);
    /// A picture change ended, however it ended.
    void changeEnded();

private:
    struct Completion
    {
        bool ended = false;
        std::vector<std::coroutine_handle<>> waiters;
    };
    struct Running
    {
        QUuid id;
        ChangeRequest request;
        std::stop_source stop;
        std::shared_ptr<Completion> completion;
    };

    // The road.
    bool start(ChangeRequest request);
    QCoro::Task<> run(QUuid id, std::stop_token st, std::shared_ptr<Completion> done);
    void finish(QUuid id);
    void startFollowUps();
    static void complete(const std::shared_ptr<Completion> &done);
    void setLoading(bool value);
    void setError(std::optional<ChangeError> error);

    // Requests, made from the state now.
    ChangeRequest baseRequest(ChangeKind kind, bool isAutomatic) const;
    std::optional<ChangeRequest> putBackRequest(ChangeKind kind) const;
    std::optional<ChangeRequest> keptRequest(bool isAutomatic) const;
    QList<DisplayTarget> connectedDisplays() const;
    bool eachDisplay() const;
    PlacedPicture historyTarget(int index, const DisplayTarget &display) const;

    // Commits.
    void commit(const ChangeRequest &request, const ChangeResult &result);
    void reportFailure(const ChangeRequest &request, const ChangeError &error);

    // The connection.
    bool downloadsHeldBack() const;
    void startSavedPicture();
    void resumeAfterNetworkReturned();
    void updateHold();

    Parts m_parts;
    StoreLimits m_limits;
    std::optional<Running> m_running;
    QList<ChangeKind> m_followUps;
    bool m_isLoading = false;
    std::optional<ChangeError> m_error;
    int m_automaticFailuresInARow = 0;

    Waiting m_waiting = Waiting::nothing;
    NetworkHold m_hold = NetworkHold::none;
    bool m_nothingSavedToShow = false;
    bool m_wasOnline = true;
    bool m_downloadsWereHeld = false;
    bool m_darkStyle = false;
    QTimer *m_networkSettle;
};

class ChangeCoordinator::Ending
{
public:
    explicit Ending(std::shared_ptr<Completion> done) : m_done(std::move(done)) {}
    bool await_ready() const noexcept { return !m_done || m_done->ended; }
    void await_suspend(std::coroutine_handle<> awaiting) { m_done->waiters.push_back(awaiting); }
    void await_resume() const noexcept {}

private:
    std::shared_ptr<Completion> m_done;
};

} // namespace Starvane

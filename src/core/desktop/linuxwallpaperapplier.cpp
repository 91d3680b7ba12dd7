// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/linuxwallpaperapplier.h"

#include "async/cancellation.h"
#include "desktop/dbuscall.h"
#include "logging.h"
#include "models/errors.h"
#include "models/fileurls.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

namespace Starvane {

namespace {
constexpr double defaultAspectRatio = 16.0 / 9.0;
constexpr double minimumAspectRatio = 1.1;
constexpr double maximumAspectRatio = 2.6;

DisplayTarget targetFor(const QScreen *screen, bool primary)
{
    const QRect logical = screen->geometry();
    const qreal ratio = screen->devicePixelRatio();
    const QRect device(qRound(logical.x() * ratio), qRound(logical.y() * ratio), qRound(logical.width() * ratio),
                       qRound(logical.height() * ratio));
    return {screen->name(), logical, device, primary};
}

struct RestoreRecord
{
    DisplayTarget display;
    DesktopPicture previous;
};
} // namespace

QList<DisplayTarget> connectedDisplays()
{
    QList<DisplayTarget> result;
    // Only a GUI application knows the screens (a console tool or test may run without one).
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())) return result;
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (primary) result.append(targetFor(primary, true));
    const auto screens = QGuiApplication::screens();
    for (const QScreen *screen : screens) {
        if (screen != primary) result.append(targetFor(screen, false));
    }
    return result;
}

LinuxWallpaperApplier::LinuxWallpaperApplier(std::unique_ptr<DesktopBackend> backend, DisplaySource displays)
    : m_backend(std::move(backend)), m_displays(std::move(displays))
{
    m_turnEnded->setSingleShot(true);
}

QList<DisplayTarget> LinuxWallpaperApplier::displays(DisplayScope scope) const
{
    QList<DisplayTarget> all = m_displays();
    if (scope == DisplayScope::mainDisplay && all.size() > 1) all.resize(1);
    return all;
}

QCoro::Task<> LinuxWallpaperApplier::prepareWallpaper(QUrl file, DisplayScope scope, std::stop_token st)
{
    const auto render = m_backend->renderer();
    const QString path = file.isLocalFile() ? QDir::cleanPath(file.toLocalFile()) : QString();
    if (!render || path.isEmpty()) co_return;
    const QList<DisplayTarget> targets = displays(scope);
    auto work = [render, path, targets] {
        QList<QImage> images;
        for (const DisplayTarget &display : targets)
            images << render(path, display);
        return images;
    };
    // The caller keeps this applier alive across the wait (it holds a shared pointer).
    const QList<QImage> images = co_await runInBackground(std::move(work));
    throwIfCancelled(st);
    for (qsizetype i = 0; i < targets.size(); ++i)
        m_backend->adoptRendered(path, targets[i], images[i]);
}

QCoro::Task<> LinuxWallpaperApplier::waitForTurnChange(std::stop_token st)
{
    // The long limit only bounds one wait; the caller looks again and waits on.
    co_await nextSignal(m_turnEnded.get(), &QTimer::timeout, std::chrono::minutes(1), st);
}

void LinuxWallpaperApplier::endTurn(const std::shared_ptr<Turn> &turn)
{
    turn->ended = true;
    m_turns.remove(turn);
    m_turnEnded->start(0);
}

/// Gives the turn back however the apply ends, exceptions included.
class LinuxWallpaperApplier::TurnHolder
{
public:
    TurnHolder(LinuxWallpaperApplier *applier, std::shared_ptr<Turn> turn) : m_applier(applier), m_turn(std::move(turn))
    {
    }
    ~TurnHolder() { m_applier->endTurn(m_turn); }
    TurnHolder(const TurnHolder &) = delete;
    TurnHolder &operator=(const TurnHolder &) = delete;

private:
    LinuxWallpaperApplier *m_applier;
    std::shared_ptr<Turn> m_turn;
};

QCoro::Task<> LinuxWallpaperApplier::applyWallpaper(QUrl file, DisplayScope scope, std::stop_token st)
{
    throwIfCancelled(st);
    // The same picture for the same displays already waiting its turn (workspace switches while a slow
    // desktop is busy ask for it again and again): share that apply instead of queueing another.
    for (;;) {
        std::shared_ptr<Turn> twin;
        for (const std::shared_ptr<Turn> &turn : m_turns) {
            if (!turn->started && turn->file == file && turn->scope == scope) twin = turn;
        }
        if (!twin) break;
        while (!twin->ended)
            co_await waitForTurnChange(st);
        if (twin->cancelled) continue; // its requester gave up: ask on our own account
        if (twin->error) std::rethrow_exception(twin->error);
        co_return;
    }

    auto turn = std::make_shared<Turn>();
    turn->file = file;
    turn->scope = scope;
    m_turns.push_back(turn);
    TurnHolder holder(this, turn);
    try {
        while (m_turns.front() != turn)
            co_await waitForTurnChange(st);
        turn->started = true;
        co_await showNow(file, scope, st);
    } catch (const CancelledError &) {
        turn->cancelled = true;
        throw;
    } catch (...) {
        turn->error = std::current_exception();
        throw;
    }
}

QCoro::Task<> LinuxWallpaperApplier::showNow(QUrl file, DisplayScope scope, std::stop_token st)
{
    // Several desktops accept a path to nothing and keep the old picture while reporting success, so
    // the check has to happen here, before any of them runs.
    const QString path = file.isLocalFile() ? QDir::cleanPath(file.toLocalFile()) : QString();
    if (path.isEmpty() || !QFileInfo(path).isFile()) throw WallpaperApplyError::fileMissing(file);

    const QList<DisplayTarget> all = m_displays();
    const QList<DisplayTarget> targets = displays(scope);
    if (targets.isEmpty()) throw WallpaperApplyError::noDisplaysFound();

    const DesktopPicture picture{path, {}};
    if (!m_backend->perDisplay()) {
        // One picture for every display: "main display" cannot be honoured alone, the interface says so.
        throwIfCancelled(st);
        try {
            co_await m_backend->showPicture(targets.first(), picture, all);
        } catch (const DesktopBackendError &e) {
            qCWarning(lcDesktop) << "Desktop refused the picture:" << e.text();
            throw WallpaperApplyError::displayUpdateFailed(e.text());
        }
        qCInfo(lcDesktop).noquote() << "Set" << path << "on" << m_backend->desktopName();
        co_return;
    }

    QList<RestoreRecord> restore;
    std::optional<QString> refusal;
    bool changedAny = false;
    for (const DisplayTarget &display : std::as_const(targets)) {
        const std::optional<DesktopPicture> previous = co_await m_backend->shownPicture(display);
        // Once one display has changed, the others follow: a half-changed desktop helps nobody.
        if (!changedAny) throwIfCancelled(st);
        changedAny = true;
        try {
            co_await m_backend->showPicture(display, picture, all);
        } catch (const DesktopBackendError &e) {
            qCWarning(lcDesktop).noquote() << "Display" << display.name << "refused the picture:" << e.text();
            refusal = e.text();
        }
        if (refusal) break;
        if (previous) restore.append({display, *previous});
    }
    if (refusal) {
        // Put back what this call already changed (no co_await inside a catch handler).
        for (const RestoreRecord &record : std::as_const(restore)) {
            try {
                co_await m_backend->showPicture(record.display, record.previous, all);
            } catch (const DesktopBackendError &undo) {
                qCWarning(lcDesktop).noquote()
                    << "Could not put back the picture of" << record.display.name << undo.text();
            }
        }
        throw WallpaperApplyError::displayUpdateFailed(*refusal);
    }
    qCInfo(lcDesktop).noquote() << "Set" << path << "on" << targets.size() << "display(s) of"
                                << m_backend->desktopName();
}

QCoro::Task<std::optional<QUrl>> LinuxWallpaperApplier::shownURL(DisplayTarget display)
{
    const std::optional<DesktopPicture> shown = co_await m_backend->shownPicture(display);
    if (!shown || shown->path.isEmpty()) co_return std::nullopt;
    co_return standardizedFileURL(QUrl::fromLocalFile(shown->path));
}

QCoro::Task<QList<std::optional<QUrl>>> LinuxWallpaperApplier::desktopImageURLs(DisplayScope scope)
{
    return shownURLs(scope);
}

QCoro::Task<QList<std::optional<QUrl>>> LinuxWallpaperApplier::shownURLs(DisplayScope scope)
{
    QList<std::optional<QUrl>> result;
    const QList<DisplayTarget> targets = displays(scope);
    if (!m_backend->perDisplay() && !targets.isEmpty()) {
        const std::optional<QUrl> shared = co_await shownURL(targets.first());
        for (qsizetype i = 0; i < targets.size(); ++i)
            result.append(shared);
        co_return result;
    }
    for (const DisplayTarget &display : targets) {
        const std::optional<QUrl> url = co_await shownURL(display);
        result.append(url);
    }
    co_return result;
}

QCoro::Task<QSet<QUrl>> LinuxWallpaperApplier::currentDesktopImageURLs()
{
    QSet<QUrl> result;
    const QList<std::optional<QUrl>> urls = co_await shownURLs(DisplayScope::allDisplays);
    for (const std::optional<QUrl> &url : urls) {
        if (url) result.insert(*url);
    }
    co_return result;
}

double LinuxWallpaperApplier::primaryDisplayAspectRatio()
{
    const QList<DisplayTarget> all = m_displays();
    if (all.isEmpty() || all.first().geometry.height() <= 0) return defaultAspectRatio;
    const double ratio = double(all.first().geometry.width()) / double(all.first().geometry.height());
    return std::clamp(ratio, minimumAspectRatio, maximumAspectRatio);
}

QSize LinuxWallpaperApplier::largestDisplayPixelSize()
{
    QSize largest;
    for (const DisplayTarget &display : m_displays()) {
        const QSize size = display.devicePixelGeometry.size();
        if (qint64(size.width()) * size.height() > qint64(largest.width()) * largest.height()) largest = size;
    }
    return largest;
}

bool LinuxWallpaperApplier::supportsPerDisplayWallpaper() const
{
    return m_backend->perDisplay();
}

} // namespace Starvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/linuxwallpaperapplier.h"

#include "async/cancellation.h"
#include "desktop/dbuscall.h"
#include "desktop/x11rootbackend.h"
#include "integrity/derivedwallpaper.h"
#include "logging.h"
#include "models/errors.h"
#include "models/fileurls.h"

#include <QFileInfo>

namespace Starvane {

namespace {
struct RestoreRecord
{
    DisplayTarget display;
    DesktopPicture previous;
};

/// Sets each display's picture in turn; when one refuses, puts back what this call already changed.
QCoro::Task<> showOneByOne(DesktopBackend &backend, QList<std::pair<DisplayTarget, DesktopPicture>> changes,
                           QList<DisplayTarget> all, std::stop_token st)
{
    QList<RestoreRecord> restore;
    std::optional<QString> refusal;
    bool changedAny = false;
    for (const auto &[display, picture] : std::as_const(changes)) {
        const std::optional<DesktopPicture> previous = co_await backend.shownPicture(display);
        // Once one display has changed, the others follow: a half-changed desktop helps nobody.
        if (!changedAny) throwIfCancelled(st);
        changedAny = true;
        try {
            co_await backend.showPicture(display, picture, all);
        } catch (const DesktopBackendError &e) {
            qCWarning(lcDesktop).noquote() << "Display" << display.name << "refused the picture:" << e.text();
            refusal = e.text();
        }
        if (refusal) break;
        if (previous) restore.append({display, *previous});
    }
    if (!refusal) co_return;
    // Put back what this call already changed (no co_await inside a catch handler).
    for (const RestoreRecord &record : std::as_const(restore)) {
        try {
            co_await backend.showPicture(record.display, record.previous, all);
        } catch (const DesktopBackendError &undo) {
            qCWarning(lcDesktop).noquote() << "Could not put back the picture of" << record.display.name << undo.text();
        }
    }
    throw WallpaperApplyError::displayUpdateFailed(*refusal);
}
} // namespace

QCoro::Task<> DesktopBackend::showLockScreenPicture(QString)
{
    throw DesktopBackendError(QStringLiteral("this desktop has no lock screen picture to set"));
    co_return;
}

LinuxWallpaperApplier::LinuxWallpaperApplier(std::unique_ptr<DesktopBackend> backend, DisplaySource displays)
    : m_backend(std::move(backend)), m_displays(std::move(displays))
{
    m_turnEnded->setSingleShot(true);
}

QCoro::Task<> LinuxWallpaperApplier::prepareWallpaper(QUrl file, DisplayScope scope, std::stop_token st)
{
    const auto render = m_backend->renderer();
    const QString path = file.isLocalFile() ? QDir::cleanPath(file.toLocalFile()) : QString();
    if (path.isEmpty()) co_return;
    const QList<DisplayTarget> targets = displays(scope);
    if (!m_look.isPlain() && QFileInfo(path).isFile()) {
        // The copies are made now, so the apply finds them; the desktop renders them itself.
        QList<Dressing> pictures;
        if (m_backend->perDisplay()) {
            for (const DisplayTarget &display : targets)
                pictures.append({path, {display}});
        } else {
            pictures.append({path, m_displays()});
        }
        co_await dress(pictures);
        co_return;
    }
    if (!render) co_return;
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
    auto wanted = std::make_shared<Turn>();
    wanted->file = file;
    wanted->scope = scope;
    co_await runInTurn(wanted, st);
}

QCoro::Task<> LinuxWallpaperApplier::applyDisplayWallpapers(QList<DisplayWallpaper> pictures, std::stop_token st)
{
    auto wanted = std::make_shared<Turn>();
    wanted->scope = DisplayScope::eachDisplay;
    wanted->pictures = pictures;
    co_await runInTurn(wanted, st);
}

void LinuxWallpaperApplier::onAskingForPermission(std::function<void(bool)> listener)
{
    m_backend->setPermissionListener(std::move(listener));
}

QCoro::Task<> LinuxWallpaperApplier::runInTurn(std::shared_ptr<Turn> wanted, std::stop_token st)
{
    throwIfCancelled(st);
    // While the desktop's question is on screen, a request queued behind it would either ask again or
    // run long after it was wanted: the person answers one question, and the scheduler tries later.
    if (m_backend->askingForPermission())
        throw WallpaperApplyError::displayUpdateFailed(
            QStringLiteral("the desktop is asking whether Starvane may change the background; answer it first"));
    // The same pictures for the same displays already waiting their turn (workspace switches while a slow
    // desktop is busy ask for them again and again): share that apply instead of queueing another.
    for (;;) {
        std::shared_ptr<Turn> twin;
        for (const std::shared_ptr<Turn> &turn : m_turns) {
            if (!turn->started && turn->file == wanted->file && turn->scope == wanted->scope &&
                turn->pictures == wanted->pictures && turn->lockScreen == wanted->lockScreen)
                twin = turn;
        }
        if (!twin) break;
        while (!twin->ended)
            co_await waitForTurnChange(st);
        if (twin->cancelled) continue; // its requester gave up: ask on our own account
        if (twin->error) std::rethrow_exception(twin->error);
        co_return;
    }

    const std::shared_ptr<Turn> turn = wanted;
    m_turns.push_back(turn);
    TurnHolder holder(this, turn);
    try {
        while (m_turns.front() != turn)
            co_await waitForTurnChange(st);
        turn->started = true;
        if (turn->lockScreen)
            co_await showOnLockScreen(turn->file, st);
        else if (turn->scope == DisplayScope::eachDisplay && turn->file.isEmpty())
            co_await showEach(turn->pictures, st);
        else
            co_await showNow(turn->file, turn->scope, st);
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

    const DesktopPicture picture{path, {}, {}};
    if (!m_backend->perDisplay()) {
        // One picture for every display: "main display" cannot be honoured alone, the interface says so.
        // Its caption stays inside what each of them keeps.
        DesktopPicture dressed = picture;
        if (!m_look.isPlain()) {
            const QList<Dressing> one{{path, all}};
            const QList<DesktopPicture> made = co_await dress(one);
            dressed = made.first();
        }
        throwIfCancelled(st);
        try {
            co_await m_backend->showPicture(targets.first(), dressed, all);
        } catch (const DesktopBackendError &e) {
            qCWarning(lcDesktop) << "Desktop refused the picture:" << e.text();
            throw WallpaperApplyError::displayUpdateFailed(e.text());
        }
        qCInfo(lcDesktop).noquote() << "Set" << path << "on" << m_backend->desktopName();
        co_return;
    }

    QList<std::pair<DisplayTarget, DesktopPicture>> changes;
    for (const DisplayTarget &display : std::as_const(targets))
        changes.append({display, picture});
    if (!m_look.isPlain()) {
        // Each display its own copy: its own crop decides where the caption goes.
        QList<Dressing> pictures;
        for (const DisplayTarget &display : std::as_const(targets))
            pictures.append({path, {display}});
        const QList<DesktopPicture> made = co_await dress(pictures);
        for (qsizetype i = 0; i < changes.size(); ++i)
            changes[i].second = made[i];
    }
    co_await showOneByOne(*m_backend, changes, all, st);
    qCInfo(lcDesktop).noquote() << "Set" << path << "on" << targets.size() << "display(s) of"
                                << m_backend->desktopName();
}

QCoro::Task<> LinuxWallpaperApplier::showEach(QList<DisplayWallpaper> pictures, std::stop_token st)
{
    for (const DisplayWallpaper &wallpaper : std::as_const(pictures)) {
        const QString path = wallpaper.file.isLocalFile() ? QDir::cleanPath(wallpaper.file.toLocalFile()) : QString();
        if (path.isEmpty() || !QFileInfo(path).isFile()) throw WallpaperApplyError::fileMissing(wallpaper.file);
    }
    const QList<DisplayTarget> all = m_displays();
    const QList<DisplayTarget> targets = displayTargets();
    if (targets.isEmpty()) throw WallpaperApplyError::noDisplaysFound();

    QList<std::pair<DisplayTarget, DesktopPicture>> changes;
    for (const DisplayTarget &display : targets) {
        for (const DisplayWallpaper &wallpaper : std::as_const(pictures)) {
            if (wallpaper.displayKey == display.key)
                changes.append({display, DesktopPicture{QDir::cleanPath(wallpaper.file.toLocalFile()), {}, {}}});
        }
    }
    // Every display the pictures were meant for has gone: there is nothing to change.
    if (changes.isEmpty()) co_return;
    if (!m_backend->perDisplay()) {
        co_await showSpanned(pictures, all, st);
        co_return;
    }
    if (!m_look.isPlain()) {
        QList<Dressing> dressings;
        for (const auto &[display, picture] : std::as_const(changes))
            dressings.append({picture.path, {display}});
        const QList<DesktopPicture> made = co_await dress(dressings);
        for (qsizetype i = 0; i < changes.size(); ++i)
            changes[i].second = made[i];
    }
    co_await showOneByOne(*m_backend, changes, all, st);
    qCInfo(lcDesktop).noquote() << "Set a picture of its own on" << changes.size() << "display(s) of"
                                << m_backend->desktopName();
}

QCoro::Task<std::optional<QUrl>> LinuxWallpaperApplier::shownURL(DisplayTarget display)
{
    const std::optional<DesktopPicture> shown = co_await m_backend->shownPicture(display);
    if (!shown || shown->path.isEmpty()) co_return std::nullopt;
    // A copy with a caption or for the dark style shows the picture it was made from.
    const QString original = DerivedWallpaper::originalOf(shown->path);
    co_return standardizedFileURL(QUrl::fromLocalFile(original.isEmpty() ? shown->path : original));
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

bool LinuxWallpaperApplier::supportsLockScreen() const
{
    return m_backend->lockScreen();
}

QCoro::Task<> LinuxWallpaperApplier::applyLockScreen(QUrl file, std::stop_token st)
{
    // One at a time, like the desktop's applies: Plasma's lock screen takes several runs of a tool, and
    // two such writes must not interleave.
    auto wanted = std::make_shared<Turn>();
    wanted->file = file;
    wanted->lockScreen = true;
    co_await runInTurn(wanted, st);
}

QCoro::Task<> LinuxWallpaperApplier::showOnLockScreen(QUrl file, std::stop_token st)
{
    const QString path = file.isLocalFile() ? QDir::cleanPath(file.toLocalFile()) : QString();
    if (path.isEmpty() || !QFileInfo(path).isFile()) throw WallpaperApplyError::fileMissing(file);
    throwIfCancelled(st);
    try {
        co_await m_backend->showLockScreenPicture(path);
    } catch (const DesktopBackendError &e) {
        qCWarning(lcDesktop) << "Lock screen refused the picture:" << e.text();
        // Said plainly, because the desktop's own picture did change and the message must not suggest otherwise.
        throw WallpaperApplyError::displayUpdateFailed(
            QStringLiteral("the lock screen's picture could not be set (%1)").arg(e.text()));
    }
    qCInfo(lcDesktop).noquote() << "Set" << path << "on the lock screen of" << m_backend->desktopName();
}

bool LinuxWallpaperApplier::supportsPerDisplayWallpaper() const
{
    return m_backend->perDisplay();
}

} // namespace Starvane

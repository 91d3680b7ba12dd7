// SPDX-License-Identifier: GPL-3.0-or-later
// What each entry point asks for, made into a request from the state at the moment it starts; and the
// connection, which may make a change wait.
#include "changecoordinator.h"

#include "contracts/hubbleimagefetching.h"
#include "contracts/networkstatus.h"
#include "contracts/wallpaperapplying.h"
#include "logging.h"
#include "picturelibrary.h"
#include "rotationschedule.h"
#include "screenstate.h"
#include "storesettings.h"

#include <QTimer>

namespace Starvane {

bool ChangeCoordinator::eachDisplay() const
{
    return m_parts.settings->displayScope() == DisplayScope::eachDisplay;
}

QList<DisplayTarget> ChangeCoordinator::connectedDisplays() const
{
    return m_parts.services.applier->displayTargets();
}

ChangeRequest ChangeCoordinator::baseRequest(ChangeKind kind, bool isAutomatic) const
{
    ChangeRequest request;
    request.kind = kind;
    request.isAutomatic = isAutomatic;
    request.scope = m_parts.settings->displayScope();
    request.current = m_parts.screen->current();
    request.generation = m_parts.screen->generation();
    request.look.caption = m_parts.settings->showCaption();
    request.look.dimInDarkStyle = m_parts.settings->dimInDarkStyle();
    request.look.darkStyle = m_darkStyle;
    if (eachDisplay()) {
        for (const DisplayTarget &display : connectedDisplays()) {
            if (const auto record = m_parts.screen->display(display.key); record && record->picture.fileExists())
                request.showing.append({display, record->picture, std::nullopt});
        }
    }
    return request;
}

void ChangeCoordinator::requestPictureChange(bool isAutomatic, const QStringList &displayKeys)
{
    if (isActive()) return;
    // Kept pictures are on disk: the network does not matter to them.
    if (m_parts.settings->onlyKeptPictures()) {
        if (std::optional<ChangeRequest> request = keptRequest(isAutomatic)) {
            start(*request);
            return;
        }
        ChangeRequest failed = baseRequest(ChangeKind::keptPicture, isAutomatic);
        reportFailure(failed, ChangeError::of(ChangeError::Kind::noKeptPictures));
        return;
    }
    if (!m_parts.network->isOnline()) {
        // Without a connection every candidate would fail after its time-outs and use up the attempts;
        // the change waits for one instead. A person who asked is told at once.
        if (m_waiting == Waiting::nothing || m_waiting == Waiting::retry)
            qCInfo(lcStore) << "No network connection; the wallpaper change waits for it";
        if (m_waiting != Waiting::requestedChange)
            m_waiting = isAutomatic ? Waiting::automaticChange : Waiting::requestedChange;
        if (!isAutomatic) setError(ChangeError::of(ChangeError::Kind::noConnection));
        updateHold();
        return;
    }
    m_waiting = Waiting::nothing;
    if (isAutomatic && downloadsHeldBack()) {
        startSavedPicture();
        return;
    }
    ChangeRequest request = baseRequest(ChangeKind::newPicture, isAutomatic);
    if (eachDisplay()) {
        request.displays = connectedDisplays();
        if (!displayKeys.isEmpty())
            request.displays.removeIf([&](const DisplayTarget &d) { return !displayKeys.contains(d.key); });
        // No display may be given what another one shows.
        for (const PlacedPicture &shown : std::as_const(request.showing)) {
            request.avoidIDs.insert(shown.picture.id());
            request.avoidHashes.insert(shown.picture.contentHash);
        }
        if (request.displays.isEmpty()) {
            ChangeResult none;
            none.error = ChangeError::of(ChangeError::Kind::noDisplaysFound);
            commit(request, none);
            return;
        }
    }
    start(request);
    updateHold();
}

std::optional<ChangeRequest> ChangeCoordinator::keptRequest(bool isAutomatic) const
{
    const QList<KeptPictures::Picture> kept = m_parts.library->keptToShow();
    if (kept.isEmpty()) return std::nullopt;
    ChangeRequest request = baseRequest(ChangeKind::keptPicture, isAutomatic);
    // In turn, by name, going on after the one on screen.
    qsizetype next = 0;
    const QString currentID = request.current ? request.current->id() : QString();
    for (qsizetype i = 0; i < kept.size(); ++i)
        if (kept[i].id == currentID) next = (i + 1) % kept.size();
    QSet<QString> shownNow;
    for (const PlacedPicture &shown : std::as_const(request.showing))
        shownNow.insert(shown.picture.id());
    const auto picture = [&](const KeptPictures::Picture &k) {
        HubbleImage image = m_parts.services.archive->candidateForID(k.id).value_or(HubbleImage{});
        image.id = k.id;
        image.title = k.title;
        for (const HistoryEntry &e : m_parts.library->history().entries()) {
            if (e.id != k.id) continue;
            image = e.imageOver(image);
            break;
        }
        return PlacedPicture{DisplayTarget{}, ShownPicture{image, QUrl::fromLocalFile(k.file), QString(), QUrl()},
                             std::nullopt};
    };
    if (!eachDisplay()) {
        request.targets.append(picture(kept[next]));
        return request;
    }
    // Each display a different one; those on screen now come last, so every display changes when it can.
    request.displays = connectedDisplays();
    QList<PlacedPicture> later;
    for (qsizetype i = 0; i < kept.size(); ++i) {
        const KeptPictures::Picture &k = kept[(next + i) % kept.size()];
        (shownNow.contains(k.id) ? later : request.targets).append(picture(k));
    }
    request.targets += later;
    return request;
}

PlacedPicture ChangeCoordinator::historyTarget(int index, const DisplayTarget &display) const
{
    const HistoryEntry &entry = m_parts.library->history().entries().at(index);
    const HubbleImage image =
        entry.imageOver(m_parts.services.archive->candidateForID(entry.id).value_or(HubbleImage{}));
    ShownPicture picture{image, entry.file.isEmpty() ? QUrl() : QUrl::fromLocalFile(entry.file), entry.hash,
                         entry.variant};
    return PlacedPicture{display, picture, index};
}

namespace {
/// Without the archive's addresses the file on disk is the only way back.
bool canShowAgain(const PlacedPicture &target)
{
    return target.picture.fileExists() || target.picture.image.imageURL.isValid();
}
} // namespace

bool ChangeCoordinator::canShowPrevious() const
{
    if (eachDisplay()) {
        for (const DisplayTarget &display : connectedDisplays()) {
            const auto record = m_parts.screen->display(display.key);
            if (record && m_parts.library->previousIndex(display.key, record->picture.id())) return true;
        }
        return false;
    }
    const auto &current = m_parts.screen->current();
    return m_parts.library->previousIndex(QString(), current ? current->id() : QString()).has_value();
}

bool ChangeCoordinator::requestPrevious()
{
    if (isActive()) return false;
    ChangeRequest request = baseRequest(ChangeKind::previous, false);
    if (eachDisplay()) {
        // Every display steps back on its own; one with nothing earlier keeps its picture.
        for (const DisplayTarget &display : connectedDisplays()) {
            const auto record = m_parts.screen->display(display.key);
            if (!record) continue;
            const std::optional<int> index = m_parts.library->previousIndex(display.key, record->picture.id());
            if (!index) continue;
            const PlacedPicture target = historyTarget(*index, display);
            if (canShowAgain(target)) request.targets.append(target);
        }
    } else {
        const QString currentID = request.current ? request.current->id() : QString();
        if (const std::optional<int> index = m_parts.library->previousIndex(QString(), currentID)) {
            const PlacedPicture target = historyTarget(*index, DisplayTarget{});
            if (canShowAgain(target)) request.targets.append(target);
        }
    }
    if (request.targets.isEmpty()) return false;
    return start(request);
}

bool ChangeCoordinator::requestHistoryEntry(int index)
{
    if (index < 0 || index >= m_parts.library->history().entries().size() || isActive()) return false;
    const HistoryEntry &entry = m_parts.library->history().entries().at(index);
    DisplayTarget display;
    if (eachDisplay()) {
        // Back on the display it was first shown on when that one is connected, else on the main one.
        const QList<DisplayTarget> displays = connectedDisplays();
        if (displays.isEmpty()) return false;
        display = displays.first();
        for (const DisplayTarget &d : displays)
            if (d.key == entry.display) display = d;
    }
    const PlacedPicture target = historyTarget(index, display);
    if (!canShowAgain(target)) {
        setError(ChangeError::of(ChangeError::Kind::cannotShowAgain));
        return false;
    }
    qCInfo(lcStore).noquote() << QStringLiteral("Showing history entry %1 (%2) again").arg(index).arg(entry.id);
    ChangeRequest request = baseRequest(ChangeKind::historyEntry, false);
    request.targets.append(target);
    return start(request);
}

void ChangeCoordinator::neverAgain(const QString &displayKey)
{
    std::optional<ShownPicture> picture = m_parts.screen->current();
    QString key;
    if (eachDisplay()) {
        const QList<DisplayTarget> displays = connectedDisplays();
        key = displayKey.isEmpty() && !displays.isEmpty() ? displays.first().key : displayKey;
        picture = m_parts.screen->shownOn(key, true);
    }
    if (!picture || picture->id().isEmpty()) return;
    m_parts.library->ban(picture->id(), picture->contentHash);
    // A change the schedule started goes on and replaces the picture anyway.
    requestPictureChange(false, key.isEmpty() ? QStringList() : QStringList{key});
}

std::optional<ChangeRequest> ChangeCoordinator::putBackRequest(ChangeKind kind) const
{
    ChangeRequest request = baseRequest(kind, false);
    const auto &current = m_parts.screen->current();
    const bool currentExists = current && current->fileExists();
    if (kind == ChangeKind::lockScreen) {
        if (!m_parts.settings->lockScreen() || !currentExists) return std::nullopt;
        request.targets.append({DisplayTarget{}, *current, std::nullopt});
        return request;
    }
    if (kind == ChangeKind::restyle) {
        // Only what is shown, dressed anew: a display without a picture waits for the next change.
        if (eachDisplay())
            request.targets = request.showing;
        else if (currentExists)
            request.targets.append({DisplayTarget{}, *current, std::nullopt});
        if (request.targets.isEmpty()) return std::nullopt;
        return request;
    }
    if (!eachDisplay()) {
        if (kind == ChangeKind::displaysAppeared || !currentExists) return std::nullopt;
        request.targets.append({DisplayTarget{}, *current, std::nullopt});
        return request;
    }
    // Each display: those without a picture get a new one, the others what they had.
    const QList<DisplayTarget> displays = connectedDisplays();
    for (const DisplayTarget &display : displays) {
        const bool has = std::any_of(request.showing.cbegin(), request.showing.cend(),
                                     [&](const PlacedPicture &p) { return p.display.key == display.key; });
        if (!has) request.displays.append(display);
    }
    if (!request.displays.isEmpty() && m_parts.settings->onlyKeptPictures()) {
        // Rotating among kept pictures: those displays get kept ones too, never a download.
        std::optional<ChangeRequest> kept = keptRequest(false);
        if (!kept) return std::nullopt;
        kept->displays = request.displays;
        // Another display's picture only when there are too few kept ones.
        QList<PlacedPicture> unshown = kept->targets;
        unshown.removeIf([&](const PlacedPicture &k) {
            return std::any_of(request.showing.cbegin(), request.showing.cend(),
                               [&](const PlacedPicture &shown) { return shown.picture.id() == k.picture.id(); });
        });
        if (!unshown.isEmpty()) kept->targets = unshown;
        return kept;
    }
    if (!request.displays.isEmpty()) {
        if (kind == ChangeKind::workspaceSync) request.kind = ChangeKind::displaysAppeared;
        for (const PlacedPicture &shown : std::as_const(request.showing)) {
            request.avoidIDs.insert(shown.picture.id());
            request.avoidHashes.insert(shown.picture.contentHash);
        }
        qCInfo(lcStore).noquote() << QStringLiteral("Fetching pictures for %1 display(s)").arg(request.displays.size());
        return request;
    }
    // Every display has its picture: a display that went away needs nothing, but a one-picture desktop
    // needs its combined picture made anew for the new layout.
    if (kind == ChangeKind::displaysAppeared && m_parts.services.applier->supportsPerDisplayWallpaper())
        return std::nullopt;
    if (request.showing.isEmpty()) return std::nullopt;
    request.targets = request.showing;
    return request;
}

// The connection.

bool ChangeCoordinator::downloadsHeldBack() const
{
    return m_parts.network->isMetered() && !m_parts.settings->downloadOnMetered();
}

void ChangeCoordinator::startSavedPicture()
{
    ChangeRequest request = baseRequest(ChangeKind::savedPicture, true);
    QSet<QUrl> shownNow;
    for (const PlacedPicture &shown : std::as_const(request.showing))
        shownNow.insert(shown.picture.file);
    const QList<DisplayTarget> displays = eachDisplay() ? connectedDisplays() : QList<DisplayTarget>{DisplayTarget{}};
    for (const DisplayTarget &display : displays) {
        const std::optional<ShownPicture> saved =
            m_parts.library->saved().leastRecentNotShown(shownNow, request.current ? request.current->file : QUrl());
        if (!saved) break;
        shownNow.insert(saved->file);
        request.targets.append({display, *saved, std::nullopt});
    }
    if (request.targets.isEmpty()) {
        // Nothing to rotate to: the change waits for a connection it may download on.
        if (!m_nothingSavedToShow)
            qCInfo(lcStore) << "Metered connection and no saved picture to show; waiting for an unmetered connection";
        m_nothingSavedToShow = true;
        m_waiting = Waiting::automaticChange;
        updateHold();
        return;
    }
    start(request);
    updateHold();
}

void ChangeCoordinator::networkChanged()
{
    const bool online = m_parts.network->isOnline();
    const bool held = downloadsHeldBack();
    const bool cameOnline = online && !m_wasOnline;
    const bool heldNoMore = m_downloadsWereHeld && !held;
    if (online != m_wasOnline)
        qCInfo(lcStore).noquote()
            << QStringLiteral("Network %1").arg(online ? QStringLiteral("available") : QStringLiteral("unavailable"));
    m_wasOnline = online;
    m_downloadsWereHeld = held;
    if (!held) m_nothingSavedToShow = false;
    if ((cameOnline || heldNoMore) && m_waiting != Waiting::nothing)
        m_networkSettle->start();
    else if (!online)
        m_networkSettle->stop();
    updateHold();
}

void ChangeCoordinator::setDarkStyle(bool dark)
{
    if (m_darkStyle == dark) return;
    m_darkStyle = dark;
    // A desktop given both pictures switches by itself.
    if (m_parts.settings->dimInDarkStyle() && !m_parts.services.applier->showsDarkStyleItself())
        putBack(ChangeKind::restyle);
}

void ChangeCoordinator::resumeAfterNetworkReturned()
{
    if (!m_parts.network->isOnline() || isActive()) return;
    const bool rotating = m_parts.settings->isAutoRotationActive();
    switch (m_waiting) {
    case Waiting::requestedChange:
        qCInfo(lcStore) << "Network is back; starting the change that waited for it";
        requestPictureChange(false);
        return;
    case Waiting::automaticChange:
        // An automatic change only while rotation is still on.
        if (rotating) {
            qCInfo(lcStore) << "Network is back; starting the change that waited for it";
            requestPictureChange(true);
            return;
        }
        m_waiting = Waiting::nothing;
        break;
    case Waiting::retry:
        // The last change failed, most likely for want of this network: no need to sit out the retry delay.
        if (rotating) {
            qCInfo(lcStore) << "Network is back; retrying the failed change now";
            requestPictureChange(true);
            return;
        }
        break;
    case Waiting::nothing:
        break;
    }
    updateHold();
}

void ChangeCoordinator::updateHold()
{
    const bool rotating = m_parts.settings->isAutoRotationActive();
    const bool waiting = m_waiting == Waiting::automaticChange || m_waiting == Waiting::requestedChange;
    NetworkHold hold = NetworkHold::none;
    if (!m_parts.network->isOnline() && (waiting || rotating))
        hold = NetworkHold::offline;
    else if (rotating && downloadsHeldBack())
        hold = m_nothingSavedToShow ? NetworkHold::meteredWaiting : NetworkHold::meteredSaved;
    if (m_hold == hold) return;
    m_hold = hold;
    Q_EMIT networkHoldChanged();
}

} // namespace Starvane

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "contracts/wallpaperapplying.h"
#include "models/appsettings.h"
#include "models/displaytarget.h"
#include "models/errors.h"
#include "shownpicture.h"

#include <QList>
#include <QSet>
#include <QString>
#include <optional>

namespace Starvane {

/// Every way what a display shows can change.
enum class ChangeKind {
    /// A picture not shown recently, from the archive.
    newPicture,
    /// Each display back to the picture it showed before.
    previous,
    /// A picture of the history shown again.
    historyEntry,
    /// The next kept picture (or one per display, by shape).
    keptPicture,
    /// A picture of the cache, shown again instead of a download (metered connections).
    savedPicture,
    /// The picture on screen put on the displays of a newly chosen scope.
    scopeReapply,
    /// The picture on screen put back on a workspace that shows another one.
    workspaceSync,
    /// Displays that appeared get a picture; a one-picture desktop's combined picture is made anew.
    displaysAppeared,
    /// The main display's picture on the lock screen.
    lockScreen,
    /// The pictures on screen put back dressed anew: the caption or the dark style turned on or off, or
    /// the desktop's style changed.
    restyle,
};

/// One picture for one display (`display.key` empty: the scope's displays as one).
struct PlacedPicture
{
    DisplayTarget display;
    ShownPicture picture;
    /// Where it stands in the history, when it is shown again from there.
    std::optional<int> historyIndex;

    bool operator==(const PlacedPicture &) const = default;
};

/// One change of what the displays show, as a value: made by the coordinator from the state at the
/// moment it starts, carried out by the pipeline, committed by the coordinator alone.
struct ChangeRequest
{
    ChangeKind kind = ChangeKind::newPicture;
    bool isAutomatic = false;
    DisplayScope scope = DisplayScope::allDisplays;
    /// "Each display" mode: the displays the change is for, with their shapes. Empty: the scope's
    /// displays get one picture.
    QList<DisplayTarget> displays;
    /// Pictures no display may be given now (those of the other displays, what was just banned).
    QSet<QString> avoidIDs;
    QSet<QString> avoidHashes;
    /// What every connected display shows now; a one-picture desktop's combined picture keeps these
    /// where the change does not replace them.
    QList<PlacedPicture> showing;
    /// Kinds that show known pictures: what goes where.
    QList<PlacedPicture> targets;
    /// The picture on the main display now (the pool never offers it again at once).
    std::optional<ShownPicture> current;
    /// The screen state's generation the request was made from.
    quint64 generation = 0;
    /// How the pictures are dressed (the captions are the pipeline's to fill in).
    WallpaperLook look;

    /// Kinds the user or the schedule ask for (a picture change); the others keep what is shown in order.
    bool changesPicture() const
    {
        return kind != ChangeKind::scopeReapply && kind != ChangeKind::workspaceSync &&
               kind != ChangeKind::displaysAppeared && kind != ChangeKind::lockScreen && kind != ChangeKind::restyle;
    }
    /// New pictures come from the archive: for displays without one, or a new picture asked for.
    bool fetchesNewPictures() const
    {
        return targets.isEmpty() && (kind == ChangeKind::newPicture || kind == ChangeKind::scopeReapply ||
                                     kind == ChangeKind::displaysAppeared);
    }
};

/// What a change did: the pictures now on the displays it changed, or why it failed.
struct ChangeResult
{
    QList<PlacedPicture> shown;
    std::optional<ChangeError> error;
    bool cancelled = false;
    /// The pictures are new ones from the archive (not shown again).
    bool newPictures = false;
};

} // namespace Starvane

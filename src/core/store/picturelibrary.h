// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "keptpictures.h"
#include "savedpictures.h"
#include "shownpicture.h"
#include "wallpaperhistory.h"

#include <QMap>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>

namespace Starvane {

class KeyValueStore;
class WallpaperCaching;

/// The pictures Starvane knows beyond the one on screen: the history of what was shown (and where each
/// display stands in it), the banned pictures, the kept ones in the user's Pictures folder and the
/// cached ones that can be shown again without a download. Main thread only.
class PictureLibrary : public QObject
{
    Q_OBJECT
public:
    struct Places
    {
        /// history.json, bans.json and the thumbnails; empty keeps them in memory only.
        QString dataDirectory;
        /// Empty: the user's Pictures folder, subfolder "Starvane".
        QString keptDirectory;
    };

    PictureLibrary(Places places, std::shared_ptr<KeyValueStore> defaults,
                   std::shared_ptr<const WallpaperCaching> cache, std::function<QDateTime()> now,
                   QObject *parent = nullptr);

    /// Reads the history and the saved pictures back; stepping back goes on from `current`.
    void restore(const std::optional<ShownPicture> &current);

    const WallpaperHistory &history() const { return *m_history; }
    std::shared_ptr<const WallpaperHistory> bans() const { return m_history; }
    const KeptPictures &kept() const { return *m_kept; }
    /// The kept pictures that are not banned, by name.
    QList<KeptPictures::Picture> keptToShow() const;
    const SavedPictures &saved() const { return *m_saved; }

    /// A picture newly on screen: first in the history (for `displayKey`, empty for the scope's
    /// displays), among the saved ones, and where its display stands.
    void record(const ShownPicture &picture, const QString &displayKey);
    /// A picture of the history shown again: its display stands there now; a file fetched again
    /// replaces the entry's.
    void showedAgain(int index, const QString &displayKey, const ShownPicture &picture);
    /// The picture shown before the one `displayKey` shows now (`currentID`): for a display key only its
    /// own entries count, for the empty key all of them. Banned ones and the same picture are passed over.
    std::optional<int> previousIndex(const QString &displayKey, const QString &currentID) const;

    /// Copies the picture into the kept folder; the reason, in the user's language, when that failed.
    std::optional<QString> keep(const ShownPicture &picture);
    bool unkeep(const QString &id);
    /// Bans the picture (its id and, when known, its content).
    void ban(const QString &id, const QString &hash);
    bool liftBan(const QString &id);
    /// Where `displayKey` (empty: the scope's displays) stands in the history; -1 when nowhere.
    int positionOf(const QString &displayKey, const QString &currentID) const;

Q_SIGNALS:
    /// The history, the bans or the kept pictures changed.
    void changed();

private:
    std::shared_ptr<WallpaperHistory> m_history;
    std::unique_ptr<KeptPictures> m_kept;
    std::unique_ptr<SavedPictures> m_saved;
    std::shared_ptr<const WallpaperCaching> m_cache;
    std::function<QDateTime()> m_now;
    /// Where each display (by key; empty for the scope's displays) stands in the history.
    QMap<QString, int> m_positions;
};

} // namespace Starvane

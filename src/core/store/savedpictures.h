// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "shownpicture.h"

#include <QList>
#include <QSet>
#include <QUrl>
#include <memory>
#include <optional>

namespace Starvane {

class KeyValueStore;

/// The pictures of the cache that can be shown again without downloading anything: what each applied
/// file shows, newest first. Automatic changes use them on a metered connection. Main thread only.
class SavedPictures
{
public:
    using Entry = ShownPicture;
    /// More than the cache keeps, so every retained file can be found here.
    static constexpr int maxEntries = 16;

    explicit SavedPictures(std::shared_ptr<KeyValueStore> defaults);

    /// Reads the list back; entries that do not parse are dropped.
    void restore();
    /// A picture just put on screen, first in the list.
    void remember(const Entry &entry);
    /// The saved picture shown longest ago whose file still exists and that no display shows now.
    std::optional<Entry> leastRecentNotShown(const QSet<QUrl> &shownNow, const std::optional<QUrl> &current) const;

private:
    void persist() const;

    std::shared_ptr<KeyValueStore> m_defaults;
    QList<Entry> m_entries;
};

} // namespace Starvane

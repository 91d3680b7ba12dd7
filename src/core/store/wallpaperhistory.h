// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/hubbleimage.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QSet>
#include <QString>
#include <QUrl>
#include <optional>

namespace Starvane {

/// One picture as it was shown.
struct HistoryEntry
{
    QString id;
    QString title;
    QString credit;
    /// 0 when unknown.
    int captureYear = 0;
    QDateTime shownAt;
    /// Which display showed it; empty for "all displays" or "the main display".
    QString display;
    /// The cached file, empty when it was never known; it may have been pruned since.
    QString file;
    /// SHA-256 of the file, hex.
    QString hash;
    /// A small copy kept for as long as the entry, so a pruned picture still has a face.
    QString thumbnail;
    /// The archive address the file was downloaded from: a pruned picture comes back as it was shown.
    QUrl variant;
    /// What the picture shows; empty when the archive page told nothing.
    QString description = {};

    bool operator==(const HistoryEntry &) const = default;

    /// `base` (what the archive knows of the id today) with what this entry remembers of the picture.
    HubbleImage imageOver(HubbleImage base) const;

    QJsonObject toJsonObject() const;
    /// Absent for anything that is not a usable entry, including an id that is not safe to use.
    static std::optional<HistoryEntry> fromJsonObject(const QJsonObject &o);
};

/// The pictures shown lately (newest first) and the ones the user never wants again. Each list lives
/// in its own JSON file in the data folder, written atomically; a file that cannot be read is set
/// aside with a ".damaged" suffix and started afresh, touching nothing else. Main thread only.
class WallpaperHistory
{
public:
    static constexpr int maxEntries = 100;

    /// `directory` holds history.json, bans.json and the thumbnails; empty keeps everything in memory.
    explicit WallpaperHistory(QString directory = {});

    /// GenericDataLocation/Starvane, where the cache has its own subfolder.
    static QString defaultDirectory();
    QString directory() const { return m_directory; }
    QString historyFilePath() const;
    QString bansFilePath() const;
    /// Where the thumbnail of a picture with this (safe) id is kept.
    QString thumbnailPath(const QString &id) const;

    /// Reads both files. Returns false when one of them had to be set aside.
    bool load();

    const QList<HistoryEntry> &entries() const { return m_entries; }
    /// Puts `entry` first and drops the oldest beyond maxEntries (and their thumbnails).
    void record(const HistoryEntry &entry);
    /// Replaces the entry at `index` (a picture fetched again has a new file).
    void replace(int index, const HistoryEntry &entry);

    bool isBannedID(const QString &id) const { return m_bannedIDs.contains(id); }
    bool isBannedHash(const QString &hash) const { return !hash.isEmpty() && m_bannedHashes.contains(hash); }
    const QStringList &bannedIDs() const { return m_bannedIDs; }
    const QStringList &bannedHashes() const { return m_bannedHashes; }
    /// Bans an id and, when known, its content.
    void ban(const QString &id, const QString &hash);
    /// Lifts the ban on an id and on the contents history knows for it.
    void liftBan(const QString &id);

private:
    void save(const QString &path, const QJsonObject &object) const;
    void saveHistory() const;
    void saveBans() const;

    QString m_directory;
    QList<HistoryEntry> m_entries;
    QStringList m_bannedIDs;
    QStringList m_bannedHashes;
};

} // namespace Starvane

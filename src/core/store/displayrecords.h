// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/hubbleimage.h"

#include <QDateTime>
#include <QMap>
#include <QString>
#include <QUrl>

namespace Starvane {

/// What one display was last given in "each display" mode: kept while the display is away, so it finds
/// its picture again when it returns.
struct DisplayRecord
{
    QString name;
    HubbleImage image;
    QUrl file;
    QString contentHash;
    QDateTime shownAt;

    bool operator==(const DisplayRecord &) const = default;
};

/// The per-display records, keyed by display key, in `displays.json` of the data folder. Main thread only.
class DisplayRecords
{
public:
    /// The file `displays.json` in `dataDirectory`; an empty folder keeps the records in memory only.
    explicit DisplayRecords(QString dataDirectory);

    /// Reads the file. One that does not parse is renamed with ".damaged" (and logged) and counts as empty;
    /// records whose picture file is gone are dropped.
    void load();
    /// Writes the file atomically, away from the calling thread; a failure is logged.
    void save() const;

    const QMap<QString, DisplayRecord> &records() const { return m_records; }
    std::optional<DisplayRecord> record(const QString &key) const;
    void set(const QString &key, const DisplayRecord &record) { m_records.insert(key, record); }
    QString filePath() const;

private:
    QString m_directory;
    QMap<QString, DisplayRecord> m_records;
};

} // namespace Starvane

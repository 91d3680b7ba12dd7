// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/displaytarget.h"
#include "shownpicture.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QObject>
#include <memory>
#include <optional>
#include <utility>

namespace Starvane {

class KeyValueStore;

/// What one display was last given in "each display" mode: kept while the display is away, so it finds
/// its picture again when it returns.
struct DisplayRecord
{
    QString name;
    ShownPicture picture;
    QDateTime shownAt;

    bool operator==(const DisplayRecord &) const = default;
};

/// What is on screen: the picture of the main display (the one the window, the tray and the status
/// name) and, in "each display" mode, every display's own, by display key. Written only by the change
/// coordinator when it commits a change; everything else reads it. Persisted in the current-wallpaper
/// keys and in `displays.json` of the data folder. Main thread only.
class ScreenState : public QObject
{
    Q_OBJECT
public:
    /// `dataDirectory` empty: the display records are kept in memory only.
    ScreenState(std::shared_ptr<KeyValueStore> defaults, QString dataDirectory, QObject *parent = nullptr);

    /// Reads both back. A stored file that is gone means no current picture (and its keys are removed);
    /// display records whose file is gone are dropped; a records file that does not parse is set aside.
    void restore();
    /// Writes the current-wallpaper keys.
    void persist() const;

    const std::optional<ShownPicture> &current() const { return m_current; }
    bool currentFileExists() const { return m_current && m_current->fileExists(); }
    const QMap<QString, DisplayRecord> &displays() const { return m_displays; }
    std::optional<DisplayRecord> display(const QString &key) const;
    /// The picture a connected display shows: its own in "each display" mode when it has one, else the
    /// current one.
    std::optional<ShownPicture> shownOn(const QString &key, bool eachDisplay) const;
    /// Counts the changes committed: work begun before a newer change was committed is stale.
    quint64 generation() const { return m_generation; }
    QString displaysFilePath() const;

    /// One picture for the scope's displays.
    void showEverywhere(const ShownPicture &picture);
    /// Pictures of their own on these displays; the others keep theirs. The current picture becomes
    /// that of `primaryKey` (the main display) when it has one.
    void showOnDisplays(const QList<std::pair<DisplayTarget, ShownPicture>> &changed, const QString &primaryKey,
                        const QDateTime &now);
    /// Only the pixel size or the record of the picture on screen changed (a picture shown again).
    void touch() { ++m_generation; }

Q_SIGNALS:
    void currentImageChanged();
    void currentLocalFileURLChanged();
    /// The pictures of the displays changed ("each display" mode).
    void displaysChanged();

private:
    void setCurrent(const ShownPicture &picture);
    void saveDisplays() const;

    std::shared_ptr<KeyValueStore> m_defaults;
    QString m_directory;
    std::optional<ShownPicture> m_current;
    QMap<QString, DisplayRecord> m_displays;
    quint64 m_generation = 0;
};

} // namespace Starvane

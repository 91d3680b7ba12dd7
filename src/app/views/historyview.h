// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "windowparts.h"

#include <QWidget>

class QLabel;
class QScrollArea;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace Starvane {

class WallpaperStore;

/// The pictures shown lately, as a grid of thumbnails with title, credit and date, newest first. The
/// selected picture can be shown again, kept, banned (or let back in) and opened on the archive's site.
/// Thumbnails are decoded on worker threads; until one arrives its tile is blank.
class HistoryView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kThumbnailSide = 256;
    static constexpr int kTileSide = 176;

    explicit HistoryView(WallpaperStore &store, QWidget *parent = nullptr);

    QListWidget *grid() const { return m_grid; }
    QPushButton *showButton() const { return m_show; }
    QPushButton *keepButton() const { return m_keep; }
    QPushButton *banButton() const { return m_ban; }
    QPushButton *openButton() const { return m_open; }
    /// How "Open on ESA/Hubble" opens a page (tests record it, or make it fail).
    void setOpenURLHandler(LinkOpener handler) { m_openURL = std::move(handler); }
    /// Why an action on the selected picture is unavailable, or that a page could not be opened; hidden
    /// when there is nothing to say.
    QLabel *noteLabel() const { return m_note; }
    /// What the selected picture shows; hidden when its archive page told nothing.
    QLabel *storyLabel() const { return m_story; }
    /// Thumbnails still being decoded.
    int pendingThumbnails() const { return m_pending; }

    /// The file a thumbnail of the entry is decoded from: its small copy, else the picture itself.
    static QString thumbnailSource(const QString &thumbnail, const QString &file);

Q_SIGNALS:
    void thumbnailsLoaded();

private:
    void rebuild();
    void refreshActions();
    int selectedIndex() const;
    void loadThumbnail(QListWidgetItem *item, const QString &path);

    WallpaperStore &m_store;
    QListWidget *m_grid;
    QLabel *m_empty;
    QPushButton *m_show;
    QPushButton *m_keep;
    QPushButton *m_ban;
    QPushButton *m_open;
    QLabel *m_note;
    QScrollArea *m_storyArea;
    QLabel *m_story;
    LinkOpener m_openURL;
    int m_pending = 0;
    quint64 m_generation = 0;
};

} // namespace Starvane

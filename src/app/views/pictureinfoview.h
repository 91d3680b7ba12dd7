// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/hubbleimage.h"
#include "windowparts.h"

#include <QWidget>
#include <optional>

class QLabel;
class QPushButton;
class QScrollArea;

namespace Starvane {

class PlainButton;
class WallpaperStore;

/// "About This Picture": the title of the picture on screen, what it shows, who made it and when, a link
/// to its archive page and its credit ready to paste. In "each display" mode it is the picture of the
/// display whose preview the main window has chosen. Follows the store while it is open.
class PictureInfoView : public QWidget
{
    Q_OBJECT

public:
    explicit PictureInfoView(WallpaperStore &store, QWidget *parent = nullptr);

    /// How the archive link opens the page (tests record it, or make it fail).
    void setLinkOpener(LinkOpener opener) { m_open = std::move(opener); }
    /// Shows what the store names for the chosen display now.
    void refresh();

    /// One line to paste beside the picture wherever it is used: title, credit, licence and page.
    static QString creditLine(const HubbleImage &image);

    const std::optional<HubbleImage> &image() const { return m_image; }
    QLabel *titleLabel() const { return m_title; }
    QLabel *dateLabel() const { return m_date; }
    QLabel *descriptionLabel() const { return m_description; }
    QLabel *creditLabel() const { return m_credit; }
    PlainButton *archiveLink() const { return m_archiveLink; }
    QPushButton *copyCreditButton() const { return m_copy; }
    /// Says that the credit was copied, or that the page could not be opened; hidden otherwise.
    QLabel *noteLabel() const { return m_note; }

private:
    void fitContent();

    WallpaperStore &m_store;
    LinkOpener m_open = desktopLinkOpener();
    std::optional<HubbleImage> m_image;
    QLabel *m_title;
    QLabel *m_date;
    QScrollArea *m_descriptionArea;
    QLabel *m_description;
    QLabel *m_noDescription;
    QWidget *m_creditBlock;
    QLabel *m_credit;
    PlainButton *m_archiveLink;
    QPushButton *m_copy;
    QLabel *m_note;
};

} // namespace Starvane

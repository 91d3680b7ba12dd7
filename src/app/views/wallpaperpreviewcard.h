// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/hubbleimage.h"
#include "windowparts.h"

#include <QImage>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <optional>

class QLabel;

namespace Starvane {

class ElidingLabel;
class PlainButton;
class ProgressSpinner;

/// The card that shows the wallpaper on screen: a cropped preview of the cached file, its title,
/// capture date, resolution and credit, a link to the archive page, a way to reveal the file and one to
/// read what the picture shows.
/// The preview is decoded off the main thread at a reduced size.
class WallpaperPreviewCard : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kPreviewHeight = 218;

    explicit WallpaperPreviewCard(QWidget *parent = nullptr);
    ~WallpaperPreviewCard() override;

    void setImage(const std::optional<HubbleImage> &image);
    /// A new file starts a background load; the old preview stays until the new one is ready.
    /// An absent file clears the preview at once.
    void setLocalFileURL(const std::optional<QUrl> &url);
    void setLoading(bool loading);

    /// How "Reveal File" shows the file; by default the folder opens in the file manager.
    void setRevealFileHandler(std::function<void(const QUrl &file)> handler);
    /// How "ESA/Hubble" opens the archive page; by default the web browser. A failure is said in the card.
    void setOpenURLHandler(LinkOpener handler);
    /// Says that the page could not be opened; hidden otherwise (and again when the picture changes).
    ElidingLabel *linkProblemLabel() const { return m_linkProblem; }
    PlainButton *aboutPictureLink() const { return m_aboutLink; }

    const QImage &loadedPreview() const { return m_preview; }

Q_SIGNALS:
    /// A background load for the current file finished (with or without a preview).
    void previewLoadFinished();
    /// "About This Picture" was chosen.
    void aboutPictureRequested();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void refresh();
    void startPreviewLoad();

    std::optional<HubbleImage> m_image;
    std::optional<QUrl> m_localFileURL;
    bool m_isLoading = false;
    QImage m_preview;
    quint64 m_loadGeneration = 0;
    std::function<void(const QUrl &)> m_reveal;
    LinkOpener m_openURL;

    QWidget *m_previewArea;
    QWidget *m_emptyPlaceholder;
    QWidget *m_loadingPlaceholder;
    QWidget *m_updatingBadge;
    QWidget *m_separator;
    ElidingLabel *m_title;
    ElidingLabel *m_description;
    QWidget *m_metadataRow;
    QLabel *m_dateLabel;
    QLabel *m_dotLabel;
    QLabel *m_resolutionLabel;
    ElidingLabel *m_credit;
    QWidget *m_linksRow;
    PlainButton *m_aboutLink;
    PlainButton *m_archiveLink;
    PlainButton *m_revealButton;
    ElidingLabel *m_linkProblem;
};

} // namespace Starvane

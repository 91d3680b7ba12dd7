// SPDX-License-Identifier: GPL-3.0-or-later
#include "wallpaperpreviewcard.h"

#include "buttonstyles.h"
#include "cardparts.h"
#include "elidinglabel.h"
#include "previewimage.h"
#include "progressspinner.h"
#include "relativetime.h"
#include "symbols.h"
#include "velmoratheme.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QDate>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace Starvane {

using VelmoraTheme::Color;

namespace {
constexpr qreal kCardRadius = 10;

/// "Updating" on a dark capsule, shown over an old preview while a new one is fetched.
class UpdatingBadge : public QWidget
{
public:
    explicit UpdatingBadge(QWidget *parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("updatingBadge"));
        auto *row = new QHBoxLayout(this);
        row->setContentsMargins(9, 5, 9, 5);
        row->setSpacing(6);
        row->addWidget(new ProgressSpinner(ProgressSpinner::Size::small, VelmoraTheme::primaryForeground, this));
        row->addWidget(makeLabel(WallpaperPreviewCard::tr("Updating"), VelmoraTheme::systemFont(11, QFont::Medium),
                                 Color::primaryForeground, this));
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath capsule;
        const qreal r = height() / 2.0;
        capsule.addRoundedRect(QRectF(rect()), r, r);
        QColor fill(Qt::black);
        fill.setAlphaF(0.62f);
        p.fillPath(capsule, fill);
    }
};

/// The preview area: the card paints the fill and the picture behind it (so the card's rounded
/// corners clip them); this widget holds the placeholders and places the badge.
class PreviewArea : public QWidget
{
public:
    explicit PreviewArea(QWidget *parent) : QWidget(parent)
    {
        setFixedHeight(WallpaperPreviewCard::kPreviewHeight);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    QWidget *badge = nullptr;

protected:
    void resizeEvent(QResizeEvent *) override { placeBadge(); }

public:
    void placeBadge()
    {
        if (!badge)
            return;
        badge->adjustSize();
        badge->move(width() - 10 - badge->width(), 10);
    }
};

QWidget *makePlaceholder(QWidget *parent, QWidget *top, const QString &text, int spacing, const QString &name)
{
    auto *box = new QWidget(parent);
    box->setObjectName(name);
    auto *column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(spacing);
    column->addStretch();
    column->addWidget(top, 0, Qt::AlignHCenter);
    auto *label = makeLabel(text, VelmoraTheme::systemFont(12, QFont::Medium), Color::mutedForeground, box);
    label->setObjectName(name + QStringLiteral("Text"));
    column->addWidget(label, 0, Qt::AlignHCenter);
    column->addStretch();
    return box;
}
} // namespace

WallpaperPreviewCard::WallpaperPreviewCard(QWidget *parent) : QWidget(parent)
{
    m_reveal = [](const QUrl &file) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(file.toLocalFile()).absolutePath()));
    };
    m_openURL = desktopLinkOpener();

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto *area = new PreviewArea(this);
    m_previewArea = area;
    auto *areaLayout = new QVBoxLayout(area);
    areaLayout->setContentsMargins(0, 0, 0, 0);
    m_emptyPlaceholder = makePlaceholder(
        area, new SymbolView(Symbol::sparkles, 28, VelmoraTheme::primary, area),
        tr("No wallpaper applied yet"), 8, QStringLiteral("emptyPlaceholder"));
    m_loadingPlaceholder =
        makePlaceholder(area, new ProgressSpinner(ProgressSpinner::Size::regular, VelmoraTheme::primary, area),
                        tr("Fetching Hubble image…"), 10, QStringLiteral("loadingPlaceholder"));
    areaLayout->addWidget(m_emptyPlaceholder);
    areaLayout->addWidget(m_loadingPlaceholder);
    m_updatingBadge = new UpdatingBadge(area);
    area->badge = m_updatingBadge;
    column->addWidget(area);

    m_separator = new Hairline(this);
    column->addWidget(m_separator);

    auto *text = new QVBoxLayout;
    text->setContentsMargins(14, 14, 14, 14);
    text->setSpacing(6);
    column->addLayout(text);

    m_title = new ElidingLabel(VelmoraTheme::systemFont(14, QFont::DemiBold), Color::foreground, 2, this);
    m_title->setObjectName(QStringLiteral("title"));
    text->addWidget(m_title);

    m_description = new ElidingLabel(VelmoraTheme::systemFont(12), Color::mutedForeground, 0, this);
    m_description->setObjectName(QStringLiteral("description"));
    m_description->setText(tr("Real high-resolution photographs from the ESA/Hubble archive."));
    text->addWidget(m_description);

    m_metadataRow = new QWidget(this);
    m_metadataRow->setObjectName(QStringLiteral("metadata"));
    auto *meta = new QHBoxLayout(m_metadataRow);
    meta->setContentsMargins(0, 0, 0, 0);
    meta->setSpacing(6);
    const QFont metaFont = VelmoraTheme::systemFont(11.5);
    m_dateLabel = makeLabel({}, metaFont, Color::mutedForeground, m_metadataRow);
    m_dateLabel->setObjectName(QStringLiteral("dateCaptured"));
    m_dotLabel = makeLabel(QStringLiteral("·"), metaFont, Color::mutedForeground, m_metadataRow);
    m_dotLabel->setObjectName(QStringLiteral("metadataSeparator"));
    m_resolutionLabel = makeLabel({}, metaFont, Color::mutedForeground, m_metadataRow);
    m_resolutionLabel->setObjectName(QStringLiteral("resolution"));
    meta->addWidget(m_dateLabel);
    meta->addWidget(m_dotLabel);
    meta->addWidget(m_resolutionLabel);
    meta->addStretch();
    text->addWidget(m_metadataRow);

    m_credit = new ElidingLabel(VelmoraTheme::systemFont(11), Color::mutedForeground, 3, this);
    m_credit->setObjectName(QStringLiteral("credit"));
    text->addWidget(m_credit);

    m_linksRow = new QWidget(this);
    m_linksRow->setObjectName(QStringLiteral("links"));
    auto *links = new QHBoxLayout(m_linksRow);
    links->setContentsMargins(0, 2, 0, 0);
    links->setSpacing(12);
    const QFont linkFont = VelmoraTheme::systemFont(11.5, QFont::Medium);
    // First in the row and in the tab order.
    m_aboutLink = new PlainButton(tr("About This Picture"), linkFont, Color::link, m_linksRow);
    m_aboutLink->setObjectName(QStringLiteral("aboutPicture"));
    m_aboutLink->setAccessibleDescription(tr("What the picture shows, who made it and how to credit it"));
    //: Link to the image's page in the archive; the archive's name, usually left as it is
    m_archiveLink = new PlainButton(tr("ESA/Hubble"), linkFont, Color::link, m_linksRow);
    m_archiveLink->setObjectName(QStringLiteral("archiveLink"));
    m_archiveLink->setSymbol(Symbol::arrowUpRight);
    m_archiveLink->setAccessibleDescription(tr("Open this image's page on the ESA/Hubble website"));
    m_revealButton = new PlainButton(tr("Reveal File"), linkFont, Color::mutedForeground, m_linksRow);
    m_revealButton->setObjectName(QStringLiteral("revealFile"));
    m_revealButton->setSymbol(Symbol::folder);
    m_revealButton->setAccessibleDescription(tr("Show the wallpaper's file in the file manager"));
    links->addWidget(m_aboutLink);
    links->addWidget(m_archiveLink);
    links->addWidget(m_revealButton);
    links->addStretch();
    text->addWidget(m_linksRow);
    m_linkProblem = new ElidingLabel(VelmoraTheme::systemFont(11), Color::destructive, 0, this);
    m_linkProblem->setObjectName(QStringLiteral("linkProblem"));
    m_linkProblem->setVisible(false);
    text->addWidget(m_linkProblem);

    connect(m_archiveLink, &QAbstractButton::clicked, this, [this] {
        if (!m_image) return;
        const bool opened = m_openURL && m_openURL(m_image->detailsURL);
        m_linkProblem->setVisible(!opened);
        if (!opened) m_linkProblem->setText(WindowTexts::linkFailed(m_image->detailsURL));
    });
    connect(m_aboutLink, &QAbstractButton::clicked, this, &WallpaperPreviewCard::aboutPictureRequested);
    connect(m_revealButton, &QAbstractButton::clicked, this, [this] {
        if (m_localFileURL && m_reveal)
            m_reveal(*m_localFileURL);
    });
    connect(&Appearance::instance(), &Appearance::changed, this, qOverload<>(&QWidget::update));
    refresh();
}

WallpaperPreviewCard::~WallpaperPreviewCard() = default;

void WallpaperPreviewCard::setImage(const std::optional<HubbleImage> &image)
{
    if (image == m_image)
        return;
    m_image = image;
    m_linkProblem->setVisible(false); // it was about the page of the picture before
    refresh();
}

void WallpaperPreviewCard::setLocalFileURL(const std::optional<QUrl> &url)
{
    if (url == m_localFileURL)
        return;
    m_localFileURL = url;
    ++m_loadGeneration; // any load still running is for another file now
    if (!m_localFileURL)
        m_preview = QImage();
    else
        startPreviewLoad();
    refresh();
}

void WallpaperPreviewCard::setLoading(bool loading)
{
    if (loading == m_isLoading)
        return;
    m_isLoading = loading;
    refresh();
}

void WallpaperPreviewCard::setRevealFileHandler(std::function<void(const QUrl &)> handler)
{
    m_reveal = std::move(handler);
}

void WallpaperPreviewCard::setOpenURLHandler(LinkOpener handler)
{
    m_openURL = std::move(handler);
}

void WallpaperPreviewCard::startPreviewLoad()
{
    const quint64 generation = m_loadGeneration;
    const QString path = m_localFileURL->toLocalFile();
    // The watcher belongs to the card: if the card goes away first, the result is simply dropped.
    auto *watcher = new QFutureWatcher<QImage>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        if (generation != m_loadGeneration)
            return; // a slow preview of an older file never replaces a newer one
        m_preview = watcher->result();
        refresh();
        Q_EMIT previewLoadFinished();
    });
    watcher->setFuture(QtConcurrent::run(&loadPreviewImage, path));
}

void WallpaperPreviewCard::refresh()
{
    const bool hasPreview = !m_preview.isNull();
    m_emptyPlaceholder->setVisible(!hasPreview && !m_isLoading);
    m_loadingPlaceholder->setVisible(!hasPreview && m_isLoading);
    m_updatingBadge->setVisible(hasPreview && m_isLoading);
    static_cast<PreviewArea *>(m_previewArea)->placeBadge();

    m_title->setText(m_image ? m_image->title : tr("Hubble Space Telescope"));
    // The picture's text alternative: what it shows and whom it is owed to.
    m_previewArea->setAccessibleName(m_image ? tr("Wallpaper: %1").arg(m_image->title.trimmed())
                                             : tr("No wallpaper applied yet"));
    m_previewArea->setAccessibleDescription(m_image ? tr("Credit: %1").arg(m_image->credit) : QString());
    m_description->setVisible(!m_image);
    m_metadataRow->setVisible(m_image.has_value());
    m_credit->setVisible(m_image.has_value());
    m_linksRow->setVisible(m_image.has_value());
    if (m_image) {
        const std::optional<QString> date = m_image->dateCaptured;
        const std::optional<QString> resolution = m_image->resolutionLabel();
        m_dateLabel->setText(date ? capturedDateText(*date) : QString());
        m_dateLabel->setVisible(date.has_value());
        m_resolutionLabel->setText(resolution.value_or(QString()));
        m_resolutionLabel->setVisible(resolution.has_value());
        m_dotLabel->setVisible(date && resolution);
        m_credit->setText(tr("Credit: %1").arg(m_image->credit));
        m_credit->setToolTip(m_image->credit);
        m_revealButton->setVisible(m_localFileURL.has_value());
    }
    update();
}

void WallpaperPreviewCard::paintEvent(QPaintEvent *)
{
    using namespace VelmoraTheme;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF bounds = rect();
    QPainterPath shape;
    shape.addRoundedRect(bounds, kCardRadius, kCardRadius);
    p.fillPath(shape, card());

    p.save();
    p.setClipPath(shape);
    const QRectF area = m_previewArea->geometry();
    p.fillRect(area, secondary());
    if (!m_preview.isNull()) {
        // Fill the area keeping the aspect ratio; the clip crops what overflows.
        const QSizeF filled = QSizeF(m_preview.size()).scaled(area.size(), Qt::KeepAspectRatioByExpanding);
        QRectF target(QPointF(), filled);
        target.moveCenter(area.center());
        p.setClipRect(area, Qt::IntersectClip);
        p.drawImage(target, m_preview);
    }
    p.restore();

    p.setPen(QPen(border(), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5), kCardRadius - 0.5, kCardRadius - 0.5);
}

} // namespace Starvane

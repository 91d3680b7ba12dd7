// SPDX-License-Identifier: GPL-3.0-or-later
#include "pictureinfoview.h"

#include "buttonstyles.h"
#include "cardparts.h"
#include "relativetime.h"
#include "store/wallpaperstore.h"
#include "symbols.h"
#include "velmoratheme.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace Starvane {

using VelmoraTheme::Color;

namespace {
constexpr int kWidth = 460;
constexpr int kMargin = 20;
// A long story scrolls inside the window instead of making it taller than a laptop screen.
constexpr int kMaxDescriptionHeight = 300;

// Texts from the archive are shown as they are: never read as markup, selectable for copying.
QLabel *textLabel(const QFont &font, Color color, QWidget *parent, const QString &name)
{
    QLabel *label = makeLabel({}, font, color, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return label;
}
} // namespace

PictureInfoView::PictureInfoView(WallpaperStore &store, QWidget *parent) : QWidget(parent), m_store(store)
{
    setUpSecondaryWindow(this, QStringLiteral("pictureInfoView"), tr("About This Picture \u2014 Starvane"),
                         tr("About This Picture"), tr("What the wallpaper shows, who made it and how to credit it"));
    setFixedWidth(kWidth);

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(kMargin, kMargin, kMargin, 18);
    root->setSpacing(6);

    m_title = textLabel(VelmoraTheme::systemFont(17, QFont::DemiBold), Color::foreground, this,
                        QStringLiteral("pictureTitle"));
    root->addWidget(m_title);
    m_date = textLabel(VelmoraTheme::systemFont(12), Color::mutedForeground, this, QStringLiteral("pictureDate"));
    root->addWidget(m_date);
    root->addSpacing(6);

    m_descriptionArea = new QScrollArea(this);
    m_descriptionArea->setObjectName(QStringLiteral("pictureDescriptionArea"));
    m_descriptionArea->setFrameShape(QFrame::NoFrame);
    m_descriptionArea->setWidgetResizable(true);
    m_descriptionArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_descriptionArea->viewport()->setAutoFillBackground(false);
    m_description = textLabel(VelmoraTheme::systemFont(12.5), Color::foreground, m_descriptionArea,
                              QStringLiteral("pictureDescription"));
    m_description->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_descriptionArea->setWidget(m_description);
    root->addWidget(m_descriptionArea);
    m_noDescription =
        textLabel(VelmoraTheme::systemFont(12.5), Color::mutedForeground, this, QStringLiteral("pictureNoDescription"));
    root->addWidget(m_noDescription);
    root->addSpacing(6);

    m_creditBlock = new QWidget(this);
    auto *credit = new QVBoxLayout(m_creditBlock);
    credit->setContentsMargins(0, 0, 0, 0);
    credit->setSpacing(2);
    credit->addWidget(makeLabel(tr("Credit"), VelmoraTheme::systemFont(11.5, QFont::DemiBold), Color::mutedForeground,
                                m_creditBlock));
    m_credit =
        textLabel(VelmoraTheme::systemFont(12), Color::foreground, m_creditBlock, QStringLiteral("pictureCredit"));
    credit->addWidget(m_credit);
    root->addWidget(m_creditBlock);
    root->addSpacing(4);

    auto *actions = new QHBoxLayout;
    actions->setSpacing(12);
    m_archiveLink =
        new PlainButton(tr("Open on ESA/Hubble"), VelmoraTheme::systemFont(12, QFont::Medium), Color::link, this);
    m_archiveLink->setObjectName(QStringLiteral("pictureArchiveLink"));
    m_archiveLink->setSymbol(Symbol::arrowUpRight);
    m_archiveLink->setAccessibleDescription(tr("Open this picture's page on the ESA/Hubble website"));
    m_copy = new QPushButton(tr("Copy Credit"), this);
    m_copy->setObjectName(QStringLiteral("pictureCopyCredit"));
    m_copy->setAccessibleDescription(
        tr("Copy one line with the title, the credit, the licence and the page's address"));
    actions->addWidget(m_archiveLink);
    actions->addStretch();
    actions->addWidget(m_copy);
    root->addLayout(actions);

    m_note = makeLabel({}, VelmoraTheme::systemFont(11.5), Color::mutedForeground, this);
    m_note->setObjectName(QStringLiteral("pictureNote"));
    m_note->setWordWrap(true);
    m_note->setVisible(false);
    root->addWidget(m_note);
    root->addSpacing(8);
    addCloseButton(root, this, tr("Close this window"));

    connect(m_archiveLink, &QAbstractButton::clicked, this, [this] {
        if (!m_image) return;
        const bool opened = m_open && m_open(m_image->detailsURL);
        m_note->setVisible(!opened);
        if (!opened) m_note->setText(WindowTexts::linkFailed(m_image->detailsURL));
        fitContent();
    });
    connect(m_copy, &QPushButton::clicked, this, [this] {
        if (!m_image) return;
        QGuiApplication::clipboard()->setText(creditLine(*m_image));
        m_note->setText(tr("The credit is copied; paste it wherever you use the picture."));
        m_note->setVisible(true);
        fitContent();
    });
    connect(&store, &WallpaperStore::currentImageChanged, this, &PictureInfoView::refresh);
    connect(&store, &WallpaperStore::displaysChanged, this, &PictureInfoView::refresh);
    connect(&store, &WallpaperStore::settingsChanged, this, &PictureInfoView::refresh);
    refresh();
}

QString PictureInfoView::creditLine(const HubbleImage &image)
{
    // One line, so that it pastes whole into a caption field; the credit's own lines become "; ".
    QStringList credit;
    for (const QString &line : image.credit.split(QLatin1Char('\n')))
        if (const QString part = line.simplified(); !part.isEmpty()) credit << part;
    QStringList parts{image.title.simplified()};
    if (!credit.isEmpty()) parts << credit.join(QStringLiteral("; "));
    parts << QStringLiteral("ESA/Hubble, CC BY 4.0");
    if (image.detailsURL.isValid()) parts << image.detailsURL.toString();
    parts.removeAll(QString());
    return parts.join(QStringLiteral(" \u2014 "));
}

void PictureInfoView::refresh()
{
    const bool each = m_store.settings().displayScope == DisplayScope::eachDisplay;
    const std::optional<ShownPicture> shown = m_store.screen().shownOn(m_store.selectedDisplay(), each);
    std::optional<HubbleImage> image = shown ? std::optional(shown->image) : std::nullopt;
    if (image != m_image) {
        m_note->setVisible(false); // it spoke of the picture before
        m_descriptionArea->verticalScrollBar()->setValue(0);
    }
    m_image = std::move(image);

    m_title->setText(m_image ? m_image->title.simplified() : tr("No wallpaper yet"));
    const std::optional<QString> date = m_image ? m_image->dateCaptured : std::nullopt;
    //: %1 is a date or a year
    m_date->setText(date ? tr("Captured %1").arg(capturedDateText(*date)) : QString());
    m_date->setVisible(date.has_value());
    const bool hasStory = m_image && m_image->description;
    m_description->setText(hasStory ? *m_image->description : QString());
    m_noDescription->setText(m_image ? tr("The archive page of this picture tells nothing more about it.")
                                     : tr("Starvane has not shown a picture yet."));
    m_descriptionArea->setVisible(hasStory);
    m_noDescription->setVisible(!hasStory);
    m_credit->setText(m_image ? m_image->credit : QString());
    m_creditBlock->setVisible(m_image && !m_image->credit.isEmpty());
    m_archiveLink->setVisible(m_image && m_image->detailsURL.isValid());
    m_archiveLink->setToolTip(m_image ? m_image->detailsURL.toDisplayString() : QString());
    m_copy->setEnabled(m_image.has_value());
    fitContent();
}

void PictureInfoView::fitContent()
{
    // The story as tall as its text, up to the limit; beyond it the text scrolls.
    const int width = kWidth - 2 * kMargin;
    const int height = m_description->heightForWidth(width);
    m_descriptionArea->setFixedHeight(
        qMin(height > 0 ? height : m_description->sizeHint().height(), kMaxDescriptionHeight));
    // Wrapped labels need their height for this width; a plain size hint would squeeze them together.
    layout()->activate();
    setFixedHeight(layout()->totalHeightForWidth(kWidth));
}

} // namespace Starvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "historyview.h"

#include "buttonstyles.h"
#include "integrity/wallpapercache.h"
#include "relativetime.h"
#include "store/picturelibrary.h"
#include "store/wallpaperhistory.h"
#include "store/wallpaperstore.h"
#include "velmoratheme.h"

#include <QFileInfo>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <QtConcurrent>

namespace Starvane {

namespace {
constexpr int kMargin = 14;
constexpr int kThumbnailHeight = 99; // 16:9 at the tile's width
constexpr int kTextLines = 3;
constexpr int kTilePadding = 6;
constexpr int kTitleRole = Qt::UserRole + 1;
constexpr int kDetailRole = Qt::UserRole + 2;
constexpr int kMarksRole = Qt::UserRole + 3;
constexpr int kWhenRole = Qt::UserRole + 4;
// Four lines of the story under the grid.
constexpr int kStoryHeight = 72;

/// One tile: the thumbnail, then title, credit and date with marks, each on one line cut with "…".
class TileDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const override
    {
        return {HistoryView::kTileSide + 2 * kTilePadding,
                kThumbnailHeight + 2 * kTilePadding + kTextLines * option.fontMetrics.lineSpacing() + 4};
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        painter->save();
        const QRect r = option.rect;
        const bool selected = option.state & QStyle::State_Selected;
        if (selected) {
            painter->setRenderHint(QPainter::Antialiasing);
            painter->setPen(Qt::NoPen);
            painter->setBrush(option.palette.color(QPalette::Highlight));
            painter->drawRoundedRect(r.adjusted(1, 1, -1, -1), 8, 8);
        }
        const QRect picture(r.left() + kTilePadding, r.top() + kTilePadding, HistoryView::kTileSide, kThumbnailHeight);
        index.data(Qt::DecorationRole).value<QIcon>().paint(painter, picture);
        // Kept and banned as badges in the picture's corner.
        const QString marks = index.data(kMarksRole).toString();
        if (!marks.isEmpty()) {
            QFont small = option.font;
            small.setPointSizeF(small.pointSizeF() * 0.85);
            small.setWeight(QFont::DemiBold);
            const QFontMetrics fm(small);
            const QRect badge(picture.left() + 6, picture.top() + 6, fm.horizontalAdvance(marks) + 12, fm.height() + 4);
            painter->setRenderHint(QPainter::Antialiasing);
            painter->setPen(Qt::NoPen);
            painter->setBrush(QColor(0, 0, 0, 170));
            painter->drawRoundedRect(badge, badge.height() / 2.0, badge.height() / 2.0);
            painter->setFont(small);
            painter->setPen(Qt::white);
            painter->drawText(badge, Qt::AlignCenter, marks);
        }
        if (option.state & QStyle::State_HasFocus) {
            painter->setPen(QPen(option.palette.color(QPalette::Highlight), 2));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(picture.adjusted(1, 1, -1, -1));
        }
        const QColor text = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
        QColor muted = text;
        muted.setAlphaF(0.7f);
        const int line = option.fontMetrics.lineSpacing();
        QRect lineRect(picture.left(), picture.bottom() + 5, picture.width(), line);
        QFont bold = option.font;
        bold.setWeight(QFont::DemiBold);
        // A credit of several lines reads as one here; the tooltip keeps its lines.
        const QString lines[] = {
            index.data(kTitleRole).toString(),
            index.data(kDetailRole).toString().replace(QLatin1Char('\n'), QStringLiteral(" \u00b7 ")),
            index.data(kWhenRole).toString()};
        for (int i = 0; i < kTextLines; ++i) {
            painter->setFont(i == 0 ? bold : option.font);
            painter->setPen(i == 0 ? text : muted);
            painter->drawText(lineRect, Qt::AlignLeft | Qt::AlignVCenter,
                              QFontMetrics(painter->font()).elidedText(lines[i], Qt::ElideRight, lineRect.width()));
            lineRect.translate(0, line);
        }
        painter->restore();
    }
};
} // namespace

HistoryView::HistoryView(WallpaperStore &store, QWidget *parent)
    : QWidget(parent), m_store(store), m_grid(new QListWidget(this)), m_empty(new QLabel(this)),
      m_show(new QPushButton(tr("Set as Wallpaper"), this)), m_keep(new QPushButton(tr("Keep"), this)),
      m_ban(new QPushButton(tr("Never Again"), this)), m_open(new QPushButton(tr("Open on ESA/Hubble"), this)),
      m_note(new QLabel(this)), m_storyArea(new QScrollArea(this)), m_story(new QLabel(m_storyArea)),
      m_openURL(desktopLinkOpener())
{
    setUpSecondaryWindow(this, QStringLiteral("historyView"), tr("History \u2014 Starvane"), tr("History"),
                         tr("The pictures shown lately, newest first"));

    m_grid->setObjectName(QStringLiteral("historyGrid"));
    m_grid->setViewMode(QListView::IconMode);
    m_grid->setMovement(QListView::Static);
    m_grid->setResizeMode(QListView::Adjust);
    m_grid->setWrapping(true);
    m_grid->setUniformItemSizes(true);
    m_grid->setSpacing(6);
    m_grid->setIconSize(QSize(kTileSide, kThumbnailHeight));
    m_grid->setItemDelegate(new TileDelegate(m_grid));
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setAccessibleName(tr("Wallpapers shown lately"));
    m_grid->setAccessibleDescription(tr("Arrow keys choose a picture; Enter shows it again"));
    m_grid->setMinimumSize(3 * (kTileSide + 2 * kTilePadding + 6) + 30, 2 * (kThumbnailHeight + 80));

    m_empty->setText(tr("No wallpaper has been shown yet."));
    m_empty->setAlignment(Qt::AlignCenter);
    VelmoraTheme::bindTextColor(m_empty, VelmoraTheme::Color::mutedForeground);

    m_show->setObjectName(QStringLiteral("historyShow"));
    m_keep->setObjectName(QStringLiteral("historyKeep"));
    m_keep->setCheckable(true);
    m_ban->setObjectName(QStringLiteral("historyBan"));
    m_ban->setCheckable(true);
    m_open->setObjectName(QStringLiteral("historyOpen"));
    m_show->setAccessibleDescription(tr("Show the selected picture on the desktop again"));
    m_keep->setAccessibleDescription(tr("Copy the selected picture to your Pictures folder"));
    m_ban->setAccessibleDescription(tr("Never show the selected picture again"));
    m_open->setAccessibleDescription(tr("Open the selected picture's page on the ESA/Hubble website"));
    m_note->setObjectName(QStringLiteral("historyNote"));
    m_note->setWordWrap(true);
    m_note->setVisible(false);
    VelmoraTheme::bindTextColor(m_note, VelmoraTheme::Color::mutedForeground);

    // The story of the selected picture in a space of four lines, whatever its length, so the grid stays
    // put while the arrow keys move through it; a longer story scrolls.
    m_story->setObjectName(QStringLiteral("historyStory"));
    m_story->setFont(VelmoraTheme::systemFont(12));
    m_story->setTextFormat(Qt::PlainText);
    m_story->setWordWrap(true);
    m_story->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_story->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_story->setAccessibleName(tr("What the selected picture shows"));
    m_storyArea->setObjectName(QStringLiteral("historyStoryArea"));
    m_storyArea->setFrameShape(QFrame::NoFrame);
    m_storyArea->setWidgetResizable(true);
    m_storyArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_storyArea->viewport()->setAutoFillBackground(false);
    m_storyArea->setWidget(m_story);
    m_storyArea->setFixedHeight(kStoryHeight);
    m_storyArea->setVisible(false);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    for (QPushButton *b : {m_show, m_keep, m_ban, m_open})
        buttons->addWidget(b);
    buttons->addStretch();

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    root->addWidget(m_grid, 1);
    root->addWidget(m_empty, 1);
    root->addWidget(m_storyArea);
    root->addWidget(m_note);
    root->addLayout(buttons);

    connect(m_grid, &QListWidget::currentRowChanged, this, &HistoryView::refreshActions);
    // Enter or a double click shows the picture again, as the first button does.
    connect(m_grid, &QListWidget::itemActivated, this, [this] { m_show->click(); });
    connect(m_show, &QPushButton::clicked, this, [this] {
        if (const int i = selectedIndex(); i >= 0) m_store.changes().requestHistoryEntry(i);
    });
    connect(m_keep, &QPushButton::clicked, this, [this] {
        const int i = selectedIndex();
        if (i < 0) return;
        const QString id = m_store.library().history().entries().at(i).id;
        if (m_store.library().kept().isKept(id))
            m_store.library().unkeep(id);
        else
            m_store.keepHistoryEntry(i);
        refreshActions();
    });
    connect(m_ban, &QPushButton::clicked, this, [this] {
        const int i = selectedIndex();
        if (i < 0) return;
        const QString id = m_store.library().history().entries().at(i).id;
        if (m_store.library().history().isBannedID(id))
            m_store.library().liftBan(id);
        else
            m_store.banHistoryEntry(i);
    });
    connect(m_open, &QPushButton::clicked, this, [this] {
        const int i = selectedIndex();
        if (i < 0) return;
        const auto page = m_store.archivePage(m_store.library().history().entries().at(i).id);
        if (!page) return;
        if (!m_openURL || !m_openURL(*page)) {
            m_note->setText(WindowTexts::linkFailed(*page));
            m_note->setVisible(true);
        }
    });
    connect(&m_store, &WallpaperStore::historyChanged, this, &HistoryView::rebuild);
    connect(&m_store, &WallpaperStore::isLoadingChanged, this, &HistoryView::refreshActions);
    rebuild();
    // Three tiles wide and, where the screen allows, three rows tall; never taller than the screen leaves free
    // (with room for a title bar).
    const int freeHeight = screen() ? screen()->availableGeometry().height() - 48 : 600;
    resize(3 * (kTileSide + 2 * kTilePadding + 6) + 2 * kMargin + 40,
           qMax(minimumSizeHint().height(), qMin(600, freeHeight)));
}

QString HistoryView::thumbnailSource(const QString &thumbnail, const QString &file)
{
    if (!thumbnail.isEmpty() && QFileInfo(thumbnail).isFile()) return thumbnail;
    if (!file.isEmpty() && QFileInfo(file).isFile()) return file;
    return {};
}

int HistoryView::selectedIndex() const
{
    const QListWidgetItem *item = m_grid->currentItem();
    if (!item || !item->isSelected()) return -1;
    const int index = item->data(Qt::UserRole).toInt();
    return index < m_store.library().history().entries().size() ? index : -1;
}

void HistoryView::rebuild()
{
    const int previous = qMax(0, m_grid->currentRow());
    ++m_generation;
    m_grid->clear();
    const QList<HistoryEntry> &entries = m_store.library().history().entries();
    const QLocale locale;
    for (int i = 0; i < entries.size(); ++i) {
        const HistoryEntry &e = entries[i];
        const QString title = e.title.isEmpty() ? e.id : e.title;
        const QString when = dateTimeText(e.shownAt, locale);
        QStringList marks;
        if (m_store.library().kept().isKept(e.id)) marks << tr("Kept");
        if (m_store.library().history().isBannedID(e.id)) marks << tr("Never again");
        const QStringList lines{title, e.credit, when};
        auto *item = new QListWidgetItem(m_grid);
        item->setData(Qt::UserRole, i);
        item->setData(kTitleRole, title);
        item->setData(kDetailRole, e.credit);
        item->setData(kMarksRole, marks.join(QStringLiteral(" \u00b7 ")));
        item->setData(kWhenRole, when);
        item->setToolTip(lines.join(QLatin1Char('\n')) +
                         (marks.isEmpty() ? QString() : QLatin1Char('\n') + marks.join(QStringLiteral(", "))));
        item->setData(Qt::AccessibleTextRole, (lines + marks).join(QStringLiteral(", ")));
        QPixmap blank(kTileSide, kThumbnailHeight);
        blank.fill(VelmoraTheme::secondary());
        item->setIcon(QIcon(blank));
        const QString source = thumbnailSource(e.thumbnail, e.file);
        if (!source.isEmpty()) loadThumbnail(item, source);
    }
    m_grid->setVisible(!entries.isEmpty());
    m_empty->setVisible(entries.isEmpty());
    if (!entries.isEmpty()) {
        m_grid->setCurrentRow(qMin(previous, int(entries.size()) - 1));
        m_grid->currentItem()->setSelected(true);
    }
    refreshActions();
    if (m_pending == 0) Q_EMIT thumbnailsLoaded();
}

void HistoryView::loadThumbnail(QListWidgetItem *item, const QString &path)
{
    ++m_pending;
    auto *watcher = new QFutureWatcher<QImage>(this);
    const int row = m_grid->row(item);
    const quint64 generation = m_generation;
    connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher, row, generation] {
        watcher->deleteLater();
        --m_pending;
        // A rebuild since has items of its own.
        if (generation == m_generation) {
            if (QListWidgetItem *it = m_grid->item(row); it && !watcher->result().isNull()) {
                // Centre-cropped to the tile's shape, so the grid stays even.
                const QImage image = watcher->result().scaled(QSize(kTileSide, kThumbnailHeight),
                                                              Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
                const QRect crop((image.width() - kTileSide) / 2, (image.height() - kThumbnailHeight) / 2, kTileSide,
                                 kThumbnailHeight);
                it->setIcon(QIcon(QPixmap::fromImage(image.copy(crop))));
            }
        }
        if (m_pending == 0) Q_EMIT thumbnailsLoaded();
    });
    watcher->setFuture(QtConcurrent::run([path] { return WallpaperCache::decodeThumbnail(path, kThumbnailSide); }));
}

void HistoryView::refreshActions()
{
    const int i = selectedIndex();
    const bool has = i >= 0;
    const bool loading = m_store.isLoading();
    m_note->setVisible(false);
    for (QPushButton *b : {m_show, m_keep, m_ban, m_open}) {
        b->setEnabled(has);
        b->setToolTip({});
    }
    m_storyArea->setVisible(has && !m_store.library().history().entries().at(i).description.isEmpty());
    if (!has) return;
    const HistoryEntry &e = m_store.library().history().entries().at(i);
    if (m_story->text() != e.description) {
        m_story->setText(e.description);
        m_storyArea->verticalScrollBar()->setValue(0);
    }
    const bool kept = m_store.library().kept().isKept(e.id);
    m_keep->setChecked(kept);
    m_keep->setText(kept ? tr("Kept") : tr("Keep"));
    m_keep->setAccessibleDescription(kept ? tr("Kept in your Pictures folder; press to no longer keep it")
                                          : tr("Copy the selected picture to your Pictures folder"));
    const bool banned = m_store.library().history().isBannedID(e.id);
    m_ban->setChecked(banned);
    m_ban->setText(banned ? tr("Allow Again") : tr("Never Again"));
    m_ban->setAccessibleDescription(banned ? tr("Let the selected picture come back in the rotation")
                                           : tr("Never show the selected picture again"));
    // A picture whose file is gone can be kept only once it is shown (and fetched) again.
    const bool hasFile = !e.file.isEmpty() && QFileInfo(e.file).isFile();
    QString reason;
    if (banned) {
        reason = tr("Never again: this picture is not shown or kept until you allow it again.");
        m_show->setEnabled(false);
        m_keep->setEnabled(kept); // what was kept before can still be let go
    } else {
        m_show->setEnabled(!loading);
        m_keep->setEnabled(kept || hasFile);
        if (loading) m_show->setToolTip(tr("A wallpaper is being fetched; try again when it is done."));
        if (!kept && !hasFile)
            m_keep->setToolTip(tr("Its file is no longer saved: show the picture again to keep it."));
    }
    if (!reason.isEmpty()) {
        m_show->setToolTip(reason);
        if (!m_keep->isEnabled()) m_keep->setToolTip(reason);
        m_note->setText(reason);
        m_note->setVisible(true);
    }
}

} // namespace Starvane

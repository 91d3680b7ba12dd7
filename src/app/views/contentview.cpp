// SPDX-License-Identifier: GPL-3.0-or-later
#include "contentview.h"

#include "errortext.h"

#include "displaypreviewrow.h"

#include "buttonstyles.h"
#include "cardparts.h"
#include "elidinglabel.h"
#include "errorbanner.h"
#include "models/errors.h"
#include "relativetime.h"
#include "settingscard.h"
#include "velmoratheme.h"
#include "wallpaperpreviewcard.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace Starvane {

using VelmoraTheme::Color;

namespace {
constexpr int kPadding = 18;
constexpr int kSpacing = 14;
constexpr int kHeaderIconSide = 28;
// An automatic change this close (or overdue) is about to happen or already happening.
constexpr qint64 kShortlyThresholdSeconds = 45;

} // namespace

ContentView::ContentView(WallpaperStore &store, QWidget *parent, WallpaperStore::Clock now)
    : QWidget(parent), m_store(store), m_now(std::move(now))
{
    setObjectName(QStringLiteral("contentView"));
    setFixedWidth(kContentWidth);
    // The brand colour tints every control inside (selection in menus, focus rings).
    VelmoraTheme::whenAppearanceChanges(this, [this] {
        QPalette p = palette();
        p.setColor(QPalette::Highlight, VelmoraTheme::primary());
        p.setColor(QPalette::HighlightedText, VelmoraTheme::primaryForeground());
        p.setColor(QPalette::Window, VelmoraTheme::background());
        setPalette(p);
        update();
    });

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    root->setSpacing(kSpacing);

    root->addWidget(makeHeader());
    m_preview = new WallpaperPreviewCard(this);
    root->addWidget(m_preview);
    connect(m_preview, &WallpaperPreviewCard::aboutPictureRequested, this, &ContentView::aboutPictureRequested);
    m_displays = new DisplayPreviewRow(this);
    // Keep and Never Again in the menus act on the display whose preview is chosen.
    connect(m_displays, &DisplayPreviewRow::selectedKeyChanged, &store, &WallpaperStore::setSelectedDisplay);
    root->addWidget(m_displays);
    root->addWidget(makeActionRow());
    m_settings = new SettingsCard(store, this);
    root->addWidget(m_settings);
    m_errorBanner = new ErrorBanner(this);
    root->addWidget(m_errorBanner);
    m_footer = makeLabel({}, VelmoraTheme::systemFont(11.5), Color::mutedForeground, this);
    m_footer->setObjectName(QStringLiteral("footerStatus"));
    m_footer->setContentsMargins(2, 0, 2, 0);
    root->addWidget(m_footer);

    connect(m_errorBanner, &ErrorBanner::retryRequested, &m_store, &WallpaperStore::requestNextWallpaper);

    connect(&store, &WallpaperStore::currentImageChanged, this, &ContentView::refreshPreview);
    connect(&store, &WallpaperStore::currentLocalFileURLChanged, this, &ContentView::refreshPreview);
    connect(&store, &WallpaperStore::isLoadingChanged, this, [this] {
        refreshPreview();
        refreshActions();
        refreshErrorBanner();
    });
    connect(&store, &WallpaperStore::settingsChanged, this, [this] {
        refreshActions();
        refreshFooter();
        updateStatusTick();
    });
    connect(&store, &WallpaperStore::errorMessageChanged, this, &ContentView::refreshErrorBanner);
    connect(&store, &WallpaperStore::askingForPermissionChanged, this, &ContentView::refreshErrorBanner);
    connect(&store, &WallpaperStore::displaysChanged, this, &ContentView::refreshDisplays);
    connect(&store, &WallpaperStore::settingsChanged, this, &ContentView::refreshDisplays);
    connect(&store, &WallpaperStore::nextChangeDateChanged, this, &ContentView::refreshFooter);
    connect(&store, &WallpaperStore::networkHoldChanged, this, &ContentView::refreshFooter);

    m_statusTick.setInterval(kStatusTickMs);
    connect(&m_statusTick, &QTimer::timeout, this, &ContentView::refreshFooter);

    refreshPreview();
    refreshDisplays();
    refreshActions();
    refreshErrorBanner();
    refreshFooter();
    fitHeight();
}

void ContentView::refreshDisplays()
{
    const bool each = m_store.settings().displayScope == DisplayScope::eachDisplay;
    m_displays->setDisplays(each ? m_store.displayStates() : QList<DisplayState>());
    fitHeight();
}

QWidget *ContentView::makeHeader()
{
    auto *header = new QWidget(this);
    header->setObjectName(QStringLiteral("header"));
    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    const QIcon appIcon = QApplication::windowIcon();
    if (!appIcon.isNull()) {
        auto *icon = new QLabel(header);
        icon->setObjectName(QStringLiteral("appIcon"));
        icon->setFixedSize(kHeaderIconSide, kHeaderIconSide);
        icon->setAlignment(Qt::AlignCenter);
        const qreal dpr = devicePixelRatioF();
        QPixmap pm = appIcon.pixmap(QSize(kHeaderIconSide, kHeaderIconSide), dpr);
        pm = pm.scaled(QSize(kHeaderIconSide, kHeaderIconSide) * dpr, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        pm.setDevicePixelRatio(dpr);
        icon->setPixmap(pm);
        row->addWidget(icon, 0, Qt::AlignVCenter);
    }
    auto *titles = new QVBoxLayout;
    titles->setSpacing(1);
    titles->addWidget(makeLabel(QStringLiteral("Starvane"), VelmoraTheme::systemFont(16, QFont::DemiBold),
                                Color::foreground, header));
    titles->addWidget(makeLabel(tr("Wallpapers shipped from Hubble Telescope"), VelmoraTheme::systemFont(11.5),
                                Color::mutedForeground, header));
    row->addLayout(titles);
    row->addStretch();
    return header;
}

QWidget *ContentView::makeActionRow()
{
    auto *actions = new QWidget(this);
    auto *row = new QHBoxLayout(actions);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    m_next = new VelmoraButton(VelmoraButton::Kind::primary, actions);
    m_next->setObjectName(QStringLiteral("nextWallpaper"));
    m_pause = new VelmoraButton(VelmoraButton::Kind::secondary, actions);
    m_pause->setObjectName(QStringLiteral("pauseResume"));
    row->addWidget(m_next, 1);
    row->addWidget(m_pause, 0);
    connect(m_next, &QAbstractButton::clicked, &m_store, &WallpaperStore::requestNextWallpaper);
    connect(m_pause, &QAbstractButton::clicked, &m_store, &WallpaperStore::togglePaused);
    return actions;
}

void ContentView::setRevealFileHandler(std::function<void(const QUrl &)> handler)
{
    m_preview->setRevealFileHandler(std::move(handler));
}

void ContentView::refreshPreview()
{
    m_preview->setImage(m_store.currentImage());
    m_preview->setLocalFileURL(m_store.currentLocalFileURL());
    m_preview->setLoading(m_store.isLoading());
}

void ContentView::refreshActions()
{
    const bool loading = m_store.isLoading();
    m_next->setBusy(loading);
    m_next->setText(loading ? tr("Fetching…") : tr("Next Wallpaper"));
    m_next->setAccessibleDescription(loading ? tr("A new wallpaper is being fetched from the ESA/Hubble archive")
                                             : tr("Fetch and apply a new wallpaper now"));
    m_next->setSymbol(Symbol::arrowTriangle2Circlepath);
    m_next->setEnabled(!loading);

    const AppSettings &s = m_store.settings();
    m_pause->setVisible(s.frequency != ChangeFrequency::manual);
    //: Button: resume automatic wallpaper changes
    m_pause->setText(s.isPaused ? tr("Resume") : tr("Pause", "automatic changes"));
    m_pause->setAccessibleDescription(s.isPaused ? tr("Resume changing the wallpaper on schedule")
                                                 : tr("Stop changing the wallpaper on schedule until resumed"));
    m_pause->setSymbol(s.isPaused ? Symbol::playFill : Symbol::pauseFill);
}

void ContentView::refreshErrorBanner()
{
    // The desktop's question is on screen, not here: nothing to retry until it is answered.
    const bool asking = m_store.isAskingForPermission();
    const ErrorText text = ErrorText::of(m_store);
    m_errorBanner->setVisible(asking || !text.isEmpty());
    if (asking)
        m_errorBanner->setMessage(
            tr("The desktop is asking whether Starvane may change the background. Answer its question to go on."));
    else if (!text.isEmpty())
        m_errorBanner->setMessage(text.joined());
    m_errorBanner->retryButton()->setVisible(!asking);
    m_errorBanner->retryButton()->setEnabled(!m_store.isLoading());
}

QString ContentView::scheduledText(ChangeFrequency frequency)
{
    // One sentence per choice: a frequency's name cannot be lower-cased into a sentence in every language.
    switch (frequency) {
    case ChangeFrequency::every5Minutes:
        return tr("Scheduled every 5 minutes");
    case ChangeFrequency::every15Minutes:
        return tr("Scheduled every 15 minutes");
    case ChangeFrequency::hourly:
        return tr("Scheduled every hour");
    case ChangeFrequency::daily:
        return tr("Scheduled daily");
    case ChangeFrequency::manual:
        break;
    }
    return tr("Auto-change is off");
}

QString ContentView::networkHoldText(NetworkHold hold)
{
    switch (hold) {
    case NetworkHold::offline:
        return tr("Waiting for a network connection");
    case NetworkHold::meteredSaved:
        return tr("Metered connection: showing saved pictures");
    case NetworkHold::meteredWaiting:
        return tr("Metered connection: waiting to download");
    case NetworkHold::none:
        break;
    }
    return {};
}

QString ContentView::scheduleStatusText(const QDateTime &now) const
{
    const AppSettings &s = m_store.settings();
    if (s.frequency == ChangeFrequency::manual) return tr("Auto-change is off");
    if (s.isPaused) return tr("Auto-change is paused");
    if (const QString held = networkHoldText(m_store.changes().networkHold()); !held.isEmpty()) return held;
    const std::optional<QDateTime> &next = m_store.nextChangeDate();
    if (!next) return scheduledText(s.frequency);
    // Whole milliseconds, so that 45.5 seconds ahead is not yet "shortly".
    if (now.msecsTo(*next) <= kShortlyThresholdSeconds * 1000) return tr("Changing shortly…");
    //: %1 is a relative time such as "in 14 min."
    return tr("Next change %1").arg(shortRelativeTime(*next, now));
}

void ContentView::refreshFooter()
{
    m_footer->setText(scheduleStatusText(m_now()));
}

void ContentView::updateStatusTick()
{
    // Ticking only matters while someone can see it and the schedule is running.
    const bool tick = m_store.isAutoRotationActive() && isVisible() && !window()->isMinimized();
    if (tick && !m_statusTick.isActive())
        m_statusTick.start();
    else if (!tick)
        m_statusTick.stop();
}

void ContentView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_watchingWindow) {
        window()->installEventFilter(this); // minimising stops the tick too
        m_watchingWindow = true;
    }
    refreshFooter();
    updateStatusTick();
}

bool ContentView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == window() && event->type() == QEvent::WindowStateChange) {
        if (!window()->isMinimized()) refreshFooter();
        updateStatusTick();
    }
    return QWidget::eventFilter(watched, event);
}

void ContentView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    updateStatusTick();
}

QSize ContentView::sizeHint() const
{
    return {kContentWidth, layout() ? layout()->heightForWidth(kContentWidth) : 0};
}

void ContentView::fitHeight()
{
    // Width is fixed; the height is whatever the content needs at that width.
    const int h = layout()->heightForWidth(kContentWidth);
    if (h > 0 && h != height()) setFixedHeight(h);
}

bool ContentView::event(QEvent *event)
{
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::LayoutRequest) fitHeight();
    return handled;
}

void ContentView::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), VelmoraTheme::background());
}

} // namespace Starvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "preferencesview.h"

#include "buttonstyles.h"
#include "cardparts.h"
#include "store/storesettings.h"
#include "store/wallpaperstore.h"
#include "velmoratheme.h"
#include "windowparts.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QWindow>
#include <functional>

namespace Starvane {

using VelmoraTheme::Color;

namespace {
constexpr int kWidth = 460;
constexpr int kMargin = 18;
// The description lines up with the switch's text, not with its box.
constexpr int kDescriptionIndent = 26;
// Left free above and below for the window's title bar and frame.
constexpr int kScreenRoom = 48;

QLabel *wrappedLabel(const QString &text, const QFont &font, Color color, QWidget *parent)
{
    QLabel *label = makeLabel(text, font, color, parent);
    label->setWordWrap(true);
    return label;
}
} // namespace

PreferencesView::PreferencesView(WallpaperStore &store, QWidget *parent) : QWidget(parent), m_store(store)
{
    setUpSecondaryWindow(this, QStringLiteral("preferencesView"), tr("Preferences \u2014 Starvane"), tr("Preferences"),
                         tr("Wallpaper, lock screen, network, notification and startup choices of Starvane"));
    setFixedWidth(kWidth);

    // The switches scroll where the screen is too short for all of them; Close always stays in view.
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, kMargin);
    outer->setSpacing(10);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("preferencesScroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *content = new QWidget(m_scroll);
    auto *root = new QVBoxLayout(content);
    root->setContentsMargins(kMargin, kMargin, kMargin, 0);
    root->setSpacing(14);

    QVBoxLayout *wallpaper = addGroup(root, tr("Wallpaper"));
    m_showCaption =
        addSwitch(wallpaper, QStringLiteral("showCaptionToggle"), tr("Show title and credit on the wallpaper"),
                  tr("Writes them small in a corner that stays on screen, on a copy of the picture."));
    m_dimInDarkStyle =
        addSwitch(wallpaper, QStringLiteral("dimInDarkStyleToggle"), tr("Dim the wallpaper in dark style"),
                  tr("Shows a darker copy of the picture while the desktop uses dark colours."));

    QVBoxLayout *lock = addGroup(root, tr("Lock screen"));
    m_lockScreen =
        addSwitch(lock, QStringLiteral("lockScreenToggle"), tr("Also use for the lock screen"),
                  tr("Each new picture goes on the lock screen as well as on the desktop."), &m_lockScreenNote);

    QVBoxLayout *network = addGroup(root, tr("Network"));
    m_downloadOnMetered = addSwitch(
        network, QStringLiteral("downloadOnMeteredToggle"), tr("Download on metered connections"),
        tr("When off, automatic changes on a metered connection show pictures already saved on this computer."));
    m_saveData = addSwitch(network, QStringLiteral("saveDataToggle"), tr("Save data"),
                           tr("Downloads the smallest file that still fills your largest display."));

    QVBoxLayout *notifications = addGroup(root, tr("Notifications"));
    m_notify = addSwitch(notifications, QStringLiteral("notifyToggle"), tr("Notify when the wallpaper changes"),
                         tr("Shows each new picture as a desktop notification, with Next and Keep buttons."));

    QVBoxLayout *startup = addGroup(root, tr("Startup"));
    m_launchAtLogin = addSwitch(startup, QStringLiteral("launchAtLoginToggle"), tr("Launch at login"),
                                tr("Starts Starvane in the tray when you log in, without opening its window."));
    startup->parentWidget()->setVisible(false); // until someone says where the autostart entry lives

    m_problem = wrappedLabel({}, VelmoraTheme::systemFont(11.5), Color::destructive, this);
    m_problem->setObjectName(QStringLiteral("preferencesProblem"));
    m_problem->setVisible(false);
    root->addWidget(m_problem);
    m_scroll->setWidget(content);
    outer->addWidget(m_scroll);

    auto *bottom = new QVBoxLayout;
    bottom->setContentsMargins(kMargin, 0, kMargin, 0);
    outer->addLayout(bottom);
    m_close = addCloseButton(bottom, this, tr("Close the preferences; every change is already saved"));

    // Each switch calls its own store operation, then shows what the store made of it.
    const auto toggle = [this](QCheckBox *box, std::function<void(WallpaperStore &, bool)> update) {
        connect(box, &QCheckBox::clicked, this, [this, update = std::move(update)](bool on) {
            update(m_store, on);
            syncFromStore();
        });
    };
    toggle(m_showCaption, [](WallpaperStore &s, bool on) { s.settingsObject().setShowCaption(on); });
    toggle(m_dimInDarkStyle, [](WallpaperStore &s, bool on) { s.settingsObject().setDimInDarkStyle(on); });
    toggle(m_lockScreen, [](WallpaperStore &s, bool on) { s.setLockScreenEnabled(on); });
    toggle(m_downloadOnMetered, [](WallpaperStore &s, bool on) { s.settingsObject().setDownloadOnMetered(on); });
    toggle(m_saveData, [](WallpaperStore &s, bool on) { s.settingsObject().setSaveData(on); });
    toggle(m_notify, [](WallpaperStore &s, bool on) { s.settingsObject().setNotifyOnChange(on); });
    connect(m_launchAtLogin, &QCheckBox::clicked, this, [this](bool on) {
        QString error;
        const bool written = m_writeLaunchAtLogin && m_writeLaunchAtLogin(on, &error);
        m_problem->setVisible(!written);
        if (!written)
            //: %1 is the file system's reason
            m_problem->setText(tr("Launch at login could not be changed: %1").arg(error));
        syncFromStore();
    });
    connect(&m_store, &WallpaperStore::settingsChanged, this, &PreferencesView::syncFromStore);
    connect(&m_store, &WallpaperStore::lockScreenEnabledChanged, this, &PreferencesView::syncFromStore);
    syncFromStore();
    fitToScreen();
}

QVBoxLayout *PreferencesView::addGroup(QVBoxLayout *root, const QString &title)
{
    auto *group = new QWidget(this);
    auto *column = new QVBoxLayout(group);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    QLabel *heading = makeLabel(title, VelmoraTheme::systemFont(13, QFont::DemiBold), Color::foreground, group);
    column->addWidget(heading);
    root->addWidget(group);
    return column;
}

QCheckBox *PreferencesView::addSwitch(QVBoxLayout *group, const QString &name, const QString &text,
                                      const QString &description, QLabel **note)
{
    QWidget *parent = group->parentWidget();
    auto *box = new QCheckBox(text, parent);
    box->setObjectName(name);
    box->setFont(VelmoraTheme::systemFont(13));
    box->setAccessibleDescription(description);
    group->addWidget(box);
    QLabel *explained = wrappedLabel(description, VelmoraTheme::systemFont(11.5), Color::mutedForeground, parent);
    explained->setObjectName(name + QStringLiteral("Description"));
    explained->setContentsMargins(kDescriptionIndent, 0, 0, 4);
    group->addWidget(explained);
    if (note) {
        *note = wrappedLabel({}, VelmoraTheme::systemFont(11.5), Color::mutedForeground, parent);
        (*note)->setObjectName(name + QStringLiteral("Note"));
        (*note)->setContentsMargins(kDescriptionIndent, 0, 0, 4);
        group->addWidget(*note);
    }
    return box;
}

void PreferencesView::setLaunchAtLogin(std::function<bool()> read, std::function<bool(bool, QString *)> write)
{
    m_readLaunchAtLogin = std::move(read);
    m_writeLaunchAtLogin = std::move(write);
    m_launchAtLogin->parentWidget()->setVisible(bool(m_readLaunchAtLogin));
    syncFromStore();
    fitToScreen();
}

void PreferencesView::fitToScreen()
{
    // All of it where the screen has room; else as tall as the screen leaves free, and the switches scroll.
    QWidget *content = m_scroll->widget();
    const int contentHeight = content->layout()->totalHeightForWidth(kWidth);
    const QMargins outer = layout()->contentsMargins();
    int wanted = contentHeight + layout()->spacing() + m_close->sizeHint().height() + outer.top() + outer.bottom();
    if (const QScreen *s = screen()) wanted = std::min(wanted, s->availableGeometry().height() - kScreenRoom);
    resize(kWidth, wanted);
}

void PreferencesView::showEvent(QShowEvent *event)
{
    // Sent to another monitor: that one's room counts.
    if (windowHandle())
        connect(windowHandle(), &QWindow::screenChanged, this, &PreferencesView::fitToScreen, Qt::UniqueConnection);
    fitToScreen();
    // The autostart entry can change behind our back (another instance, the desktop's settings).
    syncFromStore();
    QWidget::showEvent(event);
}

void PreferencesView::syncFromStore()
{
    const AppSettings &s = m_store.settings();
    const bool lockScreen = m_store.supportsLockScreen();
    m_lockScreen->setEnabled(lockScreen);
    m_lockScreen->setChecked(m_store.lockScreenEnabled());
    m_lockScreenNote->setVisible(!lockScreen);
    m_lockScreenNote->setText(tr("This desktop's lock screen cannot be given a picture."));
    m_lockScreen->setAccessibleDescription(
        lockScreen ? tr("Each new picture goes on the lock screen as well as on the desktop.")
                   : tr("This desktop's lock screen cannot be given a picture."));
    m_showCaption->setChecked(s.showCaption);
    m_dimInDarkStyle->setChecked(s.dimInDarkStyle);
    m_downloadOnMetered->setChecked(s.downloadOnMetered);
    m_saveData->setChecked(s.saveData);
    m_notify->setChecked(s.notifyOnChange);
    if (m_readLaunchAtLogin) m_launchAtLogin->setChecked(m_readLaunchAtLogin());
}

} // namespace Starvane

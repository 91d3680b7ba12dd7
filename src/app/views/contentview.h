// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/wallpaperstore.h"

#include <QTimer>
#include <QWidget>
#include <functional>

class QLabel;

namespace Starvane {

class DisplayPreviewRow;
class ErrorBanner;
class SettingsCard;
class VelmoraButton;
class WallpaperPreviewCard;

/// The content of the main window: header, preview card, actions, settings card, error banner and
/// the schedule status. It only observes the store and calls its operations.
class ContentView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kContentWidth = 416;
    static constexpr int kStatusTickMs = 30'000;

    explicit ContentView(WallpaperStore &store, QWidget *parent = nullptr,
                         WallpaperStore::Clock now = WallpaperStore::defaultClock());

    /// The footer text for the moment `now`.
    QString scheduleStatusText(const QDateTime &now) const;
    /// Why the connection holds automatic changes back, in a few words; empty when it does not.
    static QString networkHoldText(NetworkHold hold);

    /// How "Reveal File" shows the cached file (the desktop layer's file-manager reveal).
    void setRevealFileHandler(std::function<void(const QUrl &file)> handler);

    WallpaperPreviewCard *previewCard() const { return m_preview; }
    DisplayPreviewRow *displayPreviews() const { return m_displays; }
    SettingsCard *settingsCard() const { return m_settings; }
    VelmoraButton *nextButton() const { return m_next; }
    VelmoraButton *pauseButton() const { return m_pause; }
    ErrorBanner *errorBanner() const { return m_errorBanner; }
    QLabel *footerLabel() const { return m_footer; }
    /// Whether the footer re-evaluates itself every 30 seconds right now.
    bool isStatusTicking() const { return m_statusTick.isActive(); }

    bool hasHeightForWidth() const override { return false; }
    QSize sizeHint() const override;

Q_SIGNALS:
    /// "About This Picture" was chosen in the preview card.
    void aboutPictureRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static QString scheduledText(ChangeFrequency frequency);
    QWidget *makeHeader();
    QWidget *makeActionRow();
    void refreshPreview();
    void refreshDisplays();
    void refreshActions();
    void refreshErrorBanner();
    void refreshFooter();
    void updateStatusTick();
    void fitHeight();

    WallpaperStore &m_store;
    WallpaperStore::Clock m_now;
    QTimer m_statusTick;
    bool m_watchingWindow = false;

    WallpaperPreviewCard *m_preview = nullptr;
    DisplayPreviewRow *m_displays = nullptr;
    VelmoraButton *m_next = nullptr;
    VelmoraButton *m_pause = nullptr;
    SettingsCard *m_settings = nullptr;
    ErrorBanner *m_errorBanner = nullptr;
    QLabel *m_footer = nullptr;
};

} // namespace Starvane

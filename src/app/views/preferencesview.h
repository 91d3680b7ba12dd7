// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <functional>

class QCheckBox;
class QScrollArea;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace Starvane {

class WallpaperStore;

/// The choices beyond the main window's two: the lock screen, how sparingly to download, notifications and
/// starting at login, grouped, each switch explained by a line under it. Every switch shows the store's
/// setting at all times and changes it only through the store's operations.
class PreferencesView : public QWidget
{
    Q_OBJECT

public:
    explicit PreferencesView(WallpaperStore &store, QWidget *parent = nullptr);

    /// Where "Launch at login" reads and writes (the autostart entry); without it the switch is hidden.
    /// `write` returns false with a reason when the file system refused.
    void setLaunchAtLogin(std::function<bool()> read, std::function<bool(bool on, QString *error)> write);

    QCheckBox *showCaptionToggle() const { return m_showCaption; }
    QCheckBox *dimInDarkStyleToggle() const { return m_dimInDarkStyle; }
    QCheckBox *lockScreenToggle() const { return m_lockScreen; }
    QCheckBox *downloadOnMeteredToggle() const { return m_downloadOnMetered; }
    QCheckBox *saveDataToggle() const { return m_saveData; }
    QCheckBox *notifyToggle() const { return m_notify; }
    QCheckBox *launchAtLoginToggle() const { return m_launchAtLogin; }
    /// The line under the lock-screen switch (why it is off on desktops that cannot).
    QLabel *lockScreenNote() const { return m_lockScreenNote; }
    /// Shows why the last change could not be made; hidden otherwise.
    QLabel *problemLabel() const { return m_problem; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    QCheckBox *addSwitch(QVBoxLayout *group, const QString &name, const QString &text, const QString &description,
                         QLabel **note = nullptr);
    QVBoxLayout *addGroup(QVBoxLayout *root, const QString &title);
    void syncFromStore();
    void fitToScreen();

    WallpaperStore &m_store;
    QCheckBox *m_showCaption = nullptr;
    QCheckBox *m_dimInDarkStyle = nullptr;
    QCheckBox *m_lockScreen = nullptr;
    QLabel *m_lockScreenNote = nullptr;
    QCheckBox *m_downloadOnMetered = nullptr;
    QCheckBox *m_saveData = nullptr;
    QCheckBox *m_notify = nullptr;
    QCheckBox *m_launchAtLogin = nullptr;
    QLabel *m_problem = nullptr;
    QPushButton *m_close = nullptr;
    QScrollArea *m_scroll = nullptr;
    std::function<bool()> m_readLaunchAtLogin;
    std::function<bool(bool, QString *)> m_writeLaunchAtLogin;
};

} // namespace Starvane

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QComboBox>
#include <QWidget>

namespace Starvane {

class ElidingLabel;
class WallpaperStore;

/// A pop-up menu in the brand tint: the current choice and up/down chevrons.
class MenuPicker : public QComboBox
{
    Q_OBJECT

public:
    explicit MenuPicker(QWidget *parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    void applyPalette();
    bool m_keyboardFocus = false;
};

/// How often the wallpaper changes and which displays get it (the rest is in the preferences). The controls show the
/// store's settings at all times and change them only through the store's operations.
class SettingsCard : public QWidget
{
    Q_OBJECT

public:
    explicit SettingsCard(WallpaperStore &store, QWidget *parent = nullptr);

    MenuPicker *frequencyPicker() const { return m_frequency; }
    MenuPicker *displayScopePicker() const { return m_displayScope; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void syncFromStore();

    WallpaperStore &m_store;
    MenuPicker *m_frequency;
    MenuPicker *m_displayScope;
    ElidingLabel *m_singlePictureNote;
};

} // namespace Starvane

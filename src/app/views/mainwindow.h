// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/wallpaperstore.h"

#include <QMainWindow>
#include <QPointer>

class QScrollArea;
class QScreen;

namespace Starvane {

class ContentView;

/// The one main window, titled "Starvane": as large as its content, but never taller than the screen it
/// is on leaves free. Where the content needs more than that, it scrolls.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(WallpaperStore &store, QWidget *parent = nullptr,
                        WallpaperStore::Clock now = WallpaperStore::defaultClock());
    ContentView *contentView() const { return m_content; }
    QScrollArea *scrollArea() const { return m_scroll; }

    /// Sizes the window for its content and its screen, and moves it back inside the screen's free area.
    void fitToScreen();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;

private:
    void followScreen(QScreen *screen);

    ContentView *m_content;
    QScrollArea *m_scroll;
    QPointer<QScreen> m_screen;
    bool m_fitting = false;
    bool m_placePending = false;
    bool m_watchingScreen = false;
};

} // namespace Starvane

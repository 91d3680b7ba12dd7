// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/wallpaperstore.h"

#include <QMainWindow>

namespace Starvane {

class ContentView;

/// The one main window, titled "Starvane", exactly as large as its content.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(WallpaperStore &store, QWidget *parent = nullptr,
                        WallpaperStore::Clock now = WallpaperStore::defaultClock());
    ContentView *contentView() const { return m_content; }

private:
    ContentView *m_content;
};

} // namespace Starvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow.h"

#include "contentview.h"

#include <QLayout>

namespace Starvane {

MainWindow::MainWindow(WallpaperStore &store, QWidget *parent, WallpaperStore::Clock now)
    : QMainWindow(parent), m_content(new ContentView(store, this, std::move(now)))
{
    setObjectName(QStringLiteral("main"));
    setWindowTitle(QStringLiteral("Starvane"));
    setCentralWidget(m_content);
    // Not resizable by the user: the window follows its content (the error banner grows it).
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace Starvane

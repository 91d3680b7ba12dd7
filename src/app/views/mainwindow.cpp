// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow.h"

#include "buttonstyles.h"
#include "contentview.h"

#include <QEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QWindow>

namespace Starvane {

namespace {
// Until the desktop has framed the window, a title bar of about this height is assumed, so that a window
// opened on a small screen is not first placed with its bottom edge out of reach.
constexpr QMargins kAssumedFrame(1, 32, 1, 1);
} // namespace

MainWindow::MainWindow(WallpaperStore &store, QWidget *parent, WallpaperStore::Clock now)
    : QMainWindow(parent), m_content(new ContentView(store, nullptr, std::move(now))), m_scroll(new QScrollArea(this))
{
    setObjectName(QStringLiteral("main"));
    setWindowTitle(QStringLiteral("Starvane"));
    m_scroll->setObjectName(QStringLiteral("mainScroll"));
    m_scroll->setAccessibleName(QStringLiteral("Starvane"));
    m_scroll->setAccessibleDescription(tr("The current wallpaper, its actions and settings"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setFocusPolicy(Qt::NoFocus); // Tab goes to the controls; the area follows the focus
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The content fixes its own size (its width, and the height that width needs); the area only shows it.
    m_scroll->setWidgetResizable(false);
    m_scroll->setWidget(m_content);
    applyWindowPalette(m_scroll);
    setCentralWidget(m_scroll);
    m_content->installEventFilter(this);
    fitToScreen();
}

void MainWindow::followScreen(QScreen *screen)
{
    if (screen == m_screen) return;
    if (m_screen) disconnect(m_screen, nullptr, this, nullptr);
    m_screen = screen;
    // A panel that appears or a change of scaling changes the room we have.
    if (screen)
        connect(screen, &QScreen::availableGeometryChanged, this, [this] {
            m_placePending = true;
            fitToScreen();
        });
}

void MainWindow::fitToScreen()
{
    if (m_fitting) return;
    m_fitting = true;
    QScreen *s = screen();
    // Moved back inside only when it opens, when the free area changed (a panel came) or when the window
    // changed size: a window the user dragged half off the screen stays where it was put.
    const QSize before = size();
    followScreen(s);
    const QRect free = s ? s->availableGeometry() : QRect();
    QMargins frame = windowHandle() && isVisible() ? windowHandle()->frameMargins() : QMargins();
    if (frame.isNull()) frame = kAssumedFrame;
    const int menuHeight = menuWidget() && !menuWidget()->isHidden() ? menuWidget()->sizeHint().height() : 0;
    const QSize content = m_content->size();
    const int room = free.isValid() ? free.height() - frame.top() - frame.bottom() - menuHeight : content.height();
    QSize wanted(content.width(), content.height() + menuHeight);
    if (content.height() > room) {
        // Too little room even for the content alone: it scrolls, and the bar gets a width of its own
        // beside it rather than covering the content's edge.
        wanted = QSize(content.width() + m_scroll->verticalScrollBar()->sizeHint().width(), qMax(room, 1) + menuHeight);
    }
    setFixedSize(wanted);
    // setFixedSize() does nothing when the limits stay the same, even if the platform has since reported
    // another size (a move sent before a resize arrived, on a change of screen).
    if (size() != wanted) resize(wanted);
    if (isVisible() && free.isValid() && (m_placePending || size() != before)) {
        m_placePending = false;
        // Back inside the free area, title bar included, when a change of size pushed an edge out.
        const QRect outer(pos(), size().grownBy(frame));
        QPoint moved = outer.topLeft();
        if (outer.bottom() > free.bottom()) moved.ry() = free.bottom() - outer.height() + 1;
        if (outer.right() > free.right()) moved.rx() = free.right() - outer.width() + 1;
        moved.rx() = qMax(moved.x(), free.left());
        moved.ry() = qMax(moved.y(), free.top());
        if (moved != outer.topLeft()) move(moved);
    }
    m_fitting = false;
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_content && event->type() == QEvent::Resize) fitToScreen();
    return QMainWindow::eventFilter(watched, event);
}

bool MainWindow::event(QEvent *event)
{
    const bool handled = QMainWindow::event(event);
    switch (event->type()) {
    case QEvent::Show:
        if (windowHandle() && !m_watchingScreen) {
            // Dragged or sent to another monitor: its room, not the old one's.
            connect(windowHandle(), &QWindow::screenChanged, this, &MainWindow::fitToScreen);
            m_watchingScreen = true;
        }
        m_placePending = true;
        fitToScreen();
        break;
    case QEvent::ScreenChangeInternal:
    case QEvent::Move: // the frame's size is known once the desktop has framed the window
        fitToScreen();
        break;
    default:
        break;
    }
    return handled;
}

} // namespace Starvane

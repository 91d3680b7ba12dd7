// SPDX-License-Identifier: GPL-3.0-or-later
// Pieces every secondary window shares: closing from the keyboard and opening links that can fail.
#pragma once

#include <QCoreApplication>
#include <QUrl>
#include <functional>

class QPushButton;
class QVBoxLayout;
class QWidget;

namespace Starvane {

/// Opens a web page or a folder; false when nothing on the desktop could open it.
using LinkOpener = std::function<bool(const QUrl &)>;

/// The desktop's own handler (QDesktopServices).
LinkOpener desktopLinkOpener();

/// Escape and Ctrl+W (the desktop's "Close") close `window`.
void closeOnEscapeAndCtrlW(QWidget *window);

/// What each secondary window starts with: its names for people and for screen readers, the theme's
/// palette in both appearances, and closing from the keyboard.
void setUpSecondaryWindow(QWidget *window, const QString &objectName, const QString &title,
                          const QString &accessibleName, const QString &description);

/// A "Close" button at the trailing end of a row added to `layout`; Enter presses it.
QPushButton *addCloseButton(QVBoxLayout *layout, QWidget *window, const QString &description);

class WindowTexts
{
    Q_DECLARE_TR_FUNCTIONS(Starvane::WindowTexts)

public:
    /// What a window says when `url` could not be opened: nothing else shows that the click did anything.
    static QString linkFailed(const QUrl &url);
    static QString close();
};

} // namespace Starvane

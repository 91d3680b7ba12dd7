// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace Starvane {

/// The id of the installed desktop entry (com.quorvex.Starvane.desktop): desktops match windows, tray
/// items and notifications to the entry, its name and its icon by it.
inline const QString kDesktopFileId = QStringLiteral("com.quorvex.Starvane");

/// Names the running program: application and organisation (which place the settings file), version,
/// and the desktop entry.
void applyApplicationIdentity(const QString &version);

} // namespace Starvane

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace Starvane::LaunchAtLogin {

/// $XDG_CONFIG_HOME/autostart/starvane.desktop (XDG autostart).
QString entryPath();
bool isEnabled();
/// Writes (atomically) or removes the autostart entry. False with `error` set when the file system refused.
bool setEnabled(bool enabled, QString *error);

} // namespace Starvane::LaunchAtLogin

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace Starvane::LaunchAtLogin {

/// $XDG_CONFIG_HOME/autostart/starvane.desktop (XDG autostart).
QString entryPath();
bool isEnabled();
/// Writes (atomically) or removes the autostart entry. False with `error` set when the file system refused.
bool setEnabled(bool enabled, QString *error);

/// The program the entry starts: the AppImage when running from one (the mounted binary inside it
/// changes with every start), else the running executable. Always absolute.
QString programPath();
/// `program` as the first word of an Exec value: quoted where the Desktop Entry specification reserves
/// a character, "%" doubled, and escaped for the file's string syntax.
QString execValue(const QString &program, const QString &arguments);

} // namespace Starvane::LaunchAtLogin

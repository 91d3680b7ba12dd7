// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <QTextStream>

namespace Starvane {

/// Checks each file exactly as the wallpaper cache checks a download (size, shape, completeness) without
/// copying it anywhere. Prints one line per file, "PATH: ok WIDTHxHEIGHT SHA256" or "PATH: " and the
/// reason it would be refused. Returns 0 when every file passes, 1 when one fails, 2 without files.
int runCheckImage(const QStringList &files, QTextStream &out);

} // namespace Starvane

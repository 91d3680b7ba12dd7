// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace Starvane {

/// SHA-256 of the file's bytes as 64 lower-case hex digits, read in 256 KiB chunks.
/// Throws FileError when the file cannot be opened or read.
QString sha256HexOfFile(const QString &path);

} // namespace Starvane

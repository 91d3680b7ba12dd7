// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace Starvane {

/// Writes the store's own files on a thread of their own. Each write is atomic (a temporary file,
/// flushed to disk, renamed over the old one), and that flush can take tens of milliseconds on a busy
/// disk, which the main thread must never sit through. Writes end in the order they were asked for,
/// except that a write still waiting when a newer one for the same file arrives is dropped: only the
/// newest content of a file counts.
namespace FileWriteQueue {

/// Queues `content` for `path`, creating its folder when needed. A failure is logged; the file keeps
/// its previous content.
void write(const QString &path, QByteArray content);

/// Returns once every write asked for so far has ended. Call it before reading a file written this
/// way, and before the program ends.
void flush();

} // namespace FileWriteQueue
} // namespace Starvane

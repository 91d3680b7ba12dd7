// SPDX-License-Identifier: GPL-3.0-or-later
// Fills an ArchiveTestServer with a browsable wallpaper archive: catalog pages, detail pages and one
// distinct, valid JPEG per entry, so the real client and cache can rotate through it for hours.
#pragma once

#include "archiveserver.h"

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QStringList>

namespace Starvane::Testing {

/// A JPEG of `size` whose pixels depend on `seed` (distinct seeds give distinct files).
QByteArray makeWallpaperJPEG(QSize size, int seed, int quality = 80);

/// The id of entry `index` (0-based) of the published archive.
QString wallpaperArchiveID(int index);

/// Publishes `pages` catalog pages of `perPage` entries each; every entry's "large" file is a distinct
/// JPEG of `size`. Returns the ids in catalog order.
QStringList publishWallpaperArchive(ArchiveTestServer &server, int pages, int perPage, QSize size = {1920, 1080});

/// Publishes a single-entry archive whose file is `jpeg` (for one big image).
void publishSingleWallpaper(ArchiveTestServer &server, const QString &id, const QByteArray &jpeg);

} // namespace Starvane::Testing

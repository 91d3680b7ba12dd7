// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Pure functions over the text of one wallpaper catalog page. No I/O here: the network code
// hands these the page body, and tests and fuzzers call them directly.

#include "archive/archivehosts.h"
#include "models/hubbleimage.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace Starvane::HubbleArchive {

/// Words (lower case) whose presence in a catalog title marks something other than one photograph.
extern const QStringList excludedTitleKeywords;

/// Credit attached to catalog entries until the detail page supplies the real one.
QString defaultCredit();

/// Candidates of one catalog page, best fit for a display of `targetDisplayAspect` first.
/// Never fails: a page without the catalog array, or entries that fail a check, just give fewer records.
QList<HubbleImage> parseWallpaperArchive(const QString &html, double targetDisplayAspect,
                                         const ArchiveHosts &hosts = {});

/// The single-quoted script value of `key` (first occurrence), with \' and \\ unescaped.
std::optional<QString> extractQuotedField(const QString &key, const QString &text);

/// The non-negative decimal value of `key` (first occurrence); absent when missing or beyond 64 bits.
std::optional<qint64> extractIntField(const QString &key, const QString &text);

/// Decodes the handful of named entities the archive uses and decimal character references.
QString decodeHTMLEntities(const QString &s);

/// False when the title names an illustration, a comparison or another observatory.
bool isPureHubbleWallpaperTitle(const QString &title);

/// Four-digit year from the picture-of-the-week date, else from the identifier's two-digit prefix year.
std::optional<QString> extractYear(const std::optional<QString> &potw, const QString &archiveID);

/// The catalog page URL: page 1 (and anything below) is the archive root, later pages are /page/N/.
std::optional<QUrl> catalogPageURL(int page, const ArchiveHosts &hosts = {});

} // namespace Starvane::HubbleArchive

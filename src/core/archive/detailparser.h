// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Pure functions over the text of one image detail page: is it a single Hubble observation,
// who is credited, and which files does the page link for this identifier.

#include "archive/archivehosts.h"
#include "models/hubbleimage.h"

#include <QSet>
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>

namespace Starvane::HubbleArchive {

/// Observatories, surveys and instruments (lower case) whose data disqualify a credit line.
extern const QStringList excludedCreditSources;
/// Second-choice files, best first.
extern const QStringList fallbackVariantPreference;

/// Pixel size of a wallpaper variant; the same for every picture. Absent for variants that keep the
/// original's shape ("large", "publicationjpg") and for unknown ones.
std::optional<QSize> fixedVariantSize(const QString &variant);

/// `candidate` with the page's credit and description (when it has them) and the best linked files. Throws
/// HubbleAPIError::ineligibleImage when the page does not describe a single Hubble observation or credits another
/// observatory. With `coverDisplay`, the first file is the smallest fixed-size variant that fills that display at its
/// native resolution after centre-cropping; the usual choice when the page links none that does.
HubbleImage parseImageDetail(const QString &html, const HubbleImage &candidate, const ArchiveHosts &hosts = {},
                             std::optional<QSize> coverDisplay = std::nullopt);

/// The longest description kept, in characters.
constexpr qsizetype kMaxDescriptionLength = 4000;

/// What the picture shows, as the page tells it between the picture and its credit: plain text, the
/// headline first, paragraphs separated by a blank line, at most kMaxDescriptionLength characters cut
/// after a sentence. Absent when the page has none; never fails.
std::optional<QString> extractDescription(const QString &html);

/// The credit block as one line of plain text; absent when missing or empty.
std::optional<QString> extractCredit(const QString &html);

/// The plain-text value of the first info row labelled `label` (such as "Type:").
std::optional<QString> extractInfoField(const QString &label, const QString &html);

/// Tags become spaces, entities are decoded, and whitespace collapses to single spaces.
QString stripHTML(const QString &s);

/// Variant directories of the image host that the page links for exactly this identifier's JPEG.
QSet<QString> extractAvailableCDNVariants(const QString &html, const QString &id, const ArchiveHosts &hosts = {});

} // namespace Starvane::HubbleArchive

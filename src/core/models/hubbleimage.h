// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QUrl>
#include <optional>

namespace Starvane {

/// One image of the ESA/Hubble archive as Starvane knows it.
struct HubbleImage
{
    QString id;
    QString title;
    QString credit;
    std::optional<QString> dateCaptured;
    QUrl imageURL;
    std::optional<QUrl> fallbackImageURL;
    QUrl detailsURL;
    std::optional<qint64> width;
    std::optional<qint64> height;
    /// What the picture shows, as plain text in paragraphs; absent when the archive page tells nothing.
    std::optional<QString> description = std::nullopt;

    bool operator==(const HubbleImage &) const = default;

    /// Pixels left when the image is scaled and centre-cropped to fill a display of this aspect ratio.
    qint64 usablePixels(double displayAspect) const;
    /// At least 2560 × 1440 worth of usable pixels.
    bool isHighResolutionPriority(double displayAspect) const;
    /// "3840 × 2160", absent unless both dimensions are known and positive.
    std::optional<QString> resolutionLabel() const;

    QJsonObject toJsonObject() const;
    QByteArray toJson() const;
    static std::optional<HubbleImage> fromJsonObject(const QJsonObject &o);
    static std::optional<HubbleImage> fromJson(const QByteArray &json);
};

/// The first sentence of a description (its headline when it has one), trimmed; empty for empty text.
QString firstSentence(const QString &text);

/// Identifiers go into URL paths and file names: 1…48 characters, letters, marks, digits, '-' and '_'.
/// Every id from outside (archive pages, our own history file) passes this before it is used.
bool isSafeArchiveID(const QString &id);

constexpr qint64 kHighResolutionPixels = 3'686'400; // 2560 × 1440

} // namespace Starvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "hubbleimage.h"

#include <QJsonDocument>
#include <QTextBoundaryFinder>
#include <cmath>

namespace Starvane {

namespace {
constexpr qsizetype kMaxIDLength = 48;
}

bool isSafeArchiveID(const QString &id)
{
    if (id.isEmpty()) return false;
    // "Characters" as a reader counts them: a letter with its combining marks is one.
    qsizetype graphemes = 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, id);
    while (finder.toNextBoundary() != -1)
        ++graphemes;
    if (graphemes > kMaxIDLength) return false;
    // A lone surrogate comes back as U+FFFD, which is no letter, so it fails like any symbol.
    for (const char32_t c : QStringView(id).toUcs4()) {
        if (c == U'-' || c == U'_') continue;
        if (!QChar::isLetterOrNumber(c) && !QChar::isMark(c)) return false;
    }
    return true;
}

QString firstSentence(const QString &text)
{
    QTextBoundaryFinder sentences(QTextBoundaryFinder::Sentence, text);
    const qsizetype end = sentences.toNextBoundary();
    return (end > 0 ? text.left(end) : text).trimmed();
}

qint64 HubbleImage::usablePixels(double a) const
{
    if (!width || !height || *width <= 0 || *height <= 0)
        return 0;
    // Callers pass a real display's ratio; anything else would only produce nonsense or UB on the cast.
    if (!std::isfinite(a) || a <= 0)
        return 0;
    const double w = double(*width);
    const double h = double(*height);
    const double result = (a <= w / h) ? a * h * h : (w / a) * w;
    if (!std::isfinite(result) || result >= 9.2e18)
        return std::numeric_limits<qint64>::max();
    return qint64(result);
}

bool HubbleImage::isHighResolutionPriority(double a) const
{
    return usablePixels(a) >= kHighResolutionPixels;
}

std::optional<QString> HubbleImage::resolutionLabel() const
{
    if (!width || !height || *width <= 0 || *height <= 0)
        return std::nullopt;
    return QString::number(*width) + QStringLiteral(" \u00D7 ") + QString::number(*height);
}

QJsonObject HubbleImage::toJsonObject() const
{
    QJsonObject o;
    o.insert(QStringLiteral("id"), id);
    o.insert(QStringLiteral("title"), title);
    o.insert(QStringLiteral("credit"), credit);
    if (dateCaptured)
        o.insert(QStringLiteral("dateCaptured"), *dateCaptured);
    o.insert(QStringLiteral("imageURL"), imageURL.toString(QUrl::FullyEncoded));
    if (fallbackImageURL)
        o.insert(QStringLiteral("fallbackImageURL"), fallbackImageURL->toString(QUrl::FullyEncoded));
    o.insert(QStringLiteral("detailsURL"), detailsURL.toString(QUrl::FullyEncoded));
    if (width)
        o.insert(QStringLiteral("width"), *width);
    if (height)
        o.insert(QStringLiteral("height"), *height);
    if (description) o.insert(QStringLiteral("description"), *description);
    return o;
}

QByteArray HubbleImage::toJson() const
{
    return QJsonDocument(toJsonObject()).toJson(QJsonDocument::Compact);
}

namespace {
std::optional<QUrl> decodeURL(const QJsonValue &v)
{
    if (!v.isString())
        return std::nullopt;
    QUrl url(v.toString(), QUrl::StrictMode);
    if (v.toString().isEmpty() || !url.isValid())
        return std::nullopt;
    return url;
}

// Integers arrive as JSON numbers; a fractional or out-of-range number is a type mismatch.
bool decodeInteger(const QJsonValue &v, std::optional<qint64> &out)
{
    if (v.isUndefined() || v.isNull())
        return true;
    if (!v.isDouble())
        return false;
    const double d = v.toDouble();
    if (!std::isfinite(d) || std::trunc(d) != d || std::fabs(d) > 9.0e15)
        return false;
    out = qint64(d);
    return true;
}
} // namespace

std::optional<HubbleImage> HubbleImage::fromJsonObject(const QJsonObject &o)
{
    HubbleImage img;
    const QJsonValue id = o.value(QStringLiteral("id"));
    const QJsonValue title = o.value(QStringLiteral("title"));
    const QJsonValue credit = o.value(QStringLiteral("credit"));
    if (!id.isString() || !title.isString() || !credit.isString())
        return std::nullopt;
    img.id = id.toString();
    img.title = title.toString();
    img.credit = credit.toString();

    const QJsonValue date = o.value(QStringLiteral("dateCaptured"));
    if (date.isString())
        img.dateCaptured = date.toString();
    else if (!date.isUndefined() && !date.isNull())
        return std::nullopt;

    const auto imageURL = decodeURL(o.value(QStringLiteral("imageURL")));
    const auto detailsURL = decodeURL(o.value(QStringLiteral("detailsURL")));
    if (!imageURL || !detailsURL)
        return std::nullopt;
    img.imageURL = *imageURL;
    img.detailsURL = *detailsURL;

    const QJsonValue fallback = o.value(QStringLiteral("fallbackImageURL"));
    if (!fallback.isUndefined() && !fallback.isNull()) {
        img.fallbackImageURL = decodeURL(fallback);
        if (!img.fallbackImageURL)
            return std::nullopt;
    }
    if (!decodeInteger(o.value(QStringLiteral("width")), img.width) ||
        !decodeInteger(o.value(QStringLiteral("height")), img.height))
        return std::nullopt;
    // Records written before descriptions existed have none; a description of the wrong type is only
    // that text lost, never the picture.
    const QJsonValue description = o.value(QStringLiteral("description"));
    if (description.isString() && !description.toString().isEmpty()) img.description = description.toString();
    return img;
}

std::optional<HubbleImage> HubbleImage::fromJson(const QByteArray &json)
{
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    return fromJsonObject(doc.object());
}

} // namespace Starvane

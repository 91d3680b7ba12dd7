// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogparser.h"

#include "models/wallpaperlimits.h"

#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <cmath>

namespace Starvane::HubbleArchive {

namespace {

constexpr qint64 kMinWidth = 2000;
constexpr qint64 kMinHeight = 1200;
constexpr double kMinAspect = 1.15;
// Above this width the "large" file can be a gigapixel mosaic; the publication JPEG is 4000 px on its long side.
constexpr qint64 kLargeVariantMaxWidth = 10000;
constexpr double kPublicationLongSide = 4000.0;

// The archive's pages are written for an ICU-style engine where \b and \s know Unicode; PCRE2
// needs to be told, otherwise a credit like "Webbé" would split into a word "Webb".
constexpr auto kUnicode = QRegularExpression::UseUnicodePropertiesOption;
// QRegularExpression is only reentrant and the parsers may run on pool threads, so every call
// compiles its own patterns instead of sharing static ones.

} // namespace

const QStringList excludedTitleKeywords = {
    QStringLiteral("artist"),  QStringLiteral("illustration"), QStringLiteral("impression"),
    QStringLiteral("diagram"), QStringLiteral("infographic"),  QStringLiteral("comparison"),
    QStringLiteral("collage"), QStringLiteral("annotated"),    QStringLiteral("labeled"),
    QStringLiteral("compass"), QStringLiteral("poster"),       QStringLiteral("webb"),
    QStringLiteral("jwst"),    QStringLiteral("eso 2.2-m"),    QStringLiteral("spitzer"),
    QStringLiteral("chandra"), QStringLiteral("herschel"),     QStringLiteral("ground-based"),
};

QString defaultCredit()
{
    return QStringLiteral("ESA/Hubble & NASA");
}

std::optional<QString> extractQuotedField(const QString &key, const QString &text)
{
    const QRegularExpression re(QStringLiteral("\\b") + QRegularExpression::escape(key) +
                                    QStringLiteral("\\s*:\\s*'((?:\\\\.|[^'\\\\])*)'"),
                                kUnicode);
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch()) return std::nullopt;
    QString value = m.captured(1);
    value.replace(QStringLiteral("\\'"), QStringLiteral("'"));
    value.replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
    return value;
}

std::optional<qint64> extractIntField(const QString &key, const QString &text)
{
    const QRegularExpression re(
        QStringLiteral("\\b") + QRegularExpression::escape(key) + QStringLiteral("\\s*:\\s*([0-9]+)"), kUnicode);
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch()) return std::nullopt;
    bool ok = false;
    const qint64 value = m.capturedView(1).toLongLong(&ok);
    if (!ok) return std::nullopt;
    return value;
}

QString decodeHTMLEntities(const QString &s)
{
    static constexpr std::pair<QLatin1String, char16_t> kEntities[] = {
        {QLatin1String("&#39;"), u'\''},       {QLatin1String("&#x27;"), u'\''},
        {QLatin1String("&apos;"), u'\''},      {QLatin1String("&quot;"), u'"'},
        {QLatin1String("&amp;"), u'&'},        {QLatin1String("&ndash;"), u'\u2013'},
        {QLatin1String("&mdash;"), u'\u2014'}, {QLatin1String("&lsquo;"), u'\u2018'},
        {QLatin1String("&rsquo;"), u'\u2019'}, {QLatin1String("&ldquo;"), u'\u201C'},
        {QLatin1String("&rdquo;"), u'\u201D'},
    };
    QString out = s;
    for (const auto &[entity, ch] : kEntities)
        out.replace(entity, QString(QChar(ch)));

    // Decimal references. Building the result front to back over non-overlapping matches gives
    // the same text as replacing them back to front in place.
    const QRegularExpression numeric(QStringLiteral("&#([0-9]+);"));
    QString result;
    qsizetype copied = 0;
    QRegularExpressionMatchIterator it = numeric.globalMatch(out);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        bool ok = false;
        const uint value = m.capturedView(1).toUInt(&ok);
        if (!ok || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            continue; // not a scalar value: the reference stays as written
        result += QStringView(out).mid(copied, m.capturedStart(0) - copied);
        const char32_t scalar = value;
        result += QString::fromUcs4(&scalar, 1);
        copied = m.capturedEnd(0);
    }
    if (copied == 0) return out;
    result += QStringView(out).mid(copied);
    return result;
}

bool isPureHubbleWallpaperTitle(const QString &title)
{
    const QString lower = title.toLower();
    return std::none_of(excludedTitleKeywords.cbegin(), excludedTitleKeywords.cend(),
                        [&lower](const QString &word) { return lower.contains(word); });
}

std::optional<QString> extractYear(const std::optional<QString> &potw, const QString &archiveID)
{
    if (potw) {
        const QRegularExpression yearRe(QStringLiteral("\\b(19|20)[0-9]{2}\\b"), kUnicode);
        const QRegularExpressionMatch m = yearRe.match(*potw);
        if (m.hasMatch()) return m.captured(0);
    }
    const QRegularExpression prefixRe(QStringLiteral("^(?:heic|potw|potm|opo|ann)([0-9]{2})"));
    const QRegularExpressionMatch m = prefixRe.match(archiveID.toLower());
    if (!m.hasMatch()) return std::nullopt;
    const int n = m.capturedView(1).toInt();
    return QString::number(n < 90 ? 2000 + n : 1900 + n);
}

std::optional<QUrl> catalogPageURL(int page, const ArchiveHosts &hosts)
{
    if (page <= 1) return ArchiveHosts::urlOn(hosts.web, QStringLiteral("/images/archive/wallpapers/"));
    return ArchiveHosts::urlOn(hosts.web, QStringLiteral("/images/archive/wallpapers/page/%1/").arg(page));
}

namespace {

/// Landscape pictures always; portrait ones (the landscape bounds turned on their side) only for a
/// portrait display, which is the only kind that asks with an aspect ratio below 1.
bool admitsShape(qint64 width, qint64 height, bool portraitDisplay)
{
    const double aspect = double(width) / double(height);
    if (width >= kMinWidth && height >= kMinHeight && aspect >= kMinAspect && aspect <= wallpaperMaximumAspectRatio)
        return true;
    return portraitDisplay && width >= kMinHeight && height >= kMinWidth &&
           aspect >= 1.0 / wallpaperMaximumAspectRatio && aspect <= 1.0 / wallpaperMinimumAspectRatio;
}

std::optional<HubbleImage> parseEntry(const QString &entry, const QSet<QString> &accepted, const ArchiveHosts &hosts,
                                      bool portraitDisplay)
{
    const std::optional<QString> rawID = extractQuotedField(QStringLiteral("id"), entry);
    const std::optional<QString> rawTitle = extractQuotedField(QStringLiteral("title"), entry);
    const std::optional<qint64> width = extractIntField(QStringLiteral("width"), entry);
    const std::optional<qint64> height = extractIntField(QStringLiteral("height"), entry);
    if (!rawID || !rawTitle || !width || !height) return std::nullopt;

    const QString id = rawID->trimmed();
    if (!isSafeArchiveID(id) || accepted.contains(id)) return std::nullopt;

    const QString title = decodeHTMLEntities(*rawTitle).trimmed();
    if (title.isEmpty() || !isPureHubbleWallpaperTitle(title)) return std::nullopt;
    if (*width <= 0 || *height <= 0 || !admitsShape(*width, *height, portraitDisplay)) return std::nullopt;

    QString variant = QStringLiteral("large");
    qint64 recordedWidth = *width;
    qint64 recordedHeight = *height;
    if (*width > kLargeVariantMaxWidth) {
        variant = QStringLiteral("publicationjpg");
        const double scale = kPublicationLongSide / double(std::max(*width, *height));
        recordedWidth = qint64(std::round(double(*width) * scale));
        recordedHeight = qint64(std::round(double(*height) * scale));
    }

    const std::optional<QUrl> imageURL = hosts.imageFileURL(variant, id);
    const std::optional<QUrl> fallbackURL = hosts.imageFileURL(QStringLiteral("wallpaper5"), id);
    const std::optional<QUrl> detailsURL = hosts.detailPageURL(id);
    if (!imageURL || !fallbackURL || !detailsURL) return std::nullopt;

    const std::optional<QString> potw = extractQuotedField(QStringLiteral("potw"), entry);
    return HubbleImage{id,           title,       defaultCredit(), extractYear(potw, id), *imageURL,
                       *fallbackURL, *detailsURL, recordedWidth,   recordedHeight};
}

} // namespace

QList<HubbleImage> parseWallpaperArchive(const QString &html, double targetDisplayAspect, const ArchiveHosts &hosts)
{
    const QRegularExpression arrayRe(QStringLiteral("var\\s+images\\s*=\\s*(\\[[\\s\\S]*?\\]);"), kUnicode);
    const QRegularExpression entryRe(QStringLiteral("\\{[^{}]*\\}"));

    const QRegularExpressionMatch array = arrayRe.match(html);
    if (!array.hasMatch()) return {};

    QList<HubbleImage> result;
    QSet<QString> accepted;
    QRegularExpressionMatchIterator it = entryRe.globalMatch(array.capturedView(1));
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        std::optional<HubbleImage> image = parseEntry(m.captured(0), accepted, hosts, targetDisplayAspect < 1.0);
        if (!image) continue;
        accepted.insert(image->id);
        result.append(std::move(*image));
    }

    // Stable: entries that fit equally well keep the archive's own order.
    std::stable_sort(result.begin(), result.end(), [targetDisplayAspect](const HubbleImage &a, const HubbleImage &b) {
        const bool aPriority = a.isHighResolutionPriority(targetDisplayAspect);
        const bool bPriority = b.isHighResolutionPriority(targetDisplayAspect);
        if (aPriority != bPriority) return aPriority;
        return a.usablePixels(targetDisplayAspect) > b.usablePixels(targetDisplayAspect);
    });
    return result;
}

} // namespace Starvane::HubbleArchive

// SPDX-License-Identifier: GPL-3.0-or-later
#include "detailparser.h"

#include "archive/catalogparser.h"
#include "models/errors.h"

#include <QHash>
#include <QRegularExpression>

namespace Starvane::HubbleArchive {

namespace {
// \b and \s must know Unicode letters and spaces (see catalogparser.cpp); patterns are compiled per
// call because QRegularExpression is only reentrant.
constexpr auto kUnicode = QRegularExpression::UseUnicodePropertiesOption;
constexpr auto kDotAll = QRegularExpression::DotMatchesEverythingOption;
} // namespace

const QStringList excludedCreditSources = {
    QStringLiteral("cfht"),
    QStringLiteral("canada-france-hawaii"),
    QStringLiteral("noao"),
    QStringLiteral("kpno"),
    QStringLiteral("kitt peak"),
    QStringLiteral("ctio"),
    QStringLiteral("cerro tololo"),
    QStringLiteral("subaru"),
    QStringLiteral("keck"),
    QStringLiteral("vlt"),
    QStringLiteral("very large telescope"),
    QStringLiteral("alma"),
    QStringLiteral("eso 2.2-m"),
    QStringLiteral("mpg/eso"),
    QStringLiteral("chandra"),
    QStringLiteral("spitzer"),
    QStringLiteral("herschel"),
    QStringLiteral("webb"),
    QStringLiteral("jwst"),
    QStringLiteral("digitized sky survey"),
    QStringLiteral("dss"),
    QStringLiteral("sdss"),
    QStringLiteral("sloan digital sky survey"),
    QStringLiteral("galex"),
    QStringLiteral("sofia"),
    QStringLiteral("gemini observatory"),
    QStringLiteral("ground-based"),
};

const QStringList fallbackVariantPreference = {
    QStringLiteral("wallpaper_uhd"),
    QStringLiteral("wallpaper_qhd"),
    QStringLiteral("wallpaper5"),
    QStringLiteral("wallpaper4"),
};

std::optional<QSize> fixedVariantSize(const QString &variant)
{
    static const QHash<QString, QSize> sizes = {
        {QStringLiteral("wallpaper_uhd"), QSize(3840, 2160)},
        {QStringLiteral("wallpaper_qhd"), QSize(2560, 1440)},
        {QStringLiteral("wallpaper5"), QSize(2048, 1536)},
        {QStringLiteral("wallpaper4"), QSize(1920, 1200)},
    };
    const auto it = sizes.constFind(variant);
    if (it == sizes.cend()) return std::nullopt;
    return *it;
}

QString stripHTML(const QString &s)
{
    const QRegularExpression blockTags(QStringLiteral("</?(?:p|br|div|li|tr|td|th)[^>]*>"),
                                       QRegularExpression::CaseInsensitiveOption);
    const QRegularExpression anyTag(QStringLiteral("<[^>]+>"));
    QString text = s;
    text.replace(blockTags, QStringLiteral(" "));
    text.replace(anyTag, QString());
    // simplified() splits on every Unicode space (QChar::isSpace), like the page's own line breaks and NBSPs.
    return decodeHTMLEntities(text).simplified();
}

std::optional<QString> extractCredit(const QString &html)
{
    const QRegularExpression re(QStringLiteral("<div[^>]*class=\"credit\"[^>]*>(.*?)</div>"), kDotAll | kUnicode);
    const QRegularExpressionMatch m = re.match(html);
    if (!m.hasMatch()) return std::nullopt;
    // The archive breaks long credits into lines with <br>; those breaks are part of how the credit
    // reads ("Image: … / Processing: …"), so they stay as line breaks. Everything else is one line.
    static const QRegularExpression lineBreak(QStringLiteral("<br\\s*/?>"), QRegularExpression::CaseInsensitiveOption);
    QStringList lines;
    for (const QString &part : m.captured(1).split(lineBreak))
        if (const QString line = stripHTML(part); !line.isEmpty()) lines << line;
    if (lines.isEmpty()) return std::nullopt;
    return lines.join(QLatin1Char('\n'));
}

std::optional<QString> extractInfoField(const QString &label, const QString &html)
{
    // The label cell is a <th scope="row"> on current pages and a <td> on older ones.
    const QRegularExpression re(QStringLiteral("<(?:td|th)[^>]*class=\"title\"[^>]*>\\s*") +
                                    QRegularExpression::escape(label) +
                                    QStringLiteral("\\s*</(?:td|th)>\\s*<td[^>]*>(.*?)</td>"),
                                kDotAll | kUnicode);
    const QRegularExpressionMatch m = re.match(html);
    if (!m.hasMatch()) return std::nullopt;
    return stripHTML(m.captured(1));
}

QSet<QString> extractAvailableCDNVariants(const QString &html, const QString &id, const ArchiveHosts &hosts)
{
    const QRegularExpression re(QRegularExpression::escape(hosts.imageHostPrefix()) +
                                QStringLiteral("/archives/images/([a-z0-9_]+)/") + QRegularExpression::escape(id) +
                                QStringLiteral("\\.jpg"));
    QSet<QString> variants;
    QRegularExpressionMatchIterator it = re.globalMatch(html);
    while (it.hasNext())
        variants.insert(it.next().captured(1));
    return variants;
}

namespace {

QUrl choosePrimary(const QSet<QString> &variants, const HubbleImage &candidate, const ArchiveHosts &hosts)
{
    const QString large = QStringLiteral("large");
    if (variants.contains(large) && candidate.imageURL.toString(QUrl::FullyEncoded).contains(QStringLiteral("/large/")))
        return candidate.imageURL;
    for (const QString &variant : {QStringLiteral("publicationjpg"), QStringLiteral("wallpaper_uhd"), large}) {
        if (!variants.contains(variant)) continue;
        const std::optional<QUrl> url = hosts.imageFileURL(variant, candidate.id);
        return url ? *url : candidate.imageURL;
    }
    return candidate.imageURL;
}

// Filling a display by centre-cropping scales the picture by the larger of the two ratios; it shows
// at native resolution (no upscaling) when both sides are at least the display's.
std::optional<QUrl> chooseSmallestCovering(const QSet<QString> &variants, QSize display, const HubbleImage &candidate,
                                           const ArchiveHosts &hosts)
{
    std::optional<QString> best;
    qint64 bestPixels = 0;
    for (const QString &variant : fallbackVariantPreference) {
        const std::optional<QSize> size = fixedVariantSize(variant);
        if (!variants.contains(variant) || !size || size->width() < display.width() ||
            size->height() < display.height())
            continue;
        const qint64 pixels = qint64(size->width()) * size->height();
        if (!best || pixels < bestPixels) {
            best = variant;
            bestPixels = pixels;
        }
    }
    if (!best) return std::nullopt;
    return hosts.imageFileURL(*best, candidate.id);
}

std::optional<QUrl> chooseFallback(const QSet<QString> &variants, const QUrl &primary, const HubbleImage &candidate,
                                   const ArchiveHosts &hosts)
{
    const QString primaryText = primary.toString(QUrl::FullyEncoded);
    for (const QString &variant : fallbackVariantPreference) {
        if (!variants.contains(variant) || primaryText.contains(QLatin1Char('/') + variant + QLatin1Char('/')))
            continue;
        return hosts.imageFileURL(variant, candidate.id);
    }
    return candidate.fallbackImageURL;
}

} // namespace

HubbleImage parseImageDetail(const QString &html, const HubbleImage &candidate, const ArchiveHosts &hosts,
                             std::optional<QSize> coverDisplay)
{
    const std::optional<QString> type = extractInfoField(QStringLiteral("Type:"), html);
    if (!type || type->compare(QLatin1String("Observation"), Qt::CaseInsensitive) != 0)
        throw HubbleAPIError::ineligibleImage(ineligibleBecauseNotObservation());

    const QString credit = extractCredit(html).value_or(candidate.credit);
    for (const QString &source : excludedCreditSources) {
        const QRegularExpression word(QStringLiteral("\\b") + QRegularExpression::escape(source) +
                                          QStringLiteral("\\b"),
                                      QRegularExpression::CaseInsensitiveOption | kUnicode);
        if (word.match(credit).hasMatch())
            throw HubbleAPIError::ineligibleImage(ineligibleBecauseOtherObservatory(source));
    }

    const QSet<QString> variants = extractAvailableCDNVariants(html, candidate.id, hosts);
    std::optional<QUrl> smallest;
    if (coverDisplay && coverDisplay->isValid())
        smallest = chooseSmallestCovering(variants, *coverDisplay, candidate, hosts);
    const QUrl primary = smallest ? *smallest : choosePrimary(variants, candidate, hosts);
    HubbleImage result = candidate;
    result.credit = credit;
    // Like the credit: a page that tells nothing keeps what we already knew (a picture shown before).
    if (std::optional<QString> description = extractDescription(html)) result.description = std::move(description);
    result.imageURL = primary;
    result.fallbackImageURL = chooseFallback(variants, primary, candidate, hosts);
    return result;
}

} // namespace Starvane::HubbleArchive

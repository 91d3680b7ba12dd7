// SPDX-License-Identifier: GPL-3.0-or-later
// Detail pages come from the network: the parser may reject them, never crash on them.
// Seeds, one per markup form of the picture's story: fuzz/seeds/detailparser.
#include "archive/detailparser.h"
#include "models/errors.h"

#include <cstdint>
#include <cstdlib>

using namespace Starvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString html = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString id = QStringLiteral("heic0910a");
    const HubbleImage candidate{
        id,
        QStringLiteral("Title"),
        QStringLiteral("ESA/Hubble & NASA"),
        QStringLiteral("2009"),
        QUrl(QStringLiteral("https://cdn.esahubble.org/archives/images/large/heic0910a.jpg")),
        QUrl(QStringLiteral("https://cdn.esahubble.org/archives/images/wallpaper5/heic0910a.jpg")),
        QUrl(QStringLiteral("https://esahubble.org/images/heic0910a/")),
        6000,
        3000};
    try {
        const HubbleImage result = HubbleArchive::parseImageDetail(html, candidate);
        // Only the credit and the two file URLs may change, and the files stay on the image host.
        if (result.id != candidate.id || result.detailsURL != candidate.detailsURL ||
            result.imageURL.host() != QStringLiteral("cdn.esahubble.org"))
            std::abort();
    } catch (const HubbleAPIError &e) {
        if (e.kind() != HubbleAPIError::Kind::ineligibleImage) std::abort();
    }
    HubbleArchive::stripHTML(html);
    // A description is clean text within the limit, or there is none.
    if (const std::optional<QString> d = HubbleArchive::extractDescription(html)) {
        if (d->isEmpty() || d->size() > HubbleArchive::kMaxDescriptionLength || *d != d->trimmed()) std::abort();
        for (const QChar c : *d)
            if (c.category() == QChar::Other_Control && c != QLatin1Char('\n')) std::abort();
    }
    return 0;
}

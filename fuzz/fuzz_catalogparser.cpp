// SPDX-License-Identifier: GPL-3.0-or-later
// Catalog pages come from the network: no input may crash the parser or produce an unsafe record.
#include "archive/catalogparser.h"

#include <cstdint>
#include <cstdlib>

using namespace Starvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString html = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<HubbleImage> images = HubbleArchive::parseWallpaperArchive(html, 16.0 / 9.0);
    for (const HubbleImage &image : images) {
        // What the parser promises its callers, whatever the page said.
        if (!HubbleArchive::isSafeArchiveID(image.id) || image.title.isEmpty() || !image.imageURL.isValid() ||
            !image.detailsURL.isValid() || !image.width || !image.height || *image.width < 2000 || *image.height < 1200)
            std::abort();
    }
    HubbleArchive::decodeHTMLEntities(html);
    HubbleArchive::extractYear(html, html);
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "jpegintegrityvalidator.h"

#include "jpegentropydecoder.h"
#include "models/errors.h"

#include <QFile>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

namespace Starvane {

using namespace JPEGDecoding;

namespace {

std::uint64_t ceilDiv(std::uint64_t a, std::uint64_t b)
{
    return (a + b - 1) / b;
}

struct Walk
{
    const u8 *d;
    std::size_t n;
    std::array<HuffmanTable, 16> dcTables;
    std::array<HuffmanTable, 16> acTables;
    // Counts are single bytes, so 255 entries always suffice: a scan costs no allocation.
    std::array<Component, 255> components;
    int componentCount = 0;
    std::array<ScanComponent, 255> scan;
    std::array<int, 255> blocks;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t restartInterval = 0;
    bool progressive = false;
    bool scanProcessed = false;
    bool finalProgressiveScanSeen = false;
};

} // namespace

const char *jpegVerdictName(JPEGVerdict verdict)
{
    switch (verdict) {
    case JPEGVerdict::ok:
        return "ok";
    case JPEGVerdict::invalidImageData:
        return "invalidImageData";
    case JPEGVerdict::truncatedImageData:
        return "truncatedImageData";
    }
    return "?";
}

std::size_t JPEGIntegrityValidator::advanceToNextMarker(const u8 *d, std::size_t n, std::size_t from) noexcept
{
    std::size_t p = from;
    while (p < n) {
        const void *ff = std::memchr(d + p, 0xFF, n - p);
        if (!ff) return n;
        const std::size_t start = std::size_t(static_cast<const u8 *>(ff) - d);
        std::size_t q = start + 1;
        while (q < n && d[q] == 0xFF)
            ++q;
        if (q >= n) return n;
        if (d[q] == 0x00 || (d[q] >= 0xD0 && d[q] <= 0xD7)) {
            p = q + 1;
            continue;
        }
        return start;
    }
    return n;
}

JPEGVerdict JPEGIntegrityValidator::check(const u8 *d, std::size_t n) noexcept
{
    using V = JPEGVerdict;
    if (n < 4 || d[0] != 0xFF || d[1] != 0xD8) return V::invalidImageData;

    // Sixteen tables of each class and the scan lists are over 100 KB: keep them off the caller's stack.
    std::unique_ptr<Walk> walk;
    try {
        walk = std::make_unique<Walk>();
    } catch (...) {
        return V::truncatedImageData;
    }
    Walk &w = *walk;
    w.d = d;
    w.n = n;

    std::size_t pos = 2;
    try {
        while (true) {
            if (d[pos] != 0xFF) return V::truncatedImageData;
            std::size_t p = pos + 1;
            while (p < n && d[p] == 0xFF)
                ++p;
            if (p >= n) return V::truncatedImageData;
            const u8 marker = d[p];
            if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
                pos = p + 1;
                if (pos >= n) return V::truncatedImageData;
                continue;
            }
            if (marker == 0xD9) {
                if (w.scanProcessed && (!w.progressive || w.finalProgressiveScanSeen)) return V::ok;
                return V::truncatedImageData;
            }
            if (p + 3 > n) return V::truncatedImageData;
            const std::size_t length = std::size_t(d[p + 1]) << 8 | d[p + 2];
            if (length < 2 || p + 1 + length > n) return V::truncatedImageData;
            const std::size_t payload = p + 3;
            const std::size_t end = p + 1 + length;
            const std::size_t payloadSize = end - payload;
            const u8 *pl = d + payload;

            if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2) {
                if (payloadSize < 6) return V::invalidImageData;
                const int count = pl[5];
                if (count == 0 || 6 + 3 * std::size_t(count) > payloadSize) return V::invalidImageData;
                w.height = std::uint32_t(pl[1]) << 8 | pl[2];
                w.width = std::uint32_t(pl[3]) << 8 | pl[4];
                w.componentCount = 0;
                for (int i = 0; i < count; ++i) {
                    const u8 *entry = pl + 6 + 3 * i;
                    if (entry[1] < 0x10 || (entry[1] & 0x0F) == 0) return V::invalidImageData;
                    w.components[std::size_t(w.componentCount++)] = {entry[0], entry[1] >> 4, entry[1] & 0x0F};
                }
                w.progressive = marker == 0xC2;
            } else if (marker == 0xC4) {
                std::size_t q = payload;
                while (q < end) {
                    if (end - q < 17) return V::invalidImageData;
                    const u8 classAndId = d[q];
                    const u8 *counts = d + q + 1;
                    int total = 0;
                    for (int i = 0; i < 16; ++i)
                        total += counts[i];
                    if (q + 17 + std::size_t(total) > end) return V::invalidImageData;
                    const bool ac = classAndId >= 16;
                    HuffmanTable &table = ac ? w.acTables[classAndId & 0x0F] : w.dcTables[classAndId & 0x0F];
                    table.define(counts, d + q + 17, total, ac);
                    q += 17 + std::size_t(total);
                }
            } else if (marker == 0xDD) {
                if (payloadSize < 2) return V::invalidImageData;
                w.restartInterval = std::uint32_t(pl[0]) << 8 | pl[1];
            } else if (marker == 0xDA) {
                if (payloadSize < 4 || w.width == 0 || w.height == 0) return V::invalidImageData;
                const int count = pl[0];
                if (count == 0 || 1 + 2 * std::size_t(count) + 3 > payloadSize) return V::invalidImageData;
                const auto frame = w.components.begin();
                const auto frameEnd = frame + w.componentCount;
                for (int j = 0; j < count; ++j) {
                    const u8 id = pl[1 + 2 * j];
                    const u8 selectors = pl[2 + 2 * j];
                    const Component *comp = nullptr;
                    for (auto c = frame; c != frameEnd; ++c) {
                        if (c->id == id) {
                            comp = &*c;
                            break;
                        }
                    }
                    if (!comp) return V::invalidImageData;
                    HuffmanTable &dc = w.dcTables[selectors >> 4];
                    HuffmanTable &ac = w.acTables[selectors & 0x0F];
                    w.scan[std::size_t(j)] = {comp, dc.defined ? &dc : nullptr, ac.defined ? &ac : nullptr};
                }
                std::size_t next;
                if (!w.progressive) {
                    int hMax = 1;
                    int vMax = 1;
                    for (auto c = frame; c != frameEnd; ++c) {
                        hMax = std::max(hMax, c->hFactor);
                        vMax = std::max(vMax, c->vFactor);
                    }
                    std::uint64_t mcus;
                    if (count == 1) {
                        const Component &c = *w.scan[0].comp;
                        const std::uint64_t cw = ceilDiv(std::uint64_t(w.width) * c.hFactor, hMax);
                        const std::uint64_t ch = ceilDiv(std::uint64_t(w.height) * c.vFactor, vMax);
                        mcus = ceilDiv(cw, 8) * ceilDiv(ch, 8);
                        w.blocks[0] = 1;
                    } else {
                        mcus = ceilDiv(w.width, 8 * std::uint64_t(hMax)) * ceilDiv(w.height, 8 * std::uint64_t(vMax));
                        for (int j = 0; j < count; ++j)
                            w.blocks[std::size_t(j)] =
                                w.scan[std::size_t(j)].comp->hFactor * w.scan[std::size_t(j)].comp->vFactor;
                    }
                    std::size_t stop = end;
                    const V verdict =
                        decodeScan(d, n, end, w.scan.data(), count, mcus, w.blocks.data(), w.restartInterval, stop);
                    if (verdict != V::ok) return verdict;
                    next = advanceToNextMarker(d, n, stop);
                } else {
                    // Ss, Se, then Ah|Al follow the component entries: the final scan ends at
                    // coefficient 63 and refines down to bit 0.
                    const u8 se = pl[1 + 2 * count + 1];
                    const u8 ahAl = pl[1 + 2 * count + 2];
                    if (se == 63 && (ahAl & 0x0F) == 0) w.finalProgressiveScanSeen = true;
                    next = advanceToNextMarker(d, n, end);
                }
                w.scanProcessed = true;
                if (next >= n) return V::truncatedImageData;
                pos = next;
                continue;
            }
            pos = end;
            if (pos >= n) return V::truncatedImageData;
        }
    } catch (const std::bad_alloc &) {
        // Only a table's first look-ups allocate; running out of memory is not the file's fault, but
        // the file cannot be accepted either.
        return V::truncatedImageData;
    }
}

void JPEGIntegrityValidator::validate(const QUrl &fileURL)
{
    QFile file(fileURL.toLocalFile());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) throw FileError(file.errorString());
    const qint64 size = file.size();
    // One read into our own buffer rather than a mapping: a file cut short while it is being read must
    // give an error, not a bus error.
    std::unique_ptr<u8[]> bytes(new u8[std::size_t(std::max<qint64>(size, 1))]);
    qint64 got = 0;
    while (got < size) {
        const qint64 r = file.read(reinterpret_cast<char *>(bytes.get()) + got, size - got);
        if (r < 0) throw FileError(file.errorString());
        if (r == 0) break;
        got += r;
    }
    switch (check(bytes.get(), std::size_t(got))) {
    case JPEGVerdict::ok:
        return;
    case JPEGVerdict::invalidImageData:
        throw WallpaperCacheError::invalidImageData();
    case JPEGVerdict::truncatedImageData:
        throw WallpaperCacheError::truncatedImageData();
    }
}

} // namespace Starvane
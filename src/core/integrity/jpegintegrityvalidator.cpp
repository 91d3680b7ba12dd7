// SPDX-License-Identifier: GPL-3.0-or-later
#include "jpegintegrityvalidator.h"

#include "models/errors.h"

#include <QFile>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

// The entropy-coded data of a wallpaper is tens of megabytes, so the decoder below reads it the way fast
// Huffman decoders do: a 64-bit bit buffer refilled eight bytes at a time while no 0xFF is near, and a
// 9-bit lookahead table whose entries already say how many bits a symbol and its magnitude take. Every
// verdict is the one a plain bit-at-a-time reader gives (the tests keep such a reader and compare both):
// the buffer never runs ahead of a marker, bits beyond the end of the valid data read as zero and only
// count as damage once a symbol actually needs them.

namespace Starvane {

namespace {

using u8 = std::uint8_t;

enum : std::uint32_t {
    kindNormal = 0,  // skip the bits, advance k by the increment; passing coefficient 63 is damage
    kindZeroRun = 1, // sixteen zeros (increment 16) or end of block (increment 64): may overshoot
    kindBad = 2,     // a symbol (or a code) that can only mean damage
    kindSlow = 3,    // code longer than the lookahead: walk maxCode
};

constexpr int lookaheadBits = 9;
// AC tables also get a wider table whose entries cover every whole symbol (code and magnitude bits) that
// fits in the window: a run of short coefficients costs one look-up instead of one per symbol.
constexpr int groupBits = 11;

constexpr std::uint32_t makeEntry(std::uint32_t kind, std::uint32_t skipBits, std::uint32_t increment)
{
    return kind << 16 | increment << 8 | skipBits;
}

struct HuffmanTable
{
    std::array<std::int32_t, 17> maxCode;
    std::array<std::int32_t, 17> valOffset;
    std::vector<u8> symbols;
    std::array<std::uint32_t, 1 << lookaheadBits> lookahead;
    // AC only. Bits 0-7: bits to skip; 8-15: how far k moves; 16-23: how far k moves before the last
    // symbol; 24-31: the last symbol's kind (kindNormal or kindZeroRun), or kindBad/kindSlow for the first.
    std::vector<std::uint32_t> group;
    bool defined = false;

    // The canonical match on the bits of `window` (`width` bits wide) from bit `offset` on, using at most
    // the bits left in the window. Returns the entry, or kindSlow when no code fits.
    std::uint32_t entryInWindow(bool ac, std::uint32_t window, int width, int offset) const
    {
        for (int l = 1; offset + l <= width; ++l) {
            const std::int32_t c = std::int32_t((window >> (width - offset - l)) & ((1u << l) - 1));
            if (c <= maxCode[l]) {
                const std::int32_t index = valOffset[l] + c;
                if (index < 0 || index >= std::int32_t(symbols.size())) return makeEntry(kindBad, 0, 0);
                return entryFor(ac, l, symbols[std::size_t(index)]);
            }
        }
        return makeEntry(kindSlow, 0, 0);
    }

    void buildGroups()
    {
        group.assign(std::size_t(1) << groupBits, 0);
        for (std::uint32_t v = 0; v < group.size(); ++v) {
            const std::uint32_t first = entryInWindow(true, v, groupBits, 0);
            if (first >> 16 > kindZeroRun) {
                group[v] = (first >> 16) << 24;
                continue;
            }
            std::uint32_t skip = first & 0xFF;
            std::uint32_t advance = (first >> 8) & 0xFF;
            std::uint32_t before = 0;
            std::uint32_t lastKind = first >> 16;
            while (advance < 64 && skip < std::uint32_t(groupBits)) {
                // The bits after `skip`, zero-padded: a symbol that fits in what is left of the window
                // resolves from real bits only, and one that does not fit is refused below.
                const std::uint32_t rest = (v << skip) & ((1u << groupBits) - 1);
                const std::uint32_t next = lookahead[rest >> (groupBits - lookaheadBits)];
                if (next >> 16 > kindZeroRun || skip + (next & 0xFF) > std::uint32_t(groupBits)) break;
                before = advance;
                advance += (next >> 8) & 0xFF;
                skip += next & 0xFF;
                lastKind = next >> 16;
            }
            group[v] = lastKind << 24 | before << 16 | advance << 8 | skip;
        }
    }

    // What decoding `symbol` with a code of `length` bits means for the block walk.
    static std::uint32_t entryFor(bool ac, int length, u8 symbol)
    {
        const std::uint32_t size = symbol & 0x0F;
        if (!ac) return makeEntry(kindNormal, length + size, 0);
        if (symbol == 0x00) return makeEntry(kindZeroRun, length, 64); // ends the block: k reaches 64 at least
        if (symbol == 0xF0) return makeEntry(kindZeroRun, length, 16);
        if (size == 0) return makeEntry(kindBad, 0, 0);
        return makeEntry(kindNormal, length + size, (symbol >> 4) + 1);
    }

    // Canonical code assignment; the lookahead is filled by running the same bit-by-bit match on
    // every 9-bit prefix, so short codes resolve exactly as the canonical walk would resolve them.
    void build(const u8 *counts, const u8 *syms, int symbolCount, bool ac)
    {
        symbols.assign(syms, syms + symbolCount);
        maxCode.fill(-1);
        valOffset.fill(0);
        std::int32_t code = 0;
        std::int32_t k = 0;
        for (int l = 1; l <= 16; ++l) {
            const int n = counts[l - 1];
            if (n >= 1) {
                valOffset[l] = k - code;
                k += n;
                code += n;
                maxCode[l] = code - 1;
            }
            code <<= 1;
        }
        for (std::uint32_t v = 0; v < lookahead.size(); ++v) {
            std::uint32_t entry = makeEntry(kindSlow, 0, 0);
            for (int l = 1; l <= lookaheadBits; ++l) {
                const std::int32_t c = std::int32_t(v >> (lookaheadBits - l));
                if (c <= maxCode[l]) {
                    const std::int32_t index = valOffset[l] + c;
                    entry = (index < 0 || index >= symbolCount) ? makeEntry(kindBad, 0, 0)
                                                                : entryFor(ac, l, symbols[index]);
                    break;
                }
            }
            lookahead[v] = entry;
        }
        group.clear(); // built when a scan first uses the table: most damaged files never get that far
        defined = true;
    }

    // Codes of 10 to 16 bits: `top16` holds the next 16 bits of the stream.
    std::uint32_t slowEntry(bool ac, std::uint32_t top16) const
    {
        for (int l = lookaheadBits + 1; l <= 16; ++l) {
            const std::int32_t c = std::int32_t(top16 >> (16 - l));
            if (c <= maxCode[l]) {
                const std::int32_t index = valOffset[l] + c;
                if (index < 0 || index >= std::int32_t(symbols.size())) return makeEntry(kindBad, 0, 0);
                return entryFor(ac, l, symbols[index]);
            }
        }
        return makeEntry(kindBad, 0, 0);
    }
};

struct Component
{
    u8 id;
    int hFactor;
    int vFactor;
};

struct ScanComponent
{
    const Component *comp;
    const HuffmanTable *dcTable; // null when never defined
    const HuffmanTable *acTable;
};

inline std::uint64_t loadBigEndian64(const u8 *p)
{
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return __builtin_bswap64(v);
}

inline bool hasFFByte(std::uint64_t w)
{
    const std::uint64_t v = ~w; // a 0xFF byte becomes a zero byte
    return ((v - 0x0101010101010101ull) & ~v & 0x8080808080808080ull) != 0;
}

struct ReaderState
{
    std::uint64_t buf; // valid bits left-aligned, zeros below them
    int bits;          // valid bits in buf; negative once a symbol used bits past the end
    std::size_t pos;   // next byte to fetch
    bool exhausted;    // the next unit is a marker or the end of the file
};

// Byte-at-a-time refill near a 0xFF or the end of the data; out of line, it is the rare case.
[[gnu::noinline]] ReaderState refillSlow(const u8 *d, std::size_t n, ReaderState s)
{
    while (s.bits <= 48) { // ends with 49 to 56 bits: the fast refill never shifts by 64
        if (s.pos >= n) {
            s.exhausted = true;
            return s;
        }
        const u8 b = d[s.pos];
        std::size_t q = s.pos + 1;
        if (b == 0xFF) {
            while (q < n && d[q] == 0xFF)
                ++q;
            if (q >= n || d[q] != 0x00) {
                s.exhausted = true;
                return s;
            }
            ++q;
        }
        s.buf |= std::uint64_t(b) << (56 - s.bits);
        s.bits += 8;
        s.pos = q;
    }
    return s;
}

#define STARVANE_ALWAYS_INLINE __attribute__((always_inline))

// Decodes the entropy-coded data of one sequential scan starting at `start`.
// Returns the verdict and, on success, the position where the data reader stopped.
JPEGVerdict decodeScan(const u8 *d, std::size_t n, std::size_t start, const ScanComponent *comps, int compCount,
                       std::uint64_t mcuCount, const int *blocksPerComp, std::uint32_t restartInterval,
                       std::size_t &stop)
{
    std::uint64_t buf = 0;
    int bits = 0;
    std::size_t pos = start;
    std::size_t origin = start; // where the reader's current run of units began
    bool exhausted = false;

    // Tops the buffer up to at least 49 bits unless the data ends first. Near no 0xFF this is one unaligned load:
    // bits below the valid ones are then simply the next bytes of the stream, loaded again next time, so
    // nothing needs masking. False when bits were already consumed beyond the valid data: the plain reader
    // would have failed there.
    auto refill = [&]() STARVANE_ALWAYS_INLINE -> bool {
        if (pos + 8 <= n) [[likely]] {
            const std::uint64_t w = loadBigEndian64(d + pos);
            if (!hasFFByte(w)) [[likely]] {
                buf |= w >> bits;
                pos += std::size_t((63 - bits) >> 3);
                bits |= 56;
                return true;
            }
        }
        if (!exhausted) {
            const ReaderState s = refillSlow(d, n, {buf, bits, pos, false});
            buf = s.buf;
            bits = s.bits;
            pos = s.pos;
            exhausted = s.exhausted;
        }
        return bits >= 0;
    };

    auto consume = [&](int count) STARVANE_ALWAYS_INLINE {
        buf <<= count;
        bits -= count;
    };

    auto decodeBlock = [&](const HuffmanTable &dc, const HuffmanTable &ac) STARVANE_ALWAYS_INLINE -> bool {
        if (!refill()) [[unlikely]]
            return false;
        std::uint32_t e = dc.lookahead[buf >> (64 - lookaheadBits)];
        if (e >> 16 != kindNormal) [[unlikely]] {
            if (e >> 16 != kindSlow) return false;
            e = dc.slowEntry(false, std::uint32_t(buf >> 48));
            if (e >> 16 != kindNormal) return false;
        }
        consume(int(e & 0xFF));

        int k = 1;
        while (true) {
            if (!refill()) [[unlikely]]
                return false;
            const std::uint32_t g = ac.group[std::size_t(buf >> (64 - groupBits))];
            if (g >> 24 > kindZeroRun || k + int((g >> 16) & 0xFF) >= 64) [[unlikely]] {
                // One symbol at a time: a long code, damage, or a group that would run past the block's end.
                e = ac.lookahead[buf >> (64 - lookaheadBits)];
                if (e >> 16 > kindZeroRun) {
                    if (e >> 16 == kindSlow) e = ac.slowEntry(true, std::uint32_t(buf >> 48));
                    if (e >> 16 > kindZeroRun) return false;
                }
                consume(int(e & 0xFF));
                k += int((e >> 8) & 0xFF);
                if (k >= 64) return k == 64 || e >> 16 == kindZeroRun;
                continue;
            }
            consume(int(g & 0xFF));
            k += int((g >> 8) & 0xFF);
            // An end-of-block or a run of sixteen zeros may overshoot; a coefficient may not.
            if (k >= 64) return k == 64 || g >> 24 == kindZeroRun;
        }
    };

    // The plain reader sits just after the last byte it fetched; whole bytes still in the buffer were
    // fetched ahead. Step back over them (a unit is one byte, or 0xFF, more 0xFF, 0x00) to find it.
    auto plainReaderPosition = [&]() -> std::size_t {
        std::size_t p = pos;
        for (int unread = bits >> 3; unread > 0; --unread) {
            --p;
            if (d[p] == 0x00 && p > origin && d[p - 1] == 0xFF) {
                --p;
                while (p > origin && d[p - 1] == 0xFF)
                    --p;
            }
        }
        return p;
    };

    int firstMissing = -1;
    for (int j = 0; j < compCount; ++j) {
        if (!comps[j].dcTable || !comps[j].acTable) {
            firstMissing = j;
            break;
        }
    }
    if (firstMissing >= 0) {
        // The missing table is noticed before that component's first block of the first MCU;
        // the components ahead of it in that MCU are decoded first.
        for (int j = 0; j < firstMissing; ++j)
            for (int b = 0; b < blocksPerComp[j]; ++b)
                if (!decodeBlock(*comps[j].dcTable, *comps[j].acTable)) return JPEGVerdict::truncatedImageData;
        if (bits < 0) return JPEGVerdict::truncatedImageData;
        return JPEGVerdict::invalidImageData;
    }

    std::uint32_t restartCounter = 0;
    std::uint32_t sinceRestart = 0;
    for (std::uint64_t mcu = 0; mcu < mcuCount; ++mcu) {
        if (restartInterval > 0 && mcu > 0 && sinceRestart == restartInterval) {
            if (bits < 0) return JPEGVerdict::truncatedImageData;
            std::size_t p = plainReaderPosition();
            while (p < n && d[p] == 0xFF)
                ++p;
            if (p >= n || d[p] != 0xD0 + (restartCounter & 7)) return JPEGVerdict::truncatedImageData;
            ++restartCounter;
            pos = origin = p + 1;
            buf = 0;
            bits = 0;
            exhausted = false;
            sinceRestart = 0;
        }
        for (int j = 0; j < compCount; ++j) {
            const HuffmanTable &dc = *comps[j].dcTable;
            const HuffmanTable &ac = *comps[j].acTable;
            for (int b = blocksPerComp[j]; b > 0; --b)
                if (!decodeBlock(dc, ac)) return JPEGVerdict::truncatedImageData;
        }
        ++sinceRestart;
    }
    if (bits < 0) return JPEGVerdict::truncatedImageData;
    // Bytes fetched ahead are whole data units, which the marker search passes over anyway.
    stop = pos;
    return JPEGVerdict::ok;
}

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
    std::vector<Component> components;
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

    // Sixteen tables of each class are 100 KB: keep them off the caller's stack.
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
                w.components.clear();
                for (int i = 0; i < count; ++i) {
                    const u8 *entry = pl + 6 + 3 * i;
                    if (entry[1] < 0x10 || (entry[1] & 0x0F) == 0) return V::invalidImageData;
                    w.components.push_back({entry[0], entry[1] >> 4, entry[1] & 0x0F});
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
                    table.build(counts, d + q + 17, total, ac);
                    q += 17 + std::size_t(total);
                }
            } else if (marker == 0xDD) {
                if (payloadSize < 2) return V::invalidImageData;
                w.restartInterval = std::uint32_t(pl[0]) << 8 | pl[1];
            } else if (marker == 0xDA) {
                if (payloadSize < 4 || w.width == 0 || w.height == 0) return V::invalidImageData;
                const int count = pl[0];
                if (count == 0 || 1 + 2 * std::size_t(count) + 3 > payloadSize) return V::invalidImageData;
                std::vector<ScanComponent> scan;
                std::vector<int> blocks;
                scan.reserve(std::size_t(count));
                for (int j = 0; j < count; ++j) {
                    const u8 id = pl[1 + 2 * j];
                    const u8 selectors = pl[2 + 2 * j];
                    const Component *comp = nullptr;
                    for (const Component &c : w.components) {
                        if (c.id == id) {
                            comp = &c;
                            break;
                        }
                    }
                    if (!comp) return V::invalidImageData;
                    const HuffmanTable &dc = w.dcTables[selectors >> 4];
                    HuffmanTable &ac = w.acTables[selectors & 0x0F];
                    if (ac.defined && ac.group.empty() && !w.progressive) ac.buildGroups();
                    scan.push_back({comp, dc.defined ? &dc : nullptr, ac.defined ? &ac : nullptr});
                }
                std::size_t next;
                if (!w.progressive) {
                    int hMax = 1;
                    int vMax = 1;
                    for (const Component &c : w.components) {
                        hMax = std::max(hMax, c.hFactor);
                        vMax = std::max(vMax, c.vFactor);
                    }
                    std::uint64_t mcus;
                    if (count == 1) {
                        const Component &c = *scan[0].comp;
                        const std::uint64_t cw = ceilDiv(std::uint64_t(w.width) * c.hFactor, hMax);
                        const std::uint64_t ch = ceilDiv(std::uint64_t(w.height) * c.vFactor, vMax);
                        mcus = ceilDiv(cw, 8) * ceilDiv(ch, 8);
                        blocks.push_back(1);
                    } else {
                        mcus = ceilDiv(w.width, 8 * std::uint64_t(hMax)) * ceilDiv(w.height, 8 * std::uint64_t(vMax));
                        for (const ScanComponent &sc : scan)
                            blocks.push_back(sc.comp->hFactor * sc.comp->vFactor);
                    }
                    std::size_t stop = end;
                    const V verdict =
                        decodeScan(d, n, end, scan.data(), count, mcus, blocks.data(), w.restartInterval, stop);
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
        // Only the small per-scan lists allocate; running out of memory is not the file's fault, but
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

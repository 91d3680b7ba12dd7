// SPDX-License-Identifier: GPL-3.0-or-later
#include "jpegentropydecoder.h"

#include <cstring>

// The entropy-coded data of a wallpaper is tens of megabytes, so it is read the way fast Huffman decoders
// read it: a 64-bit bit buffer refilled with one unaligned load while no 0xFF is near, a 9-bit lookahead
// whose entries already say how many bits a symbol and its magnitude take, and for AC a wider table that
// skips several short symbols at once. Every verdict is the one a plain bit-at-a-time reader gives (the
// tests keep such a reader and compare both): the buffer never runs ahead of a marker, and bits beyond the
// end of the valid data count as damage only once a symbol actually needs them.

namespace Starvane::JPEGDecoding {

namespace {

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

} // namespace

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
            e = dc.slowEntry(std::uint32_t(buf >> 48));
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
                    if (e >> 16 == kindSlow) e = ac.slowEntry(std::uint32_t(buf >> 48));
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

    // The same walk without look-ups, for tables that have none yet.
    auto decodeBlockCanonically = [&](const HuffmanTable &dc, const HuffmanTable &ac) STARVANE_ALWAYS_INLINE -> bool {
        if (!refill()) return false;
        std::uint32_t e = dc.canonicalEntry(std::uint32_t(buf >> 48));
        if (e >> 16 != kindNormal) return false;
        consume(int(e & 0xFF));
        int k = 1;
        while (true) {
            if (!refill()) return false;
            e = ac.canonicalEntry(std::uint32_t(buf >> 48));
            if (e >> 16 > kindZeroRun) return false;
            consume(int(e & 0xFF));
            k += int((e >> 8) & 0xFF);
            if (k >= 64) return k == 64 || e >> 16 == kindZeroRun;
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
                if (!decodeBlockCanonically(*comps[j].dcTable, *comps[j].acTable))
                    return JPEGVerdict::truncatedImageData;
        if (bits < 0) return JPEGVerdict::truncatedImageData;
        return JPEGVerdict::invalidImageData;
    }

    bool lookupsReady = true;
    for (int j = 0; j < compCount; ++j)
        lookupsReady = lookupsReady && comps[j].dcTable->lookupsBuilt && comps[j].acTable->lookupsBuilt;

    std::uint32_t restartCounter = 0;
    std::uint32_t sinceRestart = 0;
    for (std::uint64_t mcu = 0; mcu < mcuCount; ++mcu) {
        if (!lookupsReady && pos - start >= lookupBudgetBytes) {
            for (int j = 0; j < compCount; ++j) {
                if (!comps[j].dcTable->lookupsBuilt) comps[j].dcTable->buildLookups();
                if (!comps[j].acTable->lookupsBuilt) comps[j].acTable->buildLookups();
            }
            lookupsReady = true;
        }
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
            if (lookupsReady) {
                for (int b = blocksPerComp[j]; b > 0; --b)
                    if (!decodeBlock(dc, ac)) return JPEGVerdict::truncatedImageData;
            } else {
                for (int b = blocksPerComp[j]; b > 0; --b)
                    if (!decodeBlockCanonically(dc, ac)) return JPEGVerdict::truncatedImageData;
            }
        }
        ++sinceRestart;
    }
    if (bits < 0) return JPEGVerdict::truncatedImageData;
    // Bytes fetched ahead are whole data units, which the marker search passes over anyway.
    stop = pos;
    return JPEGVerdict::ok;
}

} // namespace Starvane::JPEGDecoding

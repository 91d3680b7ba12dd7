// SPDX-License-Identifier: GPL-3.0-or-later
// The validator's Huffman tables and its entropy-coded data walk (internal to the integrity code).
#pragma once

#include "jpegintegrityvalidator.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace Starvane::JPEGDecoding {

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

/// Walks the entropy-coded data of one sequential scan that starts at `start`: every block of every MCU,
/// with restart markers every `restartInterval` MCUs. On success `stop` is where the data reader stopped.
JPEGVerdict decodeScan(const u8 *d, std::size_t n, std::size_t start, const ScanComponent *comps, int compCount,
                       std::uint64_t mcuCount, const int *blocksPerComp, std::uint32_t restartInterval,
                       std::size_t &stop);

} // namespace Starvane::JPEGDecoding

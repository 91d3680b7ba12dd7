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

// A table from a DHT segment. Defining one only reads its code lengths: the look-up tables that make decoding
// fast cost thousands of steps to build, so they are built when a scan has used the table for a while and
// kept until the table is redefined. A file of nothing but definitions, or of tiny scans each after a
// redefinition, then costs what its bytes cost.
struct HuffmanTable
{
    std::array<std::int32_t, 17> maxCode;
    std::array<std::int32_t, 17> valOffset;
    const u8 *symbols = nullptr; // inside the file's bytes, which outlive the walk
    int symbolCount = 0;
    bool ac = false;
    bool defined = false;
    bool lookupsBuilt = false; // lookahead (and group, for AC) match the current definition
    std::array<std::uint32_t, 1 << lookaheadBits> lookahead;
    // AC only. Bits 0-7: bits to skip; 8-15: how far k moves; 16-23: how far k moves before the last
    // symbol; 24-31: the last symbol's kind (kindNormal or kindZeroRun), or kindBad/kindSlow for the first.
    std::vector<std::uint32_t> group;

    // Canonical code assignment: all a table needs before a scan uses it.
    void define(const u8 *counts, const u8 *syms, int count, bool isAC)
    {
        symbols = syms;
        symbolCount = count;
        ac = isAC;
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
        defined = true;
        lookupsBuilt = false;
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

    // The canonical match on the bits of `window` (`width` bits wide) from bit `offset` on, trying code
    // lengths from `firstLength` up to 16 or the end of the window. Returns the entry, or `noMatch`.
    std::uint32_t match(std::uint32_t window, int width, int offset, int firstLength, std::uint32_t noMatch) const
    {
        for (int l = firstLength; l <= 16 && offset + l <= width; ++l) {
            const std::int32_t c = std::int32_t((window >> (width - offset - l)) & ((1u << l) - 1));
            if (c <= maxCode[l]) {
                const std::int32_t index = valOffset[l] + c;
                if (index < 0 || index >= symbolCount) return makeEntry(kindBad, 0, 0);
                return entryFor(ac, l, symbols[index]);
            }
        }
        return noMatch;
    }

    // Any code, walked bit by bit: `top16` holds the next 16 bits of the stream.
    std::uint32_t canonicalEntry(std::uint32_t top16) const { return match(top16, 16, 0, 1, makeEntry(kindBad, 0, 0)); }

    // Codes of 10 to 16 bits, after the lookahead said kindSlow.
    std::uint32_t slowEntry(std::uint32_t top16) const
    {
        return match(top16, 16, 0, lookaheadBits + 1, makeEntry(kindBad, 0, 0));
    }

    // The lookahead runs the same canonical match on every 9-bit prefix, so short codes resolve exactly as
    // the bit-by-bit walk resolves them (over-full code spaces included).
    void buildLookups()
    {
        for (std::uint32_t v = 0; v < lookahead.size(); ++v)
            lookahead[v] = match(v, lookaheadBits, 0, 1, makeEntry(kindSlow, 0, 0));
        if (ac) buildGroups();
        lookupsBuilt = true;
    }

private:
    void buildGroups()
    {
        group.resize(std::size_t(1) << groupBits);
        for (std::uint32_t v = 0; v < group.size(); ++v) {
            const std::uint32_t first = match(v, groupBits, 0, 1, makeEntry(kindSlow, 0, 0));
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
    HuffmanTable *dcTable; // null when never defined
    HuffmanTable *acTable;
};

// A scan whose tables have no look-ups yet is walked code by code until it has used this many bytes; only a
// scan that long pays for building them (tens of microseconds), so the building never costs more than a
// small share of the bytes that led to it.
constexpr std::size_t lookupBudgetBytes = 16 * 1024;

/// Walks the entropy-coded data of one sequential scan that starts at `start`: every block of every MCU,
/// with restart markers every `restartInterval` MCUs. On success `stop` is where the data reader stopped.
/// Builds the look-ups of the scan's tables when the scan is long enough to repay them.
JPEGVerdict decodeScan(const u8 *d, std::size_t n, std::size_t start, const ScanComponent *comps, int compCount,
                       std::uint64_t mcuCount, const int *blocksPerComp, std::uint32_t restartInterval,
                       std::size_t &stop);

} // namespace Starvane::JPEGDecoding

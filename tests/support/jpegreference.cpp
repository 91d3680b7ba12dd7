// SPDX-License-Identifier: GPL-3.0-or-later
#include "jpegreference.h"

#include <map>
#include <optional>
#include <vector>

namespace Starvane::Testing {

namespace {

struct Invalid
{
};
struct Truncated
{
};

struct HuffmanTable
{
    std::vector<int> counts;
    std::vector<std::uint8_t> symbols;
    std::vector<std::int32_t> maxCode = std::vector<std::int32_t>(17, -1);
    std::vector<int> valOffset = std::vector<int>(17, 0);

    HuffmanTable(std::vector<int> c, std::vector<std::uint8_t> s) : counts(std::move(c)), symbols(std::move(s))
    {
        std::int32_t code = 0;
        int k = 0;
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
    }
};

struct Component
{
    std::uint8_t id;
    int hFactor;
    int vFactor;
};

struct ScanEntry
{
    Component comp;
    std::optional<HuffmanTable> dcTable;
    std::optional<HuffmanTable> acTable;
};

struct Reference
{
    const std::uint8_t *bytes;
    std::size_t length;
    std::size_t position = 0;
    std::map<int, HuffmanTable> dcTables;
    std::map<int, HuffmanTable> acTables;
    std::vector<Component> components;
    long long X = 0;
    long long Y = 0;
    int restartInterval = 0;
    bool sequential = false;
    bool progressive = false;
    bool scanProcessed = false;
    bool finalProgressiveScanSeen = false;

    Reference(const std::uint8_t *b, std::size_t n) : bytes(b), length(n) {}

    // Bit reader state.
    int currentByte = 0;
    int bitsLeft = 0;

    std::size_t advanceToNextMarker(std::size_t from) const
    {
        std::size_t p = from;
        while (p < length) {
            if (bytes[p] != 0xFF) {
                ++p;
                continue;
            }
            const std::size_t start = p;
            std::size_t q = p + 1;
            while (q < length && bytes[q] == 0xFF)
                ++q;
            if (q >= length) return length;
            if (bytes[q] == 0x00 || (bytes[q] >= 0xD0 && bytes[q] <= 0xD7)) {
                p = q + 1;
                continue;
            }
            return start;
        }
        return length;
    }

    int nextBit()
    {
        if (bitsLeft == 0) {
            if (position >= length) throw Truncated{};
            int b = bytes[position++];
            if (b == 0xFF) {
                if (position >= length) throw Truncated{};
                while (position < length && bytes[position] == 0xFF)
                    ++position;
                if (position >= length) throw Truncated{};
                if (bytes[position] != 0x00) throw Truncated{};
                ++position;
            }
            currentByte = b;
            bitsLeft = 8;
        }
        --bitsLeft;
        return (currentByte >> bitsLeft) & 1;
    }

    void skipBits(int s)
    {
        for (int i = 0; i < s; ++i)
            nextBit();
    }

    std::uint8_t decodeSymbol(const HuffmanTable &t)
    {
        std::int32_t code = 0;
        for (int l = 1; l <= 16; ++l) {
            code = code * 2 + nextBit();
            if (code <= t.maxCode[l]) {
                const long index = long(t.valOffset[l]) + code;
                if (index < 0 || index >= long(t.symbols.size())) throw Truncated{};
                return t.symbols[std::size_t(index)];
            }
        }
        throw Truncated{};
    }

    void decodeBlock(const HuffmanTable &dc, const HuffmanTable &ac)
    {
        const int s = decodeSymbol(dc) & 0x0F;
        skipBits(s);
        int k = 1;
        while (k < 64) {
            const std::uint8_t symbol = decodeSymbol(ac);
            if (symbol == 0x00) break;
            const int r = symbol >> 4;
            const int size = symbol & 0x0F;
            if (size == 0) {
                if (symbol != 0xF0) throw Truncated{};
                k += 16;
            } else {
                k += r + 1;
                if (k > 64) throw Truncated{};
                skipBits(size);
            }
        }
    }

    static long long ceilDiv(long long a, long long b) { return (a + b - 1) / b; }

    void decodeScan(const std::vector<ScanEntry> &scan, std::size_t start)
    {
        int hMax = 0;
        int vMax = 0;
        for (const Component &c : components) {
            hMax = std::max(hMax, c.hFactor);
            vMax = std::max(vMax, c.vFactor);
        }
        long long mcus;
        std::vector<int> blocks;
        if (scan.size() == 1) {
            const Component &c = scan[0].comp;
            const long long width = ceilDiv(X * c.hFactor, hMax);
            const long long height = ceilDiv(Y * c.vFactor, vMax);
            mcus = ceilDiv(width, 8) * ceilDiv(height, 8);
            blocks.push_back(1);
        } else {
            mcus = ceilDiv(X, 8LL * hMax) * ceilDiv(Y, 8LL * vMax);
            for (const ScanEntry &e : scan)
                blocks.push_back(e.comp.hFactor * e.comp.vFactor);
        }
        position = start;
        bitsLeft = 0;
        int restartCounter = 0;
        for (long long mcu = 0; mcu < mcus; ++mcu) {
            if (restartInterval > 0 && mcu > 0 && mcu % restartInterval == 0) {
                bitsLeft = 0;
                while (position < length && bytes[position] == 0xFF)
                    ++position;
                if (position >= length) throw Truncated{};
                if (bytes[position] != 0xD0 + restartCounter % 8) throw Truncated{};
                ++restartCounter;
                ++position;
            }
            for (std::size_t j = 0; j < scan.size(); ++j) {
                if (!scan[j].dcTable) throw Invalid{};
                if (!scan[j].acTable) throw Invalid{};
                for (int b = 0; b < blocks[j]; ++b)
                    decodeBlock(*scan[j].dcTable, *scan[j].acTable);
            }
        }
    }

    void run()
    {
        if (length < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) throw Invalid{};
        position = 2;
        while (true) {
            if (bytes[position] != 0xFF) throw Truncated{};
            std::size_t p = position + 1;
            while (p < length && bytes[p] == 0xFF)
                ++p;
            if (p >= length) throw Truncated{};
            const int code = bytes[p];
            if (code == 0x01 || (code >= 0xD0 && code <= 0xD7)) {
                position = p + 1;
                if (position >= length) throw Truncated{};
                continue;
            }
            if (code == 0xD9) {
                if (scanProcessed && (!progressive || finalProgressiveScanSeen)) return;
                throw Truncated{};
            }
            if (p + 3 > length) throw Truncated{};
            const std::size_t L = std::size_t(bytes[p + 1]) * 256 + bytes[p + 2];
            if (L < 2) throw Truncated{};
            const std::size_t segmentEnd = p + 1 + L;
            if (segmentEnd > length) throw Truncated{};
            std::vector<std::uint8_t> payload(bytes + p + 3, bytes + segmentEnd);

            if (code == 0xC0 || code == 0xC1 || code == 0xC2) {
                if (payload.size() < 6) throw Invalid{};
                Y = payload[1] * 256 + payload[2];
                X = payload[3] * 256 + payload[4];
                const int nf = payload[5];
                if (nf == 0) throw Invalid{};
                if (6 + 3 * std::size_t(nf) > payload.size()) throw Invalid{};
                components.clear();
                for (int i = 0; i < nf; ++i) {
                    const int sampling = payload[6 + 3 * i + 1];
                    if (sampling < 0x10 || (sampling & 0x0F) == 0) throw Invalid{};
                    components.push_back({payload[6 + 3 * i], sampling >> 4, sampling & 0x0F});
                }
                sequential = code != 0xC2;
                progressive = code == 0xC2;
            } else if (code == 0xC4) {
                std::size_t q = 0;
                while (q < payload.size()) {
                    if (payload.size() - q < 17) throw Invalid{};
                    const int classAndId = payload[q];
                    std::vector<int> counts;
                    int n = 0;
                    for (int i = 0; i < 16; ++i) {
                        counts.push_back(payload[q + 1 + i]);
                        n += payload[q + 1 + i];
                    }
                    if (q + 17 + std::size_t(n) > payload.size()) throw Invalid{};
                    std::vector<std::uint8_t> symbols(payload.begin() + long(q) + 17,
                                                      payload.begin() + long(q) + 17 + n);
                    HuffmanTable table(counts, symbols);
                    if (classAndId < 16)
                        dcTables.insert_or_assign(classAndId & 0x0F, table);
                    else
                        acTables.insert_or_assign(classAndId & 0x0F, table);
                    q += 17 + std::size_t(n);
                }
            } else if (code == 0xDD) {
                if (payload.size() < 2) throw Invalid{};
                restartInterval = payload[0] * 256 + payload[1];
            } else if (code == 0xDA) {
                if (payload.size() < 4) throw Invalid{};
                if (X == 0 || Y == 0) throw Invalid{};
                const int ns = payload[0];
                if (ns == 0) throw Invalid{};
                if (payload.size() < 1 + 2 * std::size_t(ns) + 3) throw Invalid{};
                std::vector<ScanEntry> scan;
                for (int j = 0; j < ns; ++j) {
                    const int id = payload[1 + 2 * j];
                    const int selectors = payload[2 + 2 * j];
                    const Component *found = nullptr;
                    for (const Component &c : components) {
                        if (c.id == id) {
                            found = &c;
                            break;
                        }
                    }
                    if (!found) throw Invalid{};
                    ScanEntry entry{*found, std::nullopt, std::nullopt};
                    if (auto it = dcTables.find(selectors >> 4); it != dcTables.end()) entry.dcTable = it->second;
                    if (auto it = acTables.find(selectors & 0x0F); it != acTables.end()) entry.acTable = it->second;
                    scan.push_back(entry);
                }
                std::size_t next;
                if (sequential) {
                    decodeScan(scan, segmentEnd);
                    next = advanceToNextMarker(position);
                } else {
                    const int se = payload[1 + 2 * ns + 1];
                    const int al = payload[1 + 2 * ns + 2] & 0x0F;
                    if (se == 63 && al == 0) finalProgressiveScanSeen = true;
                    next = advanceToNextMarker(segmentEnd);
                }
                scanProcessed = true;
                if (next >= length) throw Truncated{};
                position = next;
                continue;
            }
            position = segmentEnd;
            if (position >= length) throw Truncated{};
        }
    }
};

} // namespace

JPEGVerdict referenceJPEGVerdict(const std::uint8_t *data, std::size_t size)
{
    Reference r(data, size);
    try {
        r.run();
        return JPEGVerdict::ok;
    } catch (const Invalid &) {
        return JPEGVerdict::invalidImageData;
    } catch (const Truncated &) {
        return JPEGVerdict::truncatedImageData;
    }
}

} // namespace Starvane::Testing

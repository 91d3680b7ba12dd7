// SPDX-License-Identifier: GPL-3.0-or-later
// Small JPEG (and other) files made at test time, plus byte surgery on them.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <initializer_list>
#include <optional>

namespace Starvane::Testing {

/// A noisy gradient, so that the compressed data is not trivial; the seed makes it reproducible.
QImage noisyImage(int width, int height, quint32 seed, QImage::Format format = QImage::Format_RGB32);

/// Encodes with Qt's own writer ("jpeg", "png", "webp", ...).
QByteArray encodeWithQt(const QImage &image, const char *format, int quality = 90, bool progressive = false);

/// Runs a program with `input` on its standard input and returns what it wrote, or nothing when the program
/// is missing or fails. `scanScript` (when not empty) is written to a file whose path replaces "%SCANS%".
std::optional<QByteArray> runTool(const QString &program, QStringList arguments, const QByteArray &input,
                                  const QByteArray &scanScript = {});

/// The image as binary PPM (or PGM for grey images), the input cjpeg reads.
QByteArray toNetpbm(const QImage &image);

/// One marker segment (or entropy-coded run) of a JPEG file, found by walking it like a decoder would.
struct JPEGSegment
{
    quint8 marker;    // 0 for entropy-coded data
    qsizetype offset; // of the 0xFF (or of the first data byte)
    qsizetype length; // bytes up to the next segment
};
QList<JPEGSegment> jpegSegments(const QByteArray &jpeg);

/// The file without every scan (header and data) for which `drop` returns true; `drop` gets the scan header.
QByteArray withoutScans(const QByteArray &jpeg, bool (*drop)(const QByteArray &sosPayload));

/// Builds a tiny 8×8 grey baseline file from explicit tables and entropy-coded bytes.
QByteArray handmadeJPEG(const QList<int> &dcCounts, const QByteArray &dcSymbols, const QList<int> &acCounts,
                        const QByteArray &acSymbols, const QByteArray &entropyData, int width = 8, int height = 8,
                        int restartInterval = 0);

/// Files that cost the validator most per byte, `bytes` long or a little more: an 8×8 grey frame followed by
/// Huffman table definitions back to back (then one tiny scan when `endWithScan`), or by one-block scans
/// each after its own redefinition of both tables.
QByteArray manyTableDefinitionsJPEG(qsizetype bytes, bool endWithScan);
QByteArray manyTinyScansJPEG(qsizetype bytes);

/// The bytes given as integers (0 to 255).
QByteArray bytesOf(std::initializer_list<int> values);

/// Packs a string of '0'/'1' into bytes, padding with 1-bits and stuffing 0x00 after each 0xFF.
QByteArray packBits(const QString &bits);

} // namespace Starvane::Testing

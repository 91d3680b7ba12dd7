// SPDX-License-Identifier: GPL-3.0-or-later
#include "jpegcorpus.h"

#include <QBuffer>
#include <QImageWriter>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace Starvane::Testing {

QImage noisyImage(int width, int height, quint32 seed, QImage::Format format)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int noise = int(random.bounded(64u));
            image.setPixel(x, y,
                           qRgb((x * 255 / qMax(1, width - 1) + noise) & 0xFF, (y * 255 / qMax(1, height - 1)) ^ noise,
                                (x * y + noise * 3) & 0xFF));
        }
    }
    return image.convertToFormat(format);
}

QByteArray encodeWithQt(const QImage &image, const char *format, int quality, bool progressive)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(progressive);
    if (!writer.write(image)) return {};
    return bytes;
}

std::optional<QByteArray> runTool(const QString &program, QStringList arguments, const QByteArray &input,
                                  const QByteArray &scanScript)
{
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty()) return std::nullopt;
    QTemporaryFile script;
    if (!scanScript.isEmpty()) {
        if (!script.open()) return std::nullopt;
        script.write(scanScript);
        script.flush();
        arguments.replaceInStrings(QStringLiteral("%SCANS%"), script.fileName());
    }
    QProcess process;
    process.start(path, arguments);
    if (!process.waitForStarted(10000)) return std::nullopt;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) return std::nullopt;
    return process.readAllStandardOutput();
}

QByteArray toNetpbm(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const bool grey = image.format() == QImage::Format_Grayscale8;
    image.save(&buffer, grey ? "PGM" : "PPM");
    return bytes;
}

QList<JPEGSegment> jpegSegments(const QByteArray &jpeg)
{
    QList<JPEGSegment> segments;
    const auto *d = reinterpret_cast<const uchar *>(jpeg.constData());
    const qsizetype n = jpeg.size();
    qsizetype pos = 2;
    segments.append({0xD8, 0, 2});
    while (pos + 1 < n) {
        if (d[pos] != 0xFF) { // entropy-coded data up to the next real marker
            qsizetype q = pos;
            while (q + 1 < n &&
                   !(d[q] == 0xFF && d[q + 1] != 0x00 && d[q + 1] != 0xFF && !(d[q + 1] >= 0xD0 && d[q + 1] <= 0xD7)))
                ++q;
            segments.append({0, pos, q - pos});
            pos = q;
            continue;
        }
        const quint8 marker = d[pos + 1];
        if (marker == 0xD9 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01 || pos + 3 >= n) {
            segments.append({marker, pos, 2});
            if (marker == 0xD9) break;
            pos += 2;
            continue;
        }
        const qsizetype length = (d[pos + 2] << 8 | d[pos + 3]) + 2;
        segments.append({marker, pos, length});
        pos += length;
    }
    return segments;
}

QByteArray withoutScans(const QByteArray &jpeg, bool (*drop)(const QByteArray &))
{
    QByteArray out;
    bool dropping = false;
    for (const JPEGSegment &s : jpegSegments(jpeg)) {
        if (s.marker == 0xDA)
            dropping = drop(jpeg.mid(s.offset + 4, s.length - 4));
        else if (s.marker != 0)
            dropping = false;
        if (!dropping) out.append(jpeg.mid(s.offset, s.length));
    }
    return out;
}

QByteArray bytesOf(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

QByteArray packBits(const QString &bits)
{
    QString padded = bits;
    while (padded.size() % 8)
        padded.append(QLatin1Char('1'));
    QByteArray out;
    for (qsizetype i = 0; i < padded.size(); i += 8) {
        const auto byte = char(padded.mid(i, 8).toUInt(nullptr, 2));
        out.append(byte);
        if (uchar(byte) == 0xFF) out.append('\0');
    }
    return out;
}

namespace {

QByteArray segment(quint8 marker, const QByteArray &payload)
{
    QByteArray s;
    s.append(char(0xFF)).append(char(marker));
    const int length = int(payload.size()) + 2;
    s.append(char(length >> 8)).append(char(length & 0xFF));
    return s + payload;
}

QByteArray huffmanTable(int classAndId, const QList<int> &counts, const QByteArray &symbols)
{
    QByteArray t(1, char(classAndId));
    for (int i = 0; i < 16; ++i)
        t.append(char(i < counts.size() ? counts[i] : 0));
    return t + symbols;
}

// SOI, one quantisation table and the frame header of a grey image.
QByteArray greyFrameHeader(int width, int height)
{
    QByteArray jpeg("\xFF\xD8", 2);
    QByteArray dqt(65, '\x01');
    dqt[0] = 0;
    jpeg += segment(0xDB, dqt);
    const QByteArray sof{"\x08", 1};
    jpeg += segment(0xC0, sof + bytesOf({height >> 8, height & 0xFF, width >> 8, width & 0xFF, 1, 1, 0x11, 0}));
    return jpeg;
}

QByteArray greyScanHeader()
{
    return segment(0xDA, bytesOf({1, 1, 0x00, 0, 63, 0}));
}

// DC: "0" is size 0. AC: "00" run 0 size 1, "01" end of block, "10" sixteen zeros, "110" run 15 size 1,
// "1110" the impossible 0x10. One 8×8 block of "DC 0, end of block" is then the bits 001.
QByteArray smallTables()
{
    return huffmanTable(0x00, {1}, QByteArray("\x00", 1)) +
           huffmanTable(0x10, {0, 3, 1, 1}, QByteArray("\x01\x00\xF0\xF1\x10", 5));
}

} // namespace

QByteArray handmadeJPEG(const QList<int> &dcCounts, const QByteArray &dcSymbols, const QList<int> &acCounts,
                        const QByteArray &acSymbols, const QByteArray &entropyData, int width, int height,
                        int restartInterval)
{
    QByteArray jpeg = greyFrameHeader(width, height);
    jpeg += segment(0xC4, huffmanTable(0x00, dcCounts, dcSymbols) + huffmanTable(0x10, acCounts, acSymbols));
    if (restartInterval > 0) jpeg += segment(0xDD, bytesOf({restartInterval >> 8, restartInterval & 0xFF}));
    jpeg += greyScanHeader();
    jpeg += entropyData;
    jpeg += QByteArray("\xFF\xD9", 2);
    return jpeg;
}

QByteArray manyTableDefinitionsJPEG(qsizetype bytes, bool endWithScan)
{
    QByteArray jpeg = greyFrameHeader(8, 8);
    const QByteArray tables = smallTables();
    QByteArray payload;
    while (payload.size() + tables.size() <= std::min<qsizetype>(65533, bytes))
        payload += tables;
    const QByteArray dht = segment(0xC4, payload);
    while (jpeg.size() < bytes)
        jpeg += dht;
    if (endWithScan) jpeg += greyScanHeader() + packBits(QStringLiteral("001"));
    return jpeg + QByteArray("\xFF\xD9", 2);
}

QByteArray manyTinyScansJPEG(qsizetype bytes)
{
    QByteArray jpeg = greyFrameHeader(8, 8);
    const QByteArray scan = segment(0xC4, smallTables()) + greyScanHeader() + packBits(QStringLiteral("001"));
    jpeg.reserve(bytes + scan.size() + 2);
    while (jpeg.size() < bytes)
        jpeg += scan;
    return jpeg + QByteArray("\xFF\xD9", 2);
}

} // namespace Starvane::Testing

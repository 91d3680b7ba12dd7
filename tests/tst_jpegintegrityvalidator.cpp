// SPDX-License-Identifier: GPL-3.0-or-later
#include "integrity/jpegintegrityvalidator.h"
#include "jpegcorpus.h"
#include "jpegreference.h"
#include "models/errors.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace Starvane;
using namespace Starvane::Testing;

namespace {

JPEGVerdict fastVerdict(const QByteArray &bytes)
{
    return JPEGIntegrityValidator::check(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                                         std::size_t(bytes.size()));
}

JPEGVerdict literalVerdict(const QByteArray &bytes)
{
    return referenceJPEGVerdict(reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size()));
}

const auto ok = JPEGVerdict::ok;
const auto invalid = JPEGVerdict::invalidImageData;
const auto truncated = JPEGVerdict::truncatedImageData;

// The position of the first entropy-coded byte and the length of that run.
JPEGSegment firstEntropyData(const QByteArray &jpeg)
{
    for (const JPEGSegment &s : jpegSegments(jpeg))
        if (s.marker == 0) return s;
    return {0, -1, 0};
}

qsizetype offsetOf(const QByteArray &jpeg, quint8 marker)
{
    for (const JPEGSegment &s : jpegSegments(jpeg))
        if (s.marker == marker) return s.offset;
    return -1;
}

QByteArray inserted(QByteArray jpeg, qsizetype at, const QByteArray &bytes)
{
    return jpeg.insert(at, bytes);
}

QByteArray patched(QByteArray jpeg, qsizetype at, char byte)
{
    jpeg[at] = byte;
    return jpeg;
}

bool isFinalProgressiveScan(const QByteArray &sos)
{
    const int ns = quint8(sos[0]);
    return quint8(sos[1 + 2 * ns + 1]) == 63 && (quint8(sos[1 + 2 * ns + 2]) & 0x0F) == 0;
}

// Handmade tables: DC has one 1-bit code "0" for size 0. AC: "00" run 0 size 1, "01" end of block,
// "10" sixteen zeros, "110" run 15 size 1, "1110" the impossible 0x10; "1111..." matches nothing.
const QList<int> dcCounts{1};
const QByteArray dcSymbols("\x00", 1);
const QList<int> acCounts{0, 3, 1, 1};
const QByteArray acSymbols("\x01\x00\xF0\xF1\x10", 5);

QByteArray handmade(const QString &bits)
{
    return handmadeJPEG(dcCounts, dcSymbols, acCounts, acSymbols, packBits(bits));
}

// Ten 8×8 blocks, one per MCU, each "DC 0, end of block", with a restart marker after every MCU.
QByteArray restartStream(const QList<int> &markers, const QByteArray &fill = {})
{
    QByteArray data;
    for (int i = 0; i < 10; ++i) {
        data += packBits(QStringLiteral("001"));
        if (i < markers.size() && i < 9) data += fill + bytesOf({0xFF, 0xD0 + markers[i]});
    }
    return handmadeJPEG(dcCounts, dcSymbols, acCounts, acSymbols, data, 80, 8, 1);
}

} // namespace

class TestJPEGIntegrityValidator : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void corpus_data();
    void corpus();
    void damagedFiles_data();
    void damagedFiles();
    void handmadeStreams_data();
    void handmadeStreams();
    void everyCutAgreesWithReference();
    void seededMutationsAgreeWithReference_data();
    void seededMutationsAgreeWithReference();
    void validateReadsFiles();

private:
    QMap<QString, QByteArray> m_corpus;
    bool m_haveCjpeg = false;
};

void TestJPEGIntegrityValidator::initTestCase()
{
    const QImage colour = noisyImage(67, 45, 1);
    const QImage grey = colour.convertToFormat(QImage::Format_Grayscale8);
    m_corpus[QStringLiteral("qt baseline")] = encodeWithQt(colour, "jpeg", 90);
    m_corpus[QStringLiteral("qt progressive")] = encodeWithQt(colour, "jpeg", 90, true);
    m_corpus[QStringLiteral("qt grey")] = encodeWithQt(grey, "jpeg", 75);
    m_corpus[QStringLiteral("png")] = encodeWithQt(colour, "png");
    for (const auto &bytes : std::as_const(m_corpus))
        QVERIFY(!bytes.isEmpty());

    const QByteArray ppm = toNetpbm(colour);
    const QByteArray pgm = toNetpbm(grey);
    const struct
    {
        const char *name;
        QStringList arguments;
        bool greyInput;
        QByteArray scans;
    } cjpegVariants[] = {
        {"cjpeg 4:2:0", {QStringLiteral("-sample"), QStringLiteral("2x2")}, false, {}},
        {"cjpeg 4:2:2", {QStringLiteral("-sample"), QStringLiteral("2x1")}, false, {}},
        {"cjpeg 4:4:4", {QStringLiteral("-sample"), QStringLiteral("1x1")}, false, {}},
        {"cjpeg 4:1:1", {QStringLiteral("-sample"), QStringLiteral("4x1")}, false, {}},
        {"cjpeg mixed 2x1,1x2,1x1", {QStringLiteral("-sample"), QStringLiteral("2x1,1x2,1x1")}, false, {}},
        {"cjpeg odd 3x2,1x1,1x1", {QStringLiteral("-sample"), QStringLiteral("3x2,1x1,1x1")}, false, {}},
        {"cjpeg grey", {QStringLiteral("-grayscale")}, true, {}},
        {"cjpeg optimised", {QStringLiteral("-optimize")}, false, {}},
        {"cjpeg restart every MCU", {QStringLiteral("-restart"), QStringLiteral("1B")}, false, {}},
        {"cjpeg restart every 3 MCUs", {QStringLiteral("-restart"), QStringLiteral("3B")}, false, {}},
        {"cjpeg restart every row", {QStringLiteral("-restart"), QStringLiteral("1")}, false, {}},
        {"cjpeg non-interleaved", {QStringLiteral("-scans"), QStringLiteral("%SCANS%")}, false, "0;\n1;\n2;\n"},
        {"cjpeg partly interleaved 4:2:0",
         {QStringLiteral("-sample"), QStringLiteral("2x2"), QStringLiteral("-scans"), QStringLiteral("%SCANS%")},
         false,
         "0;\n1,2;\n"},
        {"cjpeg progressive", {QStringLiteral("-progressive")}, false, {}},
        {"cjpeg progressive grey", {QStringLiteral("-progressive"), QStringLiteral("-grayscale")}, true, {}},
        {"cjpeg arithmetic", {QStringLiteral("-arithmetic")}, false, {}},
    };
    for (const auto &v : cjpegVariants) {
        const auto out = runTool(QStringLiteral("cjpeg"), v.arguments, v.greyInput ? pgm : ppm, v.scans);
        if (out) m_corpus[QString::fromLatin1(v.name)] = *out;
    }
    m_haveCjpeg = m_corpus.contains(QStringLiteral("cjpeg 4:2:0"));
    if (m_haveCjpeg) {
        const auto out = runTool(
            QStringLiteral("jpegtran"),
            {QStringLiteral("-restart"), QStringLiteral("2B"), QStringLiteral("-scans"), QStringLiteral("%SCANS%")},
            m_corpus[QStringLiteral("cjpeg 4:2:0")], "0;\n1;\n2;\n");
        if (out) m_corpus[QStringLiteral("jpegtran non-interleaved 4:2:0 with restarts")] = *out;
    } else {
        qWarning("cjpeg (libjpeg-turbo-progs) is not installed: the cjpeg/jpegtran rows are skipped");
    }

    const QByteArray baseline = m_corpus[QStringLiteral("qt baseline")];
    const QByteArray progressive = m_corpus[QStringLiteral("qt progressive")];
    m_corpus[QStringLiteral("progressive without final scan")] = withoutScans(progressive, isFinalProgressiveScan);
    m_corpus[QStringLiteral("bytes after EOI")] = baseline + QByteArray("\x00\xFF\xD8 trailing garbage", 20);
    QByteArray fill = baseline;
    for (qsizetype at = offsetOf(fill, 0xDA); at > 2; at = offsetOf(fill.left(at), 0xDB))
        fill.insert(at, QByteArray(3, char(0xFF)));
    m_corpus[QStringLiteral("fill bytes before markers")] = fill;

    // Scans long enough that the validator switches to its look-up tables part-way through.
    const QImage large = noisyImage(240, 160, 2);
    m_corpus[QStringLiteral("qt baseline, long scan")] = encodeWithQt(large, "jpeg", 90);
    const auto restartsLarge =
        runTool(QStringLiteral("cjpeg"),
                {QStringLiteral("-quality"), QStringLiteral("95"), QStringLiteral("-restart"), QStringLiteral("3B")},
                toNetpbm(large));
    if (restartsLarge) m_corpus[QStringLiteral("cjpeg restart every 3 MCUs, long scan")] = *restartsLarge;
    m_corpus[QStringLiteral("only table definitions")] = manyTableDefinitionsJPEG(32 * 1024, false);
    m_corpus[QStringLiteral("table definitions, then a scan")] = manyTableDefinitionsJPEG(32 * 1024, true);
    m_corpus[QStringLiteral("tiny scans, each after a redefinition")] = manyTinyScansJPEG(32 * 1024);
}

void TestJPEGIntegrityValidator::corpus_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<JPEGVerdict>("expected");
    const struct
    {
        const char *name;
        JPEGVerdict expected;
    } rows[] = {
        {"qt baseline", ok},
        {"qt progressive", ok},
        {"qt grey", ok},
        {"png", invalid},
        {"cjpeg 4:2:0", ok},
        {"cjpeg 4:2:2", ok},
        {"cjpeg 4:4:4", ok},
        {"cjpeg 4:1:1", ok},
        {"cjpeg mixed 2x1,1x2,1x1", ok},
        {"cjpeg odd 3x2,1x1,1x1", ok},
        {"cjpeg grey", ok},
        {"cjpeg optimised", ok},
        {"cjpeg restart every MCU", ok},
        {"cjpeg restart every 3 MCUs", ok},
        {"cjpeg restart every row", ok},
        {"cjpeg non-interleaved", ok},
        {"cjpeg partly interleaved 4:2:0", ok},
        {"jpegtran non-interleaved 4:2:0 with restarts", ok},
        {"cjpeg progressive", ok},
        {"cjpeg progressive grey", ok},
        // Arithmetic coding has no frame header we read: no size is known at the first scan.
        {"cjpeg arithmetic", invalid},
        {"progressive without final scan", truncated},
        {"bytes after EOI", ok},
        {"fill bytes before markers", ok},
        {"qt baseline, long scan", ok},
        {"cjpeg restart every 3 MCUs, long scan", ok},
        // Definitions alone are no image; each one-block scan is complete in itself.
        {"only table definitions", truncated},
        {"table definitions, then a scan", ok},
        {"tiny scans, each after a redefinition", ok},
    };
    for (const auto &r : rows)
        QTest::newRow(r.name) << QString::fromLatin1(r.name) << r.expected;
}

void TestJPEGIntegrityValidator::corpus()
{
    QFETCH(QString, name);
    QFETCH(JPEGVerdict, expected);
    if (!m_corpus.contains(name)) QSKIP("cjpeg/jpegtran (libjpeg-turbo-progs) could not produce this file");
    const QByteArray bytes = m_corpus.value(name);
    QCOMPARE(literalVerdict(bytes), expected);
    QCOMPARE(fastVerdict(bytes), expected);
}

void TestJPEGIntegrityValidator::damagedFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<JPEGVerdict>("expected");

    const QByteArray baseline = m_corpus[QStringLiteral("qt baseline")];
    const JPEGSegment data = firstEntropyData(baseline);
    const qsizetype sof = offsetOf(baseline, 0xC0);
    const qsizetype sos = offsetOf(baseline, 0xDA);
    QVERIFY(data.offset > 0 && sof > 0 && sos > 0);

    QTest::newRow("three bytes") << QByteArray("\xFF\xD8\xFF", 3) << invalid;
    QTest::newRow("empty") << QByteArray() << invalid;
    QTest::newRow("no SOI") << baseline.mid(2) << invalid;
    QTest::newRow("only SOI and EOI") << QByteArray("\xFF\xD8\xFF\xD9", 4) << truncated;
    QTest::newRow("EOI before any scan") << baseline.left(sos) + QByteArray("\xFF\xD9", 2) << truncated;
    QTest::newRow("EOI removed") << baseline.chopped(2) << truncated;
    QTest::newRow("cut after scan header") << baseline.left(data.offset) << truncated;
    for (int percent : {1, 30, 60, 99})
        QTest::addRow("cut at %d%% of the data", percent)
            << baseline.left(data.offset + data.length * percent / 100) << truncated;
    QTest::newRow("non-0xFF where a marker belongs") << inserted(baseline, sof, QByteArray(1, '\x00')) << truncated;
    QTest::newRow("segment length 1") << inserted(baseline, sof, QByteArray("\xFF\xFE\x00\x01", 4)) << truncated;
    QTest::newRow("segment runs past the end") << baseline.left(sof + 6) << truncated;
    QTest::newRow("fill bytes to the end") << baseline.left(sof) + QByteArray(4, char(0xFF)) << truncated;
    QTest::newRow("TEM stands alone") << inserted(baseline, sof, QByteArray("\xFF\x01", 2)) << ok;
    QTest::newRow("lossless frame (SOF3)") << patched(baseline, sof + 1, char(0xC3)) << invalid;
    QTest::newRow("arithmetic frame (SOF9)") << patched(baseline, sof + 1, char(0xC9)) << invalid;
    QTest::newRow("extended sequential (SOF1)") << patched(baseline, sof + 1, char(0xC1)) << ok;
    QTest::newRow("no components in frame") << patched(baseline, sof + 9, 0) << invalid;
    QTest::newRow("vertical sampling 0") << patched(baseline, sof + 11, char(0x20)) << invalid;
    QTest::newRow("horizontal sampling 0") << patched(baseline, sof + 11, char(0x02)) << invalid;
    QTest::newRow("height 0 (DNL)") << patched(patched(baseline, sof + 5, 0), sof + 6, 0) << invalid;
    QTest::newRow("short DHT table") << inserted(baseline, sos, QByteArray("\xFF\xC4\x00\x05\x00\x01\x02", 7))
                                     << invalid;
    QTest::newRow("DHT symbols past the segment")
        << inserted(baseline, sos, QByteArray("\xFF\xC4\x00\x13\x00\x05", 6) + QByteArray(15, '\0')) << invalid;
    QTest::newRow("short DRI") << inserted(baseline, sos, QByteArray("\xFF\xDD\x00\x03\x00", 5)) << invalid;
    QTest::newRow("scan before frame") << inserted(baseline, 2, baseline.mid(sos, 14)) << invalid;
    QTest::newRow("scan with no components") << patched(baseline, sos + 4, 0) << invalid;
    QTest::newRow("scan names unknown component") << patched(baseline, sos + 5, char(9)) << invalid;
    QTest::newRow("undefined DC table") << patched(baseline, sos + 6, char(0x30)) << invalid;
    QTest::newRow("undefined AC table in last component") << patched(baseline, sos + 10, char(0x13)) << invalid;
    QTest::newRow("restart marker inside data")
        << inserted(baseline, data.offset + data.length / 2, QByteArray("\xFF\xD0", 2)) << truncated;
    const qsizetype stuffed = baseline.indexOf(QByteArray("\xFF\x00", 2), data.offset);
    if (stuffed > 0 && stuffed < data.offset + data.length)
        QTest::newRow("0xFF 0xFF 0x00 is one 0xFF") << inserted(baseline, stuffed, QByteArray(1, char(0xFF))) << ok;
    const QByteArray progressive = m_corpus[QStringLiteral("qt progressive")];
    const JPEGSegment pdata = firstEntropyData(progressive);
    QTest::newRow("progressive data damage goes unnoticed")
        << patched(progressive, pdata.offset + pdata.length / 2, char(0x12)) << ok;

    const QByteArray restarts = m_corpus.value(QStringLiteral("cjpeg restart every MCU"));
    const qsizetype rst0 = restarts.indexOf(QByteArray("\xFF\xD0", 2));
    if (rst0 > 0) {
        QTest::newRow("restart out of sequence") << patched(restarts, rst0 + 1, char(0xD1)) << truncated;
        QTest::newRow("restart marker missing") << restarts.left(rst0) + restarts.mid(rst0 + 2) << truncated;
        QTest::newRow("fill bytes before restart") << inserted(restarts, rst0, QByteArray(2, char(0xFF))) << ok;
    }
}

void TestJPEGIntegrityValidator::damagedFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(JPEGVerdict, expected);
    QCOMPARE(literalVerdict(bytes), expected);
    QCOMPARE(fastVerdict(bytes), expected);
}

void TestJPEGIntegrityValidator::handmadeStreams_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<JPEGVerdict>("expected");
    const QString coefficient = QStringLiteral("000");
    QTest::newRow("end of block after one coefficient") << handmade(QStringLiteral("0") + coefficient + "01") << ok;
    QTest::newRow("63 coefficients without end of block")
        << handmade(QStringLiteral("0") + coefficient.repeated(63)) << ok;
    QTest::newRow("run passes coefficient 63")
        << handmade(QStringLiteral("0") + coefficient.repeated(50) + "1100") << truncated;
    QTest::newRow("sixteen zeros may overshoot")
        << handmade(QStringLiteral("0") + coefficient.repeated(50) + "10") << ok;
    QTest::newRow("size 0 symbol other than EOB or ZRL") << handmade(QStringLiteral("0") + "1110") << truncated;
    QTest::newRow("no code within 16 bits")
        << handmade(QStringLiteral("0") + QString(16, QLatin1Char('1'))) << truncated;
    QTest::newRow("data ends inside a block") << handmade(QStringLiteral("0") + coefficient.repeated(10)) << truncated;
    QTest::newRow("restarts RST0..RST7, RST0") << restartStream({0, 1, 2, 3, 4, 5, 6, 7, 0}) << ok;
    QTest::newRow("restart out of sequence") << restartStream({0, 1, 2, 4, 4, 5, 6, 7, 0}) << truncated;
    QTest::newRow("restart after RST7 is RST0, not RST8") << restartStream({0, 1, 2, 3, 4, 5, 6, 7, 1}) << truncated;
    QTest::newRow("restart markers missing") << restartStream({0, 1, 2}) << truncated;
    QTest::newRow("fill bytes before restarts")
        << restartStream({0, 1, 2, 3, 4, 5, 6, 7, 0}, QByteArray(2, char(0xFF))) << ok;
}

void TestJPEGIntegrityValidator::handmadeStreams()
{
    QFETCH(QByteArray, bytes);
    QFETCH(JPEGVerdict, expected);
    QCOMPARE(literalVerdict(bytes), expected);
    QCOMPARE(fastVerdict(bytes), expected);
}

void TestJPEGIntegrityValidator::everyCutAgreesWithReference()
{
    const struct
    {
        const char *name;
        qsizetype step;
    } files[] = {{"qt baseline", 1},
                 {"cjpeg restart every MCU", 1},
                 {"qt baseline, long scan", 61},
                 {"cjpeg restart every 3 MCUs, long scan", 61}};
    for (const auto &[name, step] : files) {
        const QByteArray full = m_corpus.value(QString::fromLatin1(name));
        if (full.isEmpty()) continue;
        const JPEGSegment data = firstEntropyData(full);
        for (qsizetype cut = 0; cut < full.size(); cut += step) {
            const QByteArray part = full.left(cut);
            const JPEGVerdict fast = fastVerdict(part);
            QCOMPARE(fast, literalVerdict(part));
            if (cut > data.offset) QCOMPARE(fast, truncated);
        }
    }
}

void TestJPEGIntegrityValidator::seededMutationsAgreeWithReference_data()
{
    QTest::addColumn<QString>("name");
    for (auto it = m_corpus.cbegin(); it != m_corpus.cend(); ++it)
        if (it.key() != QLatin1String("png")) QTest::newRow(qPrintable(it.key())) << it.key();
}

void TestJPEGIntegrityValidator::seededMutationsAgreeWithReference()
{
    QFETCH(QString, name);
    const QByteArray original = m_corpus.value(name);
    const QList<JPEGSegment> segments = jpegSegments(original);
    QRandomGenerator random(qHash(name));
    QMap<JPEGVerdict, int> seen;
    constexpr int mutations = 1000;
    for (int i = 0; i < mutations; ++i) {
        QByteArray m = original;
        const int edits = 1 + int(random.bounded(3u));
        for (int e = 0; e < edits && !m.isEmpty(); ++e) {
            const qsizetype at = qsizetype(random.bounded(quint32(m.size())));
            switch (random.bounded(6u)) {
            case 0: // cut
                m.truncate(at);
                break;
            case 1: // flip a bit
                m[at] = char(quint8(m[at]) ^ (1u << random.bounded(8u)));
                break;
            case 2: // inject 0xFF, alone or with a marker-like byte
                m.insert(at, random.bounded(2u) ? QByteArray(1, char(0xFF))
                                                : bytesOf({0xFF, int(random.bounded(2u) ? 0xD0 + random.bounded(8u)
                                                                                        : random.bounded(256u))}));
                break;
            case 3: { // delete a marker (two bytes) or a whole segment
                const JPEGSegment &s = segments[random.bounded(quint32(segments.size()))];
                if (s.offset < m.size()) m.remove(s.offset, random.bounded(2u) ? 2 : s.length);
                break;
            }
            case 4: // overwrite a header byte
                m[qsizetype(random.bounded(quint32(qMin<qsizetype>(m.size(), 700))))] = char(random.bounded(256u));
                break;
            default: // overwrite with 0xFF
                m[at] = char(0xFF);
                break;
            }
        }
        const JPEGVerdict literal = literalVerdict(m);
        const JPEGVerdict fast = fastVerdict(m);
        if (fast != literal)
            QFAIL(qPrintable(
                QStringLiteral("mutation %1 of %2: fast %3, literal %4")
                    .arg(i)
                    .arg(name, QLatin1String(jpegVerdictName(fast)), QLatin1String(jpegVerdictName(literal)))));
        ++seen[literal];
    }
    // The mutations must reach more than one verdict, or the comparison proves little.
    QVERIFY2(seen.size() >= 2, qPrintable(name));
}

void TestJPEGIntegrityValidator::validateReadsFiles()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray baseline = m_corpus[QStringLiteral("qt baseline")];
    auto write = [&](const QString &name, const QByteArray &bytes) {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) qFatal("cannot write test file");
        return QUrl::fromLocalFile(f.fileName());
    };
    JPEGIntegrityValidator::validate(write(QStringLiteral("good.jpg"), baseline));

    auto kindOf = [](const QUrl &url) -> QString {
        try {
            JPEGIntegrityValidator::validate(url);
            return QStringLiteral("ok");
        } catch (const WallpaperCacheError &e) {
            return e == WallpaperCacheError::truncatedImageData() ? QStringLiteral("truncated")
                                                                  : QStringLiteral("invalid");
        } catch (const FileError &) {
            return QStringLiteral("file error");
        }
    };
    QCOMPARE(kindOf(write(QStringLiteral("cut.jpg"), baseline.chopped(2))), QStringLiteral("truncated"));
    QCOMPARE(kindOf(write(QStringLiteral("png.jpg"), m_corpus[QStringLiteral("png")])), QStringLiteral("invalid"));
    QCOMPARE(kindOf(write(QStringLiteral("empty.jpg"), {})), QStringLiteral("invalid"));
    QCOMPARE(kindOf(QUrl::fromLocalFile(dir.filePath(QStringLiteral("missing.jpg")))), QStringLiteral("file error"));
}

QTEST_GUILESS_MAIN(TestJPEGIntegrityValidator)
#include "tst_jpegintegrityvalidator.moc"

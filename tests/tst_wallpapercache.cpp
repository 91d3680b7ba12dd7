// SPDX-License-Identifier: GPL-3.0-or-later
#include "integrity/jpegwriter.h"
#include "integrity/wallpapercache.h"
#include "jpegcorpus.h"
#include "models/errors.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtConcurrent>

using namespace Starvane;
using namespace Starvane::Testing;

namespace {

QImage plainImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(20, 40, 90));
    return image;
}

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) qFatal("cannot write %s", qPrintable(path));
    return path;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The outcome of a save as text: "ok <file name>", the error's description, or "file error".
QString outcome(const WallpaperCache &cache, const QString &source, const QString &id = QStringLiteral("heic1"))
{
    try {
        const SavedWallpaper saved = cache.saveValidatedImage(QUrl::fromLocalFile(source), id);
        return QStringLiteral("ok ") + saved.fileURL.fileName();
    } catch (const WallpaperCacheError &e) {
        return e.description();
    } catch (const FileError &) {
        return QStringLiteral("file error");
    }
}

// The same file with the frame header announcing another size.
QByteArray withFrameSize(QByteArray jpeg, int width, int height)
{
    for (const JPEGSegment &s : jpegSegments(jpeg)) {
        if (s.marker != 0xC0) continue;
        jpeg[s.offset + 5] = char(height >> 8);
        jpeg[s.offset + 6] = char(height & 0xFF);
        jpeg[s.offset + 7] = char(width >> 8);
        jpeg[s.offset + 8] = char(width & 0xFF);
    }
    return jpeg;
}

QStringList listing(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

const QString truncatedText = WallpaperCacheError::truncatedImageData().description();
const QString invalidText = WallpaperCacheError::invalidImageData().description();

} // namespace

class TestWallpaperCache : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void defaultDirectory();
    void sizeAndShape_data();
    void sizeAndShape();
    void typesAndCompleteness_data();
    void typesAndCompleteness();
    void names_data();
    void names();
    void saveCopiesAndHashes();
    void saveNeverDisturbsOtherFiles();
    void folderProblemsAreFileErrors();
    void concurrentSavesDoNotCollide();
    void prune_data();
    void prune();
    void pruneLeavesOtherEntriesAlone();
    void thumbnails_data();
    void thumbnails();
    void jpegWriter_data();
    void jpegWriter();

private:
    WallpaperCache cache() const { return WallpaperCache(QUrl::fromLocalFile(m_cacheDir), 1920, 1080, 1.1, 2.6); }
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_cacheDir;
    QString m_sources;
};

void TestWallpaperCache::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestWallpaperCache::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_cacheDir = m_dir->filePath(QStringLiteral("cache/Starvane/Wallpapers"));
    m_sources = m_dir->filePath(QStringLiteral("downloads"));
    QVERIFY(QDir().mkpath(m_sources));
}

void TestWallpaperCache::defaultDirectory()
{
    const QString path = WallpaperCache::defaultDirectoryURL().toLocalFile();
    QCOMPARE(path, QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                       QStringLiteral("/Starvane/Wallpapers"));
    QVERIFY(!path.startsWith(QDir::homePath() + QStringLiteral("/.local/share/")));
}

void TestWallpaperCache::sizeAndShape_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("portrait"); // the cache also takes portrait pictures
    const auto small = [](int w, int h) { return WallpaperCacheError::imageTooSmall(w, h).description(); };
    const auto shape = [](int w, int h) { return WallpaperCacheError::unsuitableAspectRatio(w, h).description(); };
    QTest::newRow("1920x1080 passes") << 1920 << 1080 << QString() << false;
    QTest::newRow("ratio 2.6 passes") << 5616 << 2160 << QString() << false;
    QTest::newRow("ratio 1.1 passes") << 2200 << 2000 << QString() << false;
    QTest::newRow("one column short") << 1919 << 1200 << small(1919, 1200) << false;
    QTest::newRow("one row short") << 1920 << 1079 << small(1920, 1079) << false;
    QTest::newRow("square") << 2000 << 2000 << shape(2000, 2000) << false;
    QTest::newRow("ratio 2.667") << 5760 << 2160 << shape(5760, 2160) << false;
    QTest::newRow("portrait") << 1920 << 3000 << shape(1920, 3000) << false;
    QTest::newRow("small and square: size first") << 1000 << 1000 << small(1000, 1000) << false;
    QTest::newRow("portrait admitted") << 1920 << 3000 << QString() << true;
    QTest::newRow("portrait one column short") << 1079 << 1920 << small(1079, 1920) << true;
    QTest::newRow("portrait too tall") << 1080 << 3000 << shape(1080, 3000) << true;
    QTest::newRow("landscape still checked") << 5760 << 2160 << shape(5760, 2160) << true;
}

void TestWallpaperCache::sizeAndShape()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QString, expected);
    QFETCH(bool, portrait);
    const QString source =
        writeFile(m_sources + QStringLiteral("/image.tmp"), encodeWithQt(plainImage(width, height), "jpeg", 80));
    WallpaperCache tested = cache();
    tested.setAcceptsPortrait(portrait);
    const QString result = outcome(tested, source);
    if (expected.isEmpty()) {
        QVERIFY2(result.startsWith(QStringLiteral("ok ")), qPrintable(result));
    } else {
        QCOMPARE(result, expected);
        QVERIFY(!QDir(m_cacheDir).exists()); // nothing is written before every check passed
    }
}

void TestWallpaperCache::typesAndCompleteness_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected"); // extension, or the error text
    const QImage image = plainImage(1920, 1080);
    const QByteArray jpeg = encodeWithQt(image, "jpeg", 80);
    const QByteArray png = encodeWithQt(image, "png");
    QTest::newRow("jpeg") << jpeg << QStringLiteral("jpg");
    QTest::newRow("progressive jpeg") << encodeWithQt(image, "jpeg", 80, true) << QStringLiteral("jpg");
    // Qt decodes these without complaint; the marker walk does not accept them.
    QTest::newRow("jpeg without EOI") << jpeg.chopped(2) << truncatedText;
    QTest::newRow("jpeg cut in half") << jpeg.left(jpeg.size() / 2) << truncatedText;
    QTest::newRow("png") << png << QStringLiteral("png");
    QTest::newRow("png without IEND") << png.chopped(12) << truncatedText;
    QTest::newRow("png with IEND beyond the last 64 bytes") << png + QByteArray(80, 'x') << truncatedText;
    QTest::newRow("png cut in half") << png.left(png.size() / 2) << truncatedText;
    if (QImageWriter::supportedImageFormats().contains("webp")) {
        const QByteArray webp = encodeWithQt(image, "webp", 50);
        QTest::newRow("webp") << webp << QStringLiteral("webp");
        QTest::newRow("webp cut in half") << webp.left(webp.size() / 2) << truncatedText;
    }
    if (QImageWriter::supportedImageFormats().contains("tiff"))
        QTest::newRow("tiff") << encodeWithQt(image, "tiff") << QStringLiteral("jpg");
    QTest::newRow("bmp") << encodeWithQt(image, "bmp") << QStringLiteral("jpg");
    // Beyond the largest picture we accept: refused from the header, before any decode.
    QTest::newRow("jpeg announcing 60000x30000") << withFrameSize(jpeg, 60000, 30000) << invalidText;
    if (QImageWriter::supportedImageFormats().contains("tiff")) {
        // TIFF has no reduced decode, and 8000×4500 needs 144 MB: above Qt's own allocation limit, which we
        // leave at its default for the rest of the process.
        QByteArray tiff;
        QBuffer buffer(&tiff);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "tiff");
        writer.setCompression(1);
        QVERIFY(writer.write(plainImage(8000, 4500)));
        QTest::newRow("tiff of 8000x4500") << tiff << QStringLiteral("jpg");
    }
    QTest::newRow("text") << QByteArray("<html>not found</html>") << invalidText;
    QTest::newRow("empty") << QByteArray() << invalidText;
}

void TestWallpaperCache::typesAndCompleteness()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    const QString source = writeFile(m_sources + QStringLiteral("/download.tmp"), bytes);
    const QString result = outcome(cache(), source);
    if (expected.size() <= 4)
        QVERIFY2(result.startsWith(QStringLiteral("ok ")) && result.endsWith(QLatin1Char('.') + expected),
                 qPrintable(result));
    else
        QCOMPARE(result, expected);
}

void TestWallpaperCache::names_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("stem");
    QTest::newRow("plain") << "heic2007a"
                           << "heic2007a";
    QTest::newRow("space, slash and dot") << "a b/c.d"
                                          << "a_b_c_d";
    QTest::newRow("hyphen and underscore stay") << "potw-1_2"
                                                << "potw-1_2";
    QTest::newRow("letters and marks of any script")
        << QStringLiteral("n\u00e9bula-\u661f") << QStringLiteral("n\u00e9bula-\u661f");
    QTest::newRow("empty") << ""
                           << "hubble";
    QTest::newRow("60 characters") << QString(60, QLatin1Char('x')) << QString(48, QLatin1Char('x'));
    QTest::newRow("only separators") << "../.."
                                     << "_____";
}

void TestWallpaperCache::names()
{
    QFETCH(QString, id);
    QFETCH(QString, stem);
    const QString source =
        writeFile(m_sources + QStringLiteral("/n.tmp"), encodeWithQt(plainImage(1920, 1080), "jpeg", 80));
    const SavedWallpaper saved = cache().saveValidatedImage(QUrl::fromLocalFile(source), id);
    const QRegularExpression pattern(QStringLiteral("^") + QRegularExpression::escape(stem) +
                                     QStringLiteral("-[0-9a-f]{8}\\.jpg$"));
    QVERIFY2(pattern.match(saved.fileURL.fileName()).hasMatch(), qPrintable(saved.fileURL.fileName()));
    QCOMPARE(QFileInfo(saved.fileURL.toLocalFile()).absolutePath(), QDir::cleanPath(m_cacheDir));
}

void TestWallpaperCache::saveCopiesAndHashes()
{
    const QByteArray bytes = encodeWithQt(noisyImage(2400, 1350, 7), "jpeg", 85);
    const QString source = writeFile(m_sources + QStringLiteral("/hubble-dl-1.tmp"), bytes);
    const SavedWallpaper first = cache().saveValidatedImage(QUrl::fromLocalFile(source), QStringLiteral("heic1"));
    const SavedWallpaper second = cache().saveValidatedImage(QUrl::fromLocalFile(source), QStringLiteral("heic1"));

    QCOMPARE(readFile(source), bytes); // copied, not moved
    QCOMPARE(readFile(first.fileURL.toLocalFile()), bytes);
    QCOMPARE(first.width, 2400);
    QCOMPARE(first.height, 1350);
    QCOMPARE(first.contentHash,
             QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()));
    // The name carries no hash: the same image saved twice gives two files.
    QCOMPARE(second.contentHash, first.contentHash);
    QVERIFY(second.fileURL != first.fileURL);
    QCOMPARE(listing(m_cacheDir).size(), 2);
}

void TestWallpaperCache::saveNeverDisturbsOtherFiles()
{
    QVERIFY(QDir().mkpath(m_cacheDir));
    const QString shown = writeFile(m_cacheDir + QStringLiteral("/shown-0000aaaa.jpg"), "on screen");
    const QDateTime shownTime = QFileInfo(shown).lastModified();
    const QByteArray jpeg = encodeWithQt(plainImage(1920, 1080), "jpeg", 80);

    QCOMPARE(outcome(cache(), writeFile(m_sources + QStringLiteral("/bad.tmp"), jpeg.chopped(40))), truncatedText);
    QCOMPARE(listing(m_cacheDir), QStringList{QStringLiteral("shown-0000aaaa.jpg")});

    QVERIFY(
        outcome(cache(), writeFile(m_sources + QStringLiteral("/good.tmp"), jpeg)).startsWith(QStringLiteral("ok")));
    QCOMPARE(listing(m_cacheDir).size(), 2);
    QCOMPARE(readFile(shown), QByteArray("on screen"));
    QCOMPARE(QFileInfo(shown).lastModified(), shownTime);
}

void TestWallpaperCache::folderProblemsAreFileErrors()
{
    const QString source =
        writeFile(m_sources + QStringLiteral("/ok.tmp"), encodeWithQt(plainImage(1920, 1080), "jpeg", 80));
    QCOMPARE(outcome(cache(), m_sources + QStringLiteral("/missing.tmp")), QStringLiteral("file error"));

    // The cache folder's place is taken by a regular file.
    QVERIFY(QDir().mkpath(QFileInfo(m_cacheDir).absolutePath()));
    writeFile(m_cacheDir, "not a folder");
    QCOMPARE(outcome(cache(), source), QStringLiteral("file error"));
    QCOMPARE(readFile(m_cacheDir), QByteArray("not a folder"));
    QCOMPARE(readFile(source).isEmpty(), false);
}

void TestWallpaperCache::concurrentSavesDoNotCollide()
{
    const QString source =
        writeFile(m_sources + QStringLiteral("/c.tmp"), encodeWithQt(noisyImage(1920, 1080, 3), "jpeg", 80));
    const WallpaperCache c = cache();
    const QList<int> runs{0, 1, 2, 3, 4, 5};
    const QList<QUrl> saved = QtConcurrent::blockingMapped(
        runs, [&](int) { return c.saveValidatedImage(QUrl::fromLocalFile(source), QStringLiteral("same")).fileURL; });
    QCOMPARE(QSet<QUrl>(saved.begin(), saved.end()).size(), runs.size());
    QCOMPARE(listing(m_cacheDir).size(), runs.size());
}

void TestWallpaperCache::prune_data()
{
    // Files f0 (newest) to f9 (oldest), one minute apart.
    QTest::addColumn<QList<int>>("kept");
    QTest::addColumn<int>("maxRetained");
    QTest::addColumn<QList<int>>("survivors");
    QTest::newRow("10 files, keep 8") << QList<int>{} << 8 << QList<int>{0, 1, 2, 3, 4, 5, 6, 7};
    QTest::newRow("old kept file does not push out newer ones")
        << QList<int>{9} << 8 << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 9};
    QTest::newRow("kept files count from their place") << QList<int>{1, 5} << 3 << QList<int>{0, 1, 2, 5};
    QTest::newRow("max 0 deletes all but kept") << QList<int>{4} << 0 << QList<int>{4};
    QTest::newRow("negative max") << QList<int>{} << -1 << QList<int>{};
    QTest::newRow("more room than files") << QList<int>{} << 20 << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
}

void TestWallpaperCache::prune()
{
    QFETCH(QList<int>, kept);
    QFETCH(int, maxRetained);
    QFETCH(QList<int>, survivors);
    QVERIFY(QDir().mkpath(m_cacheDir));
    const QDateTime base = QDateTime::currentDateTimeUtc();
    QSet<QUrl> keeping;
    for (int i = 0; i < 10; ++i) {
        // Names run against age, so that name order cannot pass for date order.
        const QString path = writeFile(m_cacheDir + QStringLiteral("/f%1.jpg").arg(i), "x");
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(base.addSecs(-60 * i), QFileDevice::FileModificationTime));
        if (kept.contains(i)) // kept locations arrive in any spelling of the same path
            keeping.insert(QUrl::fromLocalFile(m_cacheDir + QStringLiteral("/../Wallpapers/./f%1.jpg").arg(i)));
        // A newer copy with a caption: it neither counts nor outlives its picture.
        writeFile(m_cacheDir + QStringLiteral("/f%1.jpg.derived-caption-0123456789ab.jpg").arg(i), "x");
    }
    writeFile(m_cacheDir + QStringLiteral("/gone.jpg.derived-dim-0123456789ab.jpg"), "x");
    cache().pruneOldWallpapers(keeping, maxRetained);
    QStringList expected;
    for (int i : survivors)
        expected << QStringLiteral("f%1.jpg").arg(i)
                 << QStringLiteral("f%1.jpg.derived-caption-0123456789ab.jpg").arg(i);
    expected.sort();
    QCOMPARE(listing(m_cacheDir), expected);
}

void TestWallpaperCache::pruneLeavesOtherEntriesAlone()
{
    // A folder that does not exist yet: nothing happens, nothing is reported.
    cache().pruneOldWallpapers({}, 0);
    QVERIFY(!QDir(m_cacheDir).exists());

    QVERIFY(QDir().mkpath(m_cacheDir + QStringLiteral("/sub")));
    writeFile(m_cacheDir + QStringLiteral("/.hidden"), "h");
    writeFile(m_cacheDir + QStringLiteral("/sub/inner.jpg"), "i");
    const QString outside = writeFile(m_dir->filePath(QStringLiteral("outside.jpg")), "o");
    QVERIFY(QFile::link(outside, m_cacheDir + QStringLiteral("/link.jpg")));
    writeFile(m_cacheDir + QStringLiteral("/old.jpg"), "o");
    cache().pruneOldWallpapers({}, 0);
    QCOMPARE(listing(m_cacheDir),
             (QStringList{QStringLiteral(".hidden"), QStringLiteral("link.jpg"), QStringLiteral("sub")}));
    QCOMPARE(listing(m_cacheDir + QStringLiteral("/sub")), QStringList{QStringLiteral("inner.jpg")});
    QVERIFY(QFile::exists(outside));
}

void TestWallpaperCache::jpegWriter_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QIODevice::OpenMode>("mode");
    QTest::addColumn<bool>("written");
    QTest::newRow("picture") << plainImage(64, 48) << QIODevice::OpenMode(QIODevice::WriteOnly) << true;
    QImage alpha(40, 30, QImage::Format_ARGB32);
    alpha.fill(QColor(20, 40, 90, 128));
    QTest::newRow("with alpha") << alpha << QIODevice::OpenMode(QIODevice::WriteOnly) << true;
    QTest::newRow("null image") << QImage() << QIODevice::OpenMode(QIODevice::WriteOnly) << false;
    QTest::newRow("device not writable") << plainImage(64, 48) << QIODevice::OpenMode(QIODevice::ReadOnly) << false;
}

void TestWallpaperCache::jpegWriter()
{
    QFETCH(QImage, image);
    QFETCH(QIODevice::OpenMode, mode);
    QFETCH(bool, written);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QVERIFY(buffer.open(mode));
    QCOMPARE(writeJpeg(image, &buffer, 90), written);
    if (!written) return;
    buffer.close();
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    QImageReader reader(&buffer);
    QCOMPARE(reader.format(), QByteArray("jpeg"));
    const QImage back = reader.read();
    QCOMPARE(back.size(), image.size());
    const QColor centre = back.pixelColor(back.width() / 2, back.height() / 2);
    const QColor expected = image.pixelColor(image.width() / 2, image.height() / 2);
    QVERIFY2(std::abs(centre.red() - expected.red()) < 8 && std::abs(centre.blue() - expected.blue()) < 8,
             qPrintable(centre.name()));
    // The quality reaches the encoder.
    QByteArray rough;
    QBuffer roughBuffer(&rough);
    QVERIFY(roughBuffer.open(QIODevice::WriteOnly));
    QImage noisy(image.size(), QImage::Format_RGB32);
    for (int y = 0; y < noisy.height(); ++y)
        for (int x = 0; x < noisy.width(); ++x)
            noisy.setPixel(x, y, qRgb((x * 37 + y * 11) % 256, (x * y) % 256, (x + y * 53) % 256));
    QByteArray fine;
    QBuffer fineBuffer(&fine);
    QVERIFY(fineBuffer.open(QIODevice::WriteOnly));
    QVERIFY(writeJpeg(noisy, &roughBuffer, 20) && writeJpeg(noisy, &fineBuffer, 95));
    QVERIFY2(rough.size() < fine.size(), qPrintable(QStringLiteral("%1 / %2").arg(rough.size()).arg(fine.size())));
}

QTEST_GUILESS_MAIN(TestWallpaperCache)
#include "tst_wallpapercache.moc"

void TestWallpaperCache::thumbnails_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("expected"); // invalid: no thumbnail
    QTest::newRow("wide JPEG") << encodeWithQt(plainImage(3840, 2160), "jpeg", 85) << QSize(256, 144);
    QTest::newRow("tall PNG") << encodeWithQt(plainImage(1000, 2000), "png", -1) << QSize(128, 256);
    QTest::newRow("small picture, scaled to fit") << encodeWithQt(plainImage(200, 100), "png", -1) << QSize(256, 128);
    QTest::newRow("not a picture") << QByteArray("<html>Not found</html>") << QSize();
}

void TestWallpaperCache::thumbnails()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, expected);
    const QString source = writeFile(m_sources + QStringLiteral("/picture"), bytes);
    const QString target = m_dir->filePath(QStringLiteral("data/Thumbnails/heic1.jpg"));
    QCOMPARE(cache().saveThumbnail(QUrl::fromLocalFile(source), target, 256), expected.isValid());
    QCOMPARE(QImage(target).size(), expected.isValid() ? expected : QSize(0, 0)); // a null image is 0×0
    QCOMPARE(listing(QFileInfo(target).path()), expected.isValid() ? QStringList{"heic1.jpg"} : QStringList{});
}

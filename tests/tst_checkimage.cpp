// SPDX-License-Identifier: GPL-3.0-or-later
#include "integrity/checkimage.h"
#include "integrity/wallpapercache.h"
#include "jpegcorpus.h"
#include "models/errors.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Starvane;
using namespace Starvane::Testing;

class TestCheckImage : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void reportsEachFile();
    void noFiles();
};

void TestCheckImage::reportsEachFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    auto write = [&](const QString &name, const QByteArray &bytes) {
        const QString path = dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    };
    QImage image(1920, 1080, QImage::Format_RGB32);
    image.fill(Qt::darkBlue);
    const QByteArray jpeg = encodeWithQt(image, "jpeg", 80);
    const QString good = write(QStringLiteral("good.jpg"), jpeg);
    const QString cut = write(QStringLiteral("cut.jpg"), jpeg.chopped(2));
    const QString small = write(QStringLiteral("small.png"), encodeWithQt(image.scaled(800, 450), "png"));
    const QString missing = dir.filePath(QStringLiteral("missing.jpg"));
    // A good header with a sparse 5 GiB tail: refused without reading it into memory.
    const QString huge = write(QStringLiteral("huge.jpg"), jpeg);
    QVERIFY(QFile::resize(huge, qint64(5) << 30));
    const QString cacheDir = WallpaperCache::defaultDirectoryURL().toLocalFile();
    const QStringList cachedBefore = QDir(cacheDir).entryList(QDir::Files);

    QString text;
    QTextStream out(&text);
    QCOMPARE(runCheckImage({good}, out), 0);
    const QString hash = QString::fromLatin1(QCryptographicHash::hash(jpeg, QCryptographicHash::Sha256).toHex());
    QCOMPARE(text, good + QStringLiteral(": ok 1920x1080 ") + hash + QLatin1Char('\n'));

    text.clear();
    QCOMPARE(runCheckImage({good, cut, small, missing, huge}, out), 1);
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 5);
    QVERIFY(lines[0].startsWith(good + QStringLiteral(": ok ")));
    QCOMPARE(lines[1], cut + QStringLiteral(": ") + WallpaperCacheError::truncatedImageData().description());
    QCOMPARE(lines[2], small + QStringLiteral(": ") + WallpaperCacheError::imageTooSmall(800, 450).description());
    QVERIFY(lines[3].startsWith(missing + QStringLiteral(": ")));
    QVERIFY(lines[3].size() > missing.size() + 2);
    QCOMPARE(lines[4], huge + QStringLiteral(": ") + WallpaperCacheError::invalidImageData().description());

    // Checking writes nothing: neither the user's cache nor next to the files.
    QCOMPARE(QDir(cacheDir).entryList(QDir::Files), cachedBefore);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 4);
}

void TestCheckImage::noFiles()
{
    QString text;
    QTextStream out(&text);
    QCOMPARE(runCheckImage({}, out), 2);
    QVERIFY(text.startsWith(QStringLiteral("usage:")));
}

QTEST_GUILESS_MAIN(TestCheckImage)
#include "tst_checkimage.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "buttonstyles.h"
#include "elidinglabel.h"
#include "fakes.h"
#include "previewimage.h"
#include "velmoratheme.h"
#include "wallpaperpreviewcard.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QScopeGuard>
#include <QTest>
#include <QThreadPool>

using namespace Starvane;
using namespace Starvane::Testing;

class TestPreviewCard : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString makeJpeg(const QString &name, QSize size, QColor colour = QColor(40, 60, 120))
    {
        const QString path = m_dir.filePath(name);
        if (!QFile::exists(path)) {
            QImage image(size, QImage::Format_RGB32);
            image.fill(colour);
            image.save(path, "JPEG", 80);
        }
        return path;
    }

    // The same JPEG with an EXIF orientation of 6: the camera was turned, show it rotated by 90°.
    QString withOrientation6(const QString &source)
    {
        QFile in(source);
        if (!in.open(QIODevice::ReadOnly))
            return {};
        QByteArray jpeg = in.readAll();
        static const char app1[] = "\xFF\xE1\x00\x22" "Exif\0\0" "II*\0\x08\0\0\0" "\x01\0"
                                   "\x12\x01\x03\0\x01\0\0\0\x06\0\0\0" "\0\0\0\0";
        jpeg.insert(2, QByteArray(app1, sizeof(app1) - 1));
        const QString path = m_dir.filePath(QStringLiteral("rotated.jpg"));
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly))
            return {};
        out.write(jpeg);
        return path;
    }

    static bool shown(QWidget *card, const char *name)
    {
        auto *w = card->findChild<QWidget *>(QLatin1String(name));
        return w && w->isVisibleTo(card);
    }

    static void waitForLoad(WallpaperPreviewCard &card)
    {
        QSignalSpy spy(&card, &WallpaperPreviewCard::previewLoadFinished);
        QVERIFY(spy.wait(20000));
    }

    std::unique_ptr<WallpaperPreviewCard> makeCard()
    {
        auto card = std::make_unique<WallpaperPreviewCard>();
        card->setFixedWidth(380);
        card->show();
        return card;
    }

private Q_SLOTS:
    void initTestCase() { Appearance::instance().setOverride(false); }

    void previewIsBounded_data()
    {
        QTest::addColumn<QSize>("file");
        QTest::addColumn<QSize>("preview");
        QTest::newRow("8000 x 4500 wallpaper") << QSize(8000, 4500) << QSize(960, 540);
        QTest::newRow("portrait") << QSize(2160, 3840) << QSize(540, 960);
        QTest::newRow("already small") << QSize(800, 450) << QSize(800, 450);
    }

    void previewIsBounded()
    {
        QFETCH(QSize, file);
        QFETCH(QSize, preview);
        const QString path = makeJpeg(QStringLiteral("%1x%2.jpg").arg(file.width()).arg(file.height()), file);
        QCOMPARE(loadPreviewImage(path).size(), preview);

        // The card does the same off the main thread.
        auto card = makeCard();
        card->setLocalFileURL(QUrl::fromLocalFile(path));
        waitForLoad(*card);
        QCOMPARE(card->loadedPreview().size(), preview);
        QVERIFY(!shown(card.get(), "emptyPlaceholder"));
    }

    void previewFollowsTheOrientationTag()
    {
        const QString path = withOrientation6(makeJpeg(QStringLiteral("3840x2160.jpg"), QSize(3840, 2160)));
        QVERIFY(!path.isEmpty());
        QCOMPARE(loadPreviewImage(path).size(), QSize(540, 960));
    }

    void unreadableFileGivesNoPreview()
    {
        const QString path = m_dir.filePath(QStringLiteral("broken.jpg"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("\xFF\xD8\xFF\xE0 not really a JPEG");
        f.close();
        QVERIFY(loadPreviewImage(path).isNull());
        QVERIFY(loadPreviewImage(m_dir.filePath(QStringLiteral("missing.jpg"))).isNull());

        auto card = makeCard();
        card->setLoading(true);
        card->setLocalFileURL(QUrl::fromLocalFile(path));
        waitForLoad(*card);
        QVERIFY(card->loadedPreview().isNull());
        QVERIFY(shown(card.get(), "loadingPlaceholder")); // the placeholder for the state, no error
    }

    void placeholders_data()
    {
        QTest::addColumn<bool>("withPreview");
        QTest::addColumn<bool>("loading");
        QTest::addColumn<bool>("empty");
        QTest::addColumn<bool>("fetching");
        QTest::addColumn<bool>("badge");
        QTest::newRow("nothing yet") << false << false << true << false << false;
        QTest::newRow("first fetch") << false << true << false << true << false;
        QTest::newRow("updating over the old picture") << true << true << false << false << true;
        QTest::newRow("picture shown") << true << false << false << false << false;
    }

    void placeholders()
    {
        QFETCH(bool, withPreview);
        QFETCH(bool, loading);
        QFETCH(bool, empty);
        QFETCH(bool, fetching);
        QFETCH(bool, badge);
        auto card = makeCard();
        if (withPreview) {
            card->setLocalFileURL(QUrl::fromLocalFile(makeJpeg(QStringLiteral("small.jpg"), QSize(1920, 1080))));
            waitForLoad(*card);
        }
        card->setLoading(loading);
        QCOMPARE(shown(card.get(), "emptyPlaceholder"), empty);
        QCOMPARE(shown(card.get(), "loadingPlaceholder"), fetching);
        QCOMPARE(shown(card.get(), "updatingBadge"), badge);
        if (fetching)
            QCOMPARE(card->findChild<QLabel *>(QStringLiteral("loadingPlaceholderText"))->text(),
                     QStringLiteral("Fetching Hubble image…"));
        if (empty)
            QCOMPARE(card->findChild<QLabel *>(QStringLiteral("emptyPlaceholderText"))->text(),
                     QStringLiteral("No wallpaper applied yet"));
    }

    void absentFileClearsAtOnceAndStaleLoadsAreDropped()
    {
        auto card = makeCard();
        const QString big = makeJpeg(QStringLiteral("8000x4500.jpg"), QSize(8000, 4500));
        const QString small = makeJpeg(QStringLiteral("640x360.jpg"), QSize(640, 360));

        card->setLocalFileURL(QUrl::fromLocalFile(small));
        waitForLoad(*card);
        QCOMPARE(card->loadedPreview().size(), QSize(640, 360));
        card->setLocalFileURL(std::nullopt);
        QVERIFY(card->loadedPreview().isNull()); // no waiting

        // The big file's load is still running when the small one is chosen: only the small one may land.
        card->setLocalFileURL(QUrl::fromLocalFile(big));
        card->setLocalFileURL(QUrl::fromLocalFile(small));
        waitForLoad(*card);
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        QCOMPARE(card->loadedPreview().size(), QSize(640, 360));

        // A new file replaces the old preview only when ready: until then the old one stays.
        card->setLocalFileURL(QUrl::fromLocalFile(big));
        QCOMPARE(card->loadedPreview().size(), QSize(640, 360));
        waitForLoad(*card);
        QCOMPARE(card->loadedPreview().size(), QSize(960, 540));
    }

    void textWithoutImage()
    {
        auto card = makeCard();
        QCOMPARE(card->findChild<ElidingLabel *>(QStringLiteral("title"))->text(), QStringLiteral("Hubble Space Telescope"));
        QVERIFY(shown(card.get(), "description"));
        QVERIFY(!shown(card.get(), "metadata"));
        QVERIFY(!shown(card.get(), "credit"));
        QVERIFY(!shown(card.get(), "links"));
    }

    void metadataLine_data()
    {
        QTest::addColumn<bool>("hasDate");
        QTest::addColumn<bool>("hasSize");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("dateText");
        QTest::newRow("date and resolution") << true << true << "en_US" << "2005-04-25";
        QTest::newRow("date alone, no dot") << true << false << "en_US" << "2005-04-25";
        QTest::newRow("resolution alone") << false << true << "en_US" << "";
        QTest::newRow("neither") << false << false << "en_US" << "";
        QTest::newRow("German date") << true << true << "de_DE" << "25.04.2005";
        QTest::newRow("French date") << true << true << "fr_FR" << "25/04/2005";
    }

    void metadataLine()
    {
        QFETCH(bool, hasDate);
        QFETCH(bool, hasSize);
        QFETCH(QString, locale);
        QFETCH(QString, dateText);
        const QLocale previous;
        QLocale::setDefault(QLocale(locale));
        const auto restore = qScopeGuard([&] { QLocale::setDefault(previous); });
        HubbleImage image = makeImage(QStringLiteral("heic0506a"));
        image.dateCaptured = hasDate ? std::optional<QString>(QStringLiteral("2005-04-25")) : std::nullopt;
        if (!hasSize)
            image.width.reset();
        auto card = makeCard();
        card->setImage(image);
        QCOMPARE(shown(card.get(), "dateCaptured"), hasDate);
        QCOMPARE(shown(card.get(), "resolution"), hasSize);
        QCOMPARE(shown(card.get(), "metadataSeparator"), hasDate && hasSize);
        if (hasDate)
            QCOMPARE(card->findChild<QLabel *>(QStringLiteral("dateCaptured"))->text(), dateText);
        if (hasSize)
            QCOMPARE(card->findChild<QLabel *>(QStringLiteral("resolution"))->text(), *image.resolutionLabel());
        QCOMPARE(card->findChild<QLabel *>(QStringLiteral("metadataSeparator"))->text(), QStringLiteral("·"));
    }

    void longTitleAndCreditAreCut()
    {
        HubbleImage image = makeImage(QStringLiteral("heic2007a"));
        image.title = QStringLiteral("A spectacular view ").repeated(12).trimmed();
        image.credit = QStringLiteral("NASA, ESA, the Hubble Heritage Team and many more collaborators, ").repeated(8);
        auto card = makeCard();
        card->setImage(image);
        QCoreApplication::processEvents();

        auto *title = card->findChild<ElidingLabel *>(QStringLiteral("title"));
        QCOMPARE(title->visibleLines().size(), 2);
        QVERIFY(title->isElided());
        QVERIFY(title->visibleLines().last().endsWith(QStringLiteral("…")));

        auto *credit = card->findChild<ElidingLabel *>(QStringLiteral("credit"));
        QVERIFY(credit->text().startsWith(QStringLiteral("Credit: NASA")));
        QCOMPARE(credit->visibleLines().size(), 3);
        QVERIFY(credit->isElided());
        QCOMPARE(credit->toolTip(), image.credit); // the whole credit on hover

        // A short title is neither cut nor padded to two lines.
        image.title = QStringLiteral("Pillars of Creation");
        card->setImage(image);
        QCOMPARE(title->visibleLines(), QStringList{QStringLiteral("Pillars of Creation")});
        QVERIFY(!title->isElided());
    }

    void linksRow()
    {
        const HubbleImage image = makeImage(QStringLiteral("heic1509a"));
        auto card = makeCard();
        QList<QUrl> revealed, opened;
        card->setRevealFileHandler([&](const QUrl &u) { revealed << u; });
        card->setOpenURLHandler([&](const QUrl &u) {
            opened << u;
            return true;
        });
        card->setImage(image);
        QVERIFY(shown(card.get(), "archiveLink"));
        QVERIFY(!shown(card.get(), "revealFile")); // no local file, only the link
        QTest::mouseClick(card->findChild<QWidget *>(QStringLiteral("archiveLink")), Qt::LeftButton);
        QCOMPARE(opened, QList<QUrl>{image.detailsURL});
        QVERIFY(!shown(card.get(), "linkProblem"));
        // No browser at all: the card says so instead of doing nothing visible.
        card->setOpenURLHandler([](const QUrl &) { return false; });
        QTest::mouseClick(card->findChild<QWidget *>(QStringLiteral("archiveLink")), Qt::LeftButton);
        QVERIFY(shown(card.get(), "linkProblem"));
        QVERIFY(card->linkProblemLabel()->text().contains(image.detailsURL.toString()));

        const QUrl file = QUrl::fromLocalFile(makeJpeg(QStringLiteral("small.jpg"), QSize(1920, 1080)));
        card->setLocalFileURL(file);
        QVERIFY(shown(card.get(), "revealFile"));
        QTest::mouseClick(card->findChild<QWidget *>(QStringLiteral("revealFile")), Qt::LeftButton);
        QCOMPARE(revealed, QList<QUrl>{file});
    }
};

QTEST_MAIN(TestPreviewCard)
#include "tst_previewcard.moc"

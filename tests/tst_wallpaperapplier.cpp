// SPDX-License-Identifier: GPL-3.0-or-later
#include "async/cancellation.h"
#include "desktop/linuxwallpaperapplier.h"
#include "desktop/portalbackend.h"
#include "integrity/derivedwallpaper.h"
#include "models/errors.h"

#include "awaittask.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Starvane;

namespace {
/// A desktop that keeps pictures in memory and can be told to refuse one display.
class ScriptedBackend : public DesktopBackend
{
public:
    bool perDisplayPictures = true;
    QString refuseDisplay;
    QHash<QString, DesktopPicture> shown;
    QStringList calls;
    /// Each display takes this long, as a slow desktop would.
    std::chrono::milliseconds delay{0};

    QString desktopName() const override { return QStringLiteral("Scripted"); }
    bool perDisplay() const override { return perDisplayPictures; }
    QCoro::Task<std::optional<DesktopPicture>> shownPicture(DisplayTarget display) override
    {
        const QString key = perDisplayPictures ? display.name : QStringLiteral("*");
        if (!shown.contains(key)) co_return std::nullopt;
        co_return shown.value(key);
    }
    QCoro::Task<> showPicture(DisplayTarget display, DesktopPicture picture, QList<DisplayTarget>) override
    {
        calls << display.name + QLatin1Char('=') + picture.path;
        if (delay.count() > 0) co_await sleepFor(delay, {});
        if (display.name == refuseDisplay)
            throw DesktopBackendError(QStringLiteral("display %1 is asleep").arg(display.name));
        shown.insert(perDisplayPictures ? display.name : QStringLiteral("*"), picture);
        co_return;
    }
    bool lockScreen() const override { return true; }
    QCoro::Task<> showLockScreenPicture(QString path) override
    {
        calls << QStringLiteral("lock=") + path;
        co_return;
    }
};

DisplayTarget display(const QString &name, int w, int h, bool primary = false)
{
    return {name, QRect(0, 0, w, h), QRect(0, 0, w, h), primary, name};
}
} // namespace

class TestWallpaperApplier : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_file;
    QList<DisplayTarget> m_displays;

    std::pair<LinuxWallpaperApplier, ScriptedBackend *> make()
    {
        auto backend = std::make_unique<ScriptedBackend>();
        ScriptedBackend *raw = backend.get();
        return {LinuxWallpaperApplier(std::move(backend), [this] { return m_displays; }), raw};
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_file = m_dir.filePath(QStringLiteral("m31-ab12.jpg"));
        QFile f(m_file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not checked beyond existence");
        m_displays = {display("DP-1", 2560, 1440, true), display("HDMI-1", 1920, 1080), display("DP-2", 1920, 1200)};
    }

    void missingFileChangesNothing()
    {
        auto [applier, backend] = make();
        const QUrl gone = QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("deleted.jpg")));
        try {
            Testing::awaitTask(applier.applyWallpaper(gone, DisplayScope::allDisplays, {}));
            QFAIL("a missing file was accepted");
        } catch (const WallpaperApplyError &e) {
            QCOMPARE(e.kind(), WallpaperApplyError::Kind::fileMissing);
            QCOMPARE(e.description(), QStringLiteral("Wallpaper file could not be found at deleted.jpg."));
        }
        QVERIFY(backend->calls.isEmpty());
    }

    void noDisplays()
    {
        m_displays.clear();
        auto [applier, backend] = make();
        QVERIFY_THROWS_EXCEPTION(WallpaperApplyError,
                                 Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(m_file), DisplayScope::allDisplays, {})));
        QVERIFY(backend->calls.isEmpty());
        QVERIFY(Testing::awaitTask(applier.currentDesktopImageURLs()).isEmpty());
        QCOMPARE(applier.primaryDisplayAspectRatio(), 1.7777777777777777);
    }

    void mainDisplayChangesOnlyThePrimary()
    {
        auto [applier, backend] = make();
        Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(m_file), DisplayScope::mainDisplay, {}));
        QCOMPARE(backend->calls, QStringList{"DP-1=" + m_file});
        const auto urls = Testing::awaitTask(applier.desktopImageURLs(DisplayScope::allDisplays));
        QCOMPARE(urls.size(), 3);
        QCOMPARE(urls[0], std::optional<QUrl>(QUrl::fromLocalFile(m_file)));
        QVERIFY(!urls[1] && !urls[2]);
    }

    void refusalRollsBackEarlierDisplays()
    {
        auto [applier, backend] = make();
        backend->shown.insert("DP-1", {"/old/one.jpg", {{"FillMode", 6}}});
        // HDMI-1 had no picture, so it cannot be put back.
        backend->refuseDisplay = "DP-2";
        try {
            Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(m_file), DisplayScope::allDisplays, {}));
            QFAIL("the refusal was swallowed");
        } catch (const WallpaperApplyError &e) {
            QCOMPARE(e.kind(), WallpaperApplyError::Kind::displayUpdateFailed);
            QCOMPARE(e.underlying(), QStringLiteral("display DP-2 is asleep"));
            QVERIFY(e.description().endsWith(QStringLiteral(": display DP-2 is asleep")));
        }
        const DesktopPicture restored{"/old/one.jpg", {{"FillMode", 6}}};
        QCOMPARE(backend->shown.value("DP-1"), restored);
        QCOMPARE(backend->shown.value("HDMI-1").path, m_file);
        QCOMPARE(backend->calls.last(), "DP-1=/old/one.jpg");
    }

    void refusalOfTheFirstDisplayTouchesNoOther()
    {
        auto [applier, backend] = make();
        backend->refuseDisplay = "DP-1";
        QVERIFY_THROWS_EXCEPTION(WallpaperApplyError,
                                 Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(m_file), DisplayScope::allDisplays, {})));
        QCOMPARE(backend->calls, QStringList{"DP-1=" + m_file});
    }

    void globalPictureIsSetOnceAndReadForEveryDisplay()
    {
        auto [applier, backend] = make();
        backend->perDisplayPictures = false;
        QVERIFY(!applier.supportsPerDisplayWallpaper());
        Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(m_file), DisplayScope::mainDisplay, {}));
        QCOMPARE(backend->calls.size(), 1);
        QCOMPARE(Testing::awaitTask(applier.desktopImageURLs(DisplayScope::allDisplays)).size(), 3);
        QCOMPARE(Testing::awaitTask(applier.currentDesktopImageURLs()), QSet<QUrl>{QUrl::fromLocalFile(m_file)});
    }

    QString solidPicture(const QString &name, QRgb colour, QSize size = {320, 180})
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = m_dir.filePath(name);
        return image.save(path, "PNG") ? path : QString();
    }

    void eachDisplayShowsItsOwnPicture()
    {
        // A display reporting no size gets nothing (it is only logged).
        m_displays << display("GHOST", 0, 0);
        auto [applier, backend] = make();
        QCOMPARE(applier.displayTargets().size(), 3);
        backend->shown.insert("DP-1", {"/old/one.jpg", {}});
        const QStringList files{solidPicture("a.png", qRgb(255, 0, 0)), solidPicture("b.png", qRgb(0, 255, 0)),
                                solidPicture("c.png", qRgb(0, 0, 255))};
        const QList<DisplayWallpaper> pictures{{"HDMI-1", QUrl::fromLocalFile(files[1])},
                                               {"DP-1", QUrl::fromLocalFile(files[0])},
                                               {"DP-2", QUrl::fromLocalFile(files[2])},
                                               {"GHOST", QUrl::fromLocalFile(files[2])},
                                               {"GONE", QUrl::fromLocalFile(files[2])}};
        Testing::awaitTask(applier.applyDisplayWallpapers(pictures, {}));
        QCOMPARE(backend->calls, (QStringList{"DP-1=" + files[0], "HDMI-1=" + files[1], "DP-2=" + files[2]}));

        // One display refuses: the change is undone as a whole.
        backend->calls.clear();
        backend->refuseDisplay = "DP-2";
        const QList<DisplayWallpaper> next{{"DP-1", QUrl::fromLocalFile(files[2])},
                                           {"DP-2", QUrl::fromLocalFile(files[0])}};
        QVERIFY_THROWS_EXCEPTION(WallpaperApplyError, Testing::awaitTask(applier.applyDisplayWallpapers(next, {})));
        QCOMPARE(backend->shown.value("DP-1").path, files[0]);
        QCOMPARE(backend->shown.value("HDMI-1").path, files[1]);
    }

    void lockScreenWaitsForTheDesktop()
    {
        auto [applier, backend] = make();
        backend->delay = std::chrono::milliseconds(20);
        QCoro::Task<> desktop = applier.applyWallpaper(QUrl::fromLocalFile(m_file), DisplayScope::allDisplays, {});
        Testing::awaitTask(applier.applyLockScreen(QUrl::fromLocalFile(m_file), {}));
        Testing::awaitTask(std::move(desktop));
        QCOMPARE(backend->calls,
                 (QStringList{"DP-1=" + m_file, "HDMI-1=" + m_file, "DP-2=" + m_file, "lock=" + m_file}));
    }

    void oneGlobalPictureSpansTheDisplays()
    {
        // A landscape display beside a portrait one at twice the pixel density, on a desktop with one picture.
        m_displays = {{"LEFT", QRect(0, 0, 200, 100), QRect(0, 0, 200, 100), true, "LEFT"},
                      {"TALL", QRect(200, 0, 50, 100), QRect(400, 0, 100, 200), false, "TALL"}};
        auto [applier, backend] = make();
        backend->perDisplayPictures = false;
        const QString red = solidPicture("red.png", qRgb(255, 0, 0));
        const QString blue = solidPicture("blue.png", qRgb(0, 0, 255), {180, 320});
        Testing::awaitTask(applier.applyDisplayWallpapers(
            {{"LEFT", QUrl::fromLocalFile(red)}, {"TALL", QUrl::fromLocalFile(blue)}}, {}));
        QCOMPARE(backend->calls.size(), 1);
        const DesktopPicture spanned = backend->shown.value("*");
        QCOMPARE(spanned.options.value("picture-options").toString(), QStringLiteral("spanned"));
        QCOMPARE(QFileInfo(spanned.path).absolutePath(), QFileInfo(red).absolutePath());
        const QImage composite(spanned.path);
        // The virtual screen in device pixels: 200 wide for LEFT, then TALL from x 400 to 500, 200 high.
        QCOMPARE(composite.size(), QSize(500, 200));
        const auto near = [&](QPoint p, QRgb c) {
            const QRgb a = composite.pixel(p);
            return std::abs(qRed(a) - qRed(c)) < 24 && std::abs(qGreen(a) - qGreen(c)) < 24 &&
                   std::abs(qBlue(a) - qBlue(c)) < 24;
        };
        QVERIFY(near({100, 50}, qRgb(255, 0, 0)));
        QVERIFY(near({450, 100}, qRgb(0, 0, 255)));
        QVERIFY(near({450, 190}, qRgb(0, 0, 255)));
        QVERIFY(near({300, 50}, qRgb(0, 0, 0)));  // between the displays
        QVERIFY(near({100, 150}, qRgb(0, 0, 0))); // below the short one
    }

    void combinedPictureCarriesEachCaptionAndGoesDarkInTheDarkStyle()
    {
        m_displays = {display("LEFT", 640, 360, true),
                      {"RIGHT", QRect(640, 0, 640, 360), QRect(640, 0, 640, 360), false, "RIGHT"}};
        auto [applier, backend] = make();
        backend->perDisplayPictures = false;
        const QUrl red = QUrl::fromLocalFile(solidPicture("red.png", qRgb(255, 0, 0), {1280, 720}));
        const QUrl blue = QUrl::fromLocalFile(solidPicture("blue.png", qRgb(0, 0, 255), {1280, 720}));
        WallpaperLook look{true, true, true, {{red, {"Red", "ESA"}}, {blue, {"Blue", "NASA"}}}};
        applier.setLook(look);
        Testing::awaitTask(applier.applyDisplayWallpapers({{"LEFT", red}, {"RIGHT", blue}}, {}));
        const QString shown = backend->shown.value("*").path;
        QVERIFY2(DerivedWallpaper::isDerived(shown), qPrintable(shown));
        const QImage dark(shown);
        QVERIFY(std::abs(qRed(dark.pixel(100, 100)) - 255 * darkStyleBrightness) < 4);
        // Each display's own words, in the lower right of its own part, above the bottom edge.
        for (const QRect part : {QRect(0, 0, 640, 360), QRect(640, 0, 640, 360)}) {
            const QColor fill = dark.pixelColor(part.topLeft() + QPoint(10, 10));
            QRect drawn;
            for (int y = part.top(); y <= part.bottom(); ++y)
                for (int x = part.left(); x <= part.right(); ++x)
                    if (qGray(dark.pixel(x, y)) > qGray(fill.rgb()) + 60) drawn |= QRect(x, y, 1, 1);
            QVERIFY(!drawn.isEmpty() && part.contains(drawn));
            QVERIFY(drawn.left() > part.center().x() && drawn.bottom() < part.bottom() - 48);
        }
        QCOMPARE(Testing::awaitTask(applier.currentDesktopImageURLs()),
                 QSet<QUrl>{QUrl::fromLocalFile(DerivedWallpaper::originalOf(shown))});
    }

    void combinedPictureThatCannotBeWrittenChangesNothing()
    {
        m_displays = {display("LEFT", 200, 100, true),
                      {"RIGHT", QRect(200, 0, 200, 100), QRect(200, 0, 200, 100), false, "RIGHT"}};
        auto [applier, backend] = make();
        backend->perDisplayPictures = false;
        const QUrl red = QUrl::fromLocalFile(solidPicture("red.png", qRgb(255, 0, 0)));
        const QUrl blue = QUrl::fromLocalFile(solidPicture("blue.png", qRgb(0, 0, 255)));
        const QList<DisplayWallpaper> y{{"LEFT", red}, {"RIGHT", blue}}, x{{"LEFT", blue}, {"RIGHT", red}};
        Testing::awaitTask(applier.applyDisplayWallpapers(y, {}));
        const QString pathY = backend->shown.value("*").path;
        Testing::awaitTask(applier.applyDisplayWallpapers(x, {}));
        const QString pathX = backend->shown.value("*").path;
        QFile fileX(pathX);
        QVERIFY(pathX != pathY && fileX.open(QIODevice::ReadOnly));
        const QByteArray bytesX = fileX.readAll();
        // Running as root, no permission stops a write; a folder where the picture goes stops the rename.
        QVERIFY(QFile::remove(pathY) && QDir().mkpath(pathY + "/busy"));
        const QDir folder = QFileInfo(pathX).dir();
        const QStringList before = folder.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
        try {
            Testing::awaitTask(applier.applyDisplayWallpapers(y, {}));
            QFAIL("an unwritten picture was reported as shown");
        } catch (const WallpaperApplyError &e) {
            QVERIFY2(
                e.underlying().startsWith("the combined picture for all displays could not be written to " + pathY),
                qPrintable(e.underlying()));
        }
        QCOMPARE(backend->shown.value("*").path, pathX);
        QCOMPARE(backend->calls.size(), 2);
        fileX.close();
        QVERIFY(fileX.open(QIODevice::ReadOnly));
        QCOMPARE(fileX.readAll(), bytesX);
        QCOMPARE(folder.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot), before);
    }

    void readBackIsStandardised()
    {
        auto [applier, backend] = make();
        backend->shown.insert("DP-1", {"/cache/./Wallpapers/../Wallpapers/a.jpg", {}});
        backend->shown.insert("HDMI-1", {"/cache/Wallpapers/a.jpg", {}});
        const auto urls = Testing::awaitTask(applier.desktopImageURLs(DisplayScope::allDisplays));
        QCOMPARE(urls.size(), 3);
        QCOMPARE(urls[0], urls[1]);
        QCOMPARE(Testing::awaitTask(applier.currentDesktopImageURLs()), QSet<QUrl>{QUrl::fromLocalFile("/cache/Wallpapers/a.jpg")});
    }

    /// What a display keeps of a w × h picture once the desktop has filled it and cut the rest evenly.
    static QRect cropFor(QSize picture, QSize display)
    {
        const double scale =
            std::max(double(display.width()) / picture.width(), double(display.height()) / picture.height());
        const QSize kept(int(display.width() / scale), int(display.height() / scale));
        return QRect(QPoint((picture.width() - kept.width()) / 2, (picture.height() - kept.height()) / 2), kept);
    }

    void captionStaysInsideEveryCrop_data()
    {
        QTest::addColumn<QList<QSize>>("displays");
        QTest::addColumn<bool>("onePicture");
        QTest::addColumn<QRgb>("background");
        QTest::addColumn<int>("titleLength");
        const QSize wide(1920, 1080), tall(1080, 1920), ultrawide(3440, 1440);
        QTest::newRow("16:9 on white") << QList<QSize>{wide} << false << qRgb(255, 255, 255) << 30;
        QTest::newRow("portrait on black") << QList<QSize>{tall} << false << qRgb(0, 0, 0) << 30;
        QTest::newRow("ultrawide on white") << QList<QSize>{ultrawide} << false << qRgb(250, 250, 250) << 30;
        QTest::newRow("huge title, portrait") << QList<QSize>{tall} << false << qRgb(0, 0, 0) << 1'000'000;
        QTest::newRow("one picture for all three")
            << QList<QSize>{wide, tall, ultrawide} << true << qRgb(255, 255, 255) << 30;
        QTest::newRow("each display its own copy") << QList<QSize>{wide, tall} << false << qRgb(255, 255, 255) << 30;
    }
    void captionStaysInsideEveryCrop()
    {
        QFETCH(QList<QSize>, displays);
        QFETCH(bool, onePicture);
        QFETCH(QRgb, background);
        QFETCH(int, titleLength);
        m_displays.clear();
        for (qsizetype i = 0; i < displays.size(); ++i)
            m_displays << display(QStringLiteral("D%1").arg(i), displays[i].width(), displays[i].height(), i == 0);
        auto [applier, backend] = make();
        backend->perDisplayPictures = !onePicture;
        const QSize size(3000, 2000);
        const QString original = solidPicture("nebula.png", background, size);
        QFile originalFile(original);
        QVERIFY(originalFile.open(QIODevice::ReadOnly));
        const QByteArray originalBytes = originalFile.readAll();
        WallpaperLook look;
        look.caption = true;
        const QString title = QString(titleLength, QLatin1Char('W'));
        look.captions.insert(QUrl::fromLocalFile(original), {title, QStringLiteral("ESA/Hubble & NASA\nJ. Schmidt")});
        applier.setLook(look);
        if (displays.size() == 2) {
            Testing::awaitTask(applier.applyDisplayWallpapers(
                {{"D0", QUrl::fromLocalFile(original)}, {"D1", QUrl::fromLocalFile(original)}}, {}));
            QVERIFY(backend->shown.value("D0").path != backend->shown.value("D1").path);
        } else {
            Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(original), DisplayScope::allDisplays, {}));
        }
        // One copy for a desktop with one picture, inside every display's crop; else each display's own.
        for (qsizetype i = 0; i < (onePicture ? 1 : displays.size()); ++i)
            checkCaption(backend->shown.value(onePicture ? QStringLiteral("*") : QStringLiteral("D%1").arg(i)).path,
                         original, background, onePicture ? displays : QList<QSize>{displays[i]});
        if (QTest::currentTestFailed()) return;
        // The desktop shows the copy; everyone else hears of the picture. The picture itself is untouched.
        QCOMPARE(Testing::awaitTask(applier.currentDesktopImageURLs()), QSet<QUrl>{QUrl::fromLocalFile(original)});
        originalFile.close();
        QVERIFY(originalFile.open(QIODevice::ReadOnly));
        QCOMPARE(originalFile.readAll(), originalBytes);
    }

    static void checkCaption(const QString &shownPath, const QString &original, QRgb background,
                             const QList<QSize> &displays)
    {
        QVERIFY2(DerivedWallpaper::originalOf(shownPath) == original, qPrintable(shownPath));
        const QImage copy(shownPath);
        const QSize size = QImage(original).size();
        QCOMPARE(copy.size(), size);
        QRect drawn;
        int dark = 0, bright = 0;
        for (int y = 0; y < copy.height(); ++y) {
            for (int x = 0; x < copy.width(); ++x) {
                const int grey = qGray(copy.pixel(x, y));
                if (std::abs(grey - qGray(background)) > 40) drawn |= QRect(x, y, 1, 1);
                dark += grey < 90;
                bright += grey > 200;
            }
        }
        QVERIFY(!drawn.isEmpty());
        // Readable on either: white letters with a dark shadow around them.
        QVERIFY2(dark > 200 && bright > 200, qPrintable(QStringLiteral("%1 dark, %2 bright").arg(dark).arg(bright)));
        for (const QSize &d : std::as_const(displays)) {
            const QRect crop = cropFor(size, d);
            QVERIFY2(crop.contains(drawn), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                          .arg(drawn.x())
                                                          .arg(drawn.y())
                                                          .arg(drawn.width())
                                                          .arg(drawn.height())));
            // In the lower right corner, clear of a 64-pixel panel along the bottom edge of the display.
            const double perDisplayPixel = double(crop.height()) / d.height();
            QVERIFY(drawn.bottom() < crop.bottom() - 64 * perDisplayPixel);
            QVERIFY(drawn.left() > crop.center().x() - crop.width() / 5);
        }
    }

    void darkStyleShowsTheDimmedCopy()
    {
        auto [applier, backend] = make();
        const QString original = solidPicture("grey.png", qRgb(200, 100, 40));
        WallpaperLook look;
        look.dimInDarkStyle = true;
        applier.setLook(look);
        Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(original), DisplayScope::mainDisplay, {}));
        QCOMPARE(backend->shown.value("DP-1").path, original); // light style: the picture as it is
        look.darkStyle = true;
        applier.setLook(look);
        Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(original), DisplayScope::mainDisplay, {}));
        const QImage dimmed(backend->shown.value("DP-1").path);
        QVERIFY(!dimmed.isNull());
        const QRgb p = dimmed.pixel(160, 90);
        const auto near = [](int value, double wanted) { return std::abs(value - wanted) <= 2.5; };
        QVERIFY2(near(qRed(p), 200 * darkStyleBrightness) && near(qGreen(p), 100 * darkStyleBrightness) &&
                     near(qBlue(p), 40 * darkStyleBrightness),
                 qPrintable(QStringLiteral("%1 %2 %3").arg(qRed(p)).arg(qGreen(p)).arg(qBlue(p))));
        QCOMPARE(Testing::awaitTask(applier.currentDesktopImageURLs()), QSet<QUrl>{QUrl::fromLocalFile(original)});
    }

    void copyThatCannotBeWrittenLeavesThePicture()
    {
        auto [applier, backend] = make();
        const QString original = solidPicture("m42.png", qRgb(30, 30, 60));
        WallpaperLook look;
        look.caption = true;
        look.captions.insert(QUrl::fromLocalFile(original), {QStringLiteral("Orion Nebula"), QStringLiteral("ESA")});
        applier.setLook(look);
        Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(original), DisplayScope::mainDisplay, {}));
        const QString copy = backend->shown.value("DP-1").path;
        QVERIFY(copy != original);
        // Running as root, no permission stops a write; a folder where the copy goes stops the rename.
        QVERIFY(QFile::remove(copy) && QDir().mkpath(copy + "/busy"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("could not be made, so the picture is shown as it is"));
        QTest::failOnWarning(QRegularExpression("could not be made"));
        for (int i = 0; i < 2; ++i) {
            Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(original), DisplayScope::mainDisplay, {}));
            QCOMPARE(backend->shown.value("DP-1").path, original);
        }
    }

    void unsupportedDesktopSaysSo()
    {
        LinuxWallpaperApplier applier(std::make_unique<UnsupportedBackend>(QStringLiteral("Hyprland")),
                                      [this] { return m_displays; });
        try {
            Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(m_file), DisplayScope::allDisplays, {}));
            QFAIL("an unsupported desktop reported success");
        } catch (const WallpaperApplyError &e) {
            QCOMPARE(e.kind(), WallpaperApplyError::Kind::displayUpdateFailed);
            QVERIFY2(e.description().contains(QStringLiteral("Hyprland")), qPrintable(e.description()));
        }
    }

    void aspectRatio_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<double>("ratio");
        QTest::newRow("ultrawide") << 3440 << 1440 << 3440.0 / 1440.0;
        QTest::newRow("super ultrawide clamps") << 5120 << 1440 << 2.6;
        QTest::newRow("portrait clamps") << 1024 << 1280 << 1.1;
        QTest::newRow("zero height") << 1920 << 0 << 1.7777777777777777;
    }
    void aspectRatio()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(double, ratio);
        m_displays = {display("eDP-1", width, height, true), display("HDMI-1", 1000, 1000)};
        auto [applier, backend] = make();
        QCOMPARE(applier.primaryDisplayAspectRatio(), ratio);
    }

    void primaryComesFirstWhateverTheScreenOrder()
    {
        // Under the offscreen platform there is one screen; the order rule is checked on Xvfb too.
        const QList<DisplayTarget> displays = connectedDisplays();
        QVERIFY(!displays.isEmpty());
        QVERIFY(displays.first().primary);
    }
};

QTEST_MAIN(TestWallpaperApplier)
#include "tst_wallpaperapplier.moc"

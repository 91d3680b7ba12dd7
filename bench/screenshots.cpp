// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the main window in every state a user meets, in light and dark, as PNG files:
//   [LANGUAGE=de] QT_QPA_PLATFORM=offscreen starvane-screenshots <output-folder>
// and, with --screen, whole 1366×768 screens: the window where it opens on that screen, over the wallpaper,
// beside the Preferences, About and "About This Picture" windows
// (QT_QPA_PLATFORM=offscreen:configfile=bench/screen-1366x768.json).
#include "aboutview.h"
#include "contentview.h"
#include "displaypreviewrow.h"
#include "fakes.h"
#include "historyview.h"
#include "mainwindow.h"
#include "pictureinfoview.h"
#include "preferencesview.h"
#include "store/keptpictures.h"
#include "store/wallpaperhistory.h"
#include "storeharness.h"
#include "translations.h"
#include "velmoratheme.h"
#include "wallpaperpreviewcard.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QListWidget>
#include <QPainter>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <cstdio>

using namespace Starvane;
using namespace Starvane::Testing;

namespace {

// A stand-in wallpaper: a nebula-coloured glow with stars, 3840 × 2160.
QString makeWallpaper(const QString &dir)
{
    QImage image(3840, 2160, QImage::Format_RGB32);
    image.fill(QColor(6, 8, 20));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const struct
    {
        QPointF centre;
        qreal radius;
        QColor colour;
    } glows[] = {
        {{1500, 1000}, 1300, QColor(200, 90, 60, 170)},
        {{2500, 1300}, 1100, QColor(70, 110, 210, 150)},
        {{1900, 900}, 600, QColor(250, 200, 140, 160)},
    };
    for (const auto &g : glows) {
        QRadialGradient gradient(g.centre, g.radius);
        gradient.setColorAt(0, g.colour);
        gradient.setColorAt(1, Qt::transparent);
        p.fillRect(image.rect(), gradient);
    }
    QRandomGenerator rng(7);
    for (int i = 0; i < 2500; ++i) {
        const qreal r = rng.bounded(1.0) < 0.97 ? 2.0 + rng.bounded(2.0) : 6.0 + rng.bounded(6.0);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 120 + rng.bounded(135)));
        p.drawEllipse(QPointF(rng.bounded(3840.0), rng.bounded(2160.0)), r, r);
    }
    p.end();
    const QString path = QDir(dir).filePath(QStringLiteral("heic1509a-ab12cd.jpg"));
    image.save(path, "JPEG", 88);
    return path;
}

// A desktop like GNOME: one picture for every display.
class SinglePictureApplier : public RecordingApplier
{
public:
    bool supportsPerDisplayWallpaper() const override { return false; }
};

/// A store restored from what a previous run left: settings, the picture on screen and the next change.
struct Restored
{
    AppSettings settings = AppSettings::defaults();
    std::optional<HubbleImage> current;
    std::optional<int> nextInSeconds;
};

HubbleImage shortImage();

/// Three displays of different shapes, each with a picture of its own cut from `wallpaper`.
void plantEachDisplay(StoreHarness &harness, const QString &wallpaper)
{
    harness.applier->lockScreen = true;
    harness.applier->targets = {makeDisplay(QStringLiteral("DP-1"), 2560, 1440, 0, true),
                                makeDisplay(QStringLiteral("DP-2"), 1080, 1920, 2560),
                                makeDisplay(QStringLiteral("HDMI-1"), 2560, 1080, 3640)};
    const QImage full(wallpaper);
    const QList<std::pair<QRect, HubbleImage>> parts = {
        {QRect(0, 0, 3840, 2160), shortImage()},
        {QRect(1400, 0, 1215, 2160), makeImage(QStringLiteral("heic1107a"), 2160, 3840)},
        {QRect(0, 540, 3840, 1620), makeImage(QStringLiteral("potw1345a"), 5120, 2160)}};
    ScreenState screen(harness.kv, harness.dataDir());
    QList<std::pair<DisplayTarget, ShownPicture>> records;
    const QStringList titles = {QString(), QStringLiteral("A tall pillar in the Eagle Nebula"),
                                QStringLiteral("The wide band of the Milky Way's centre")};
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString file = harness.dir.filePath(QStringLiteral("display-%1.jpg").arg(i));
        full.copy(parts[i].first).save(file, "JPEG", 85);
        HubbleImage image = parts[i].second;
        if (!titles[i].isEmpty()) image.title = titles[i];
        if (i == 1) {
            image.credit = QStringLiteral("NASA, ESA and the Hubble Heritage Team (STScI/AURA)\nProcessing: J. Doe");
            image.description = QStringLiteral("The tallest pillar of the Eagle Nebula is about four light-years "
                                               "high: cold gas and dust that young stars nearby slowly boil away.");
        }
        const DisplayTarget &d = harness.applier->targets[i];
        records.append({d, ShownPicture{image, QUrl::fromLocalFile(file), QString(), QUrl()}});
    }
    screen.showOnDisplays(records, harness.applier->targets.first().key, QDateTime::currentDateTimeUtc());
}

struct Fixture
{
    Fixture(const Restored &state, const QString &wallpaper, bool singlePicture)
    {
        harness.clock.set(QDateTime(QDate(2026, 3, 14), QTime(9, 30), Qt::UTC));
        if (singlePicture) {
            harness.applier = std::make_shared<SinglePictureApplier>();
            harness.applier->gate = harness.gate;
        }
        harness.plantState(state.settings, std::nullopt,
                           state.nextInSeconds ? std::optional(harness.clock.now().addSecs(*state.nextInSeconds))
                                               : std::nullopt);
        if (state.current) {
            harness.kv->setString(StoreKeys::currentFilePath, wallpaper);
            harness.kv->setData(StoreKeys::currentImage, state.current->toJson());
        }
        if (state.settings.displayScope == DisplayScope::eachDisplay) plantEachDisplay(harness, wallpaper);
        harness.build();
    }
    StoreHarness harness;
    WallpaperStore &store() { return *harness.store; }
};

HubbleImage shortImage()
{
    HubbleImage image = makeImage(QStringLiteral("heic1509a"), 6000, 3375);
    image.title = QStringLiteral("Westerlund 2 and its glowing nursery");
    image.credit = QStringLiteral("NASA, ESA, the Hubble Heritage Team (STScI/AURA)");
    image.dateCaptured = QStringLiteral("2015-04-23");
    image.description = QStringLiteral(
        "Hubble's 25th anniversary\n\n"
        "The brilliant tapestry of young stars flaring to life resembles a glittering fireworks display. The "
        "sparkling centrepiece is a giant cluster of about 3000 stars called Westerlund 2, some 20 000 "
        "light-years away in the constellation Carina.\n\n"
        "The cluster's most massive stars carve a cavity in the gas and dust with their fierce ultraviolet light "
        "and stellar winds, and the pillars at its edge are where the next generation of stars is forming.");
    return image;
}

HubbleImage longImage()
{
    HubbleImage image = makeImage(QStringLiteral("heic2007a"), 8000, 4500);
    image.title =
        QStringLiteral("A spectacular view of the cosmic reef, a vast stellar nursery in the Large Magellanic "
                       "Cloud where young stars sculpt towering pillars of gas and dust");
    image.credit = QStringLiteral(
        "NASA, ESA, and STScI; acknowledgement: J. Mack, the Hubble Heritage Team, the Hubble 25th Anniversary "
        "Team, the Hubble Legacy Archive, the European Space Agency's outreach office, M. Robberto and the "
        "Orion Treasury Project Team, A. Nota and the LMC Star Formation Collaboration");
    image.dateCaptured = QStringLiteral("2020-04-24");
    QStringList story{QStringLiteral("Hubble's 30th anniversary")};
    for (int i = 0; i < 6; ++i)
        story << QStringLiteral("The giant red nebula (NGC 2014) and its neighbour (NGC 2020) together form part "
                                "of a vast star-forming region in the Large Magellanic Cloud, about 163 000 "
                                "light-years away. The image is nicknamed the Cosmic Reef, because it resembles an "
                                "undersea world.");
    image.description = story.join(QStringLiteral("\n\n"));
    return image;
}

void waitForPreview(MainWindow &window)
{
    QEventLoop loop;
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    QObject::connect(window.contentView()->previewCard(), &WallpaperPreviewCard::previewLoadFinished, &loop,
                     &QEventLoop::quit);
    loop.exec();
}

/// A history of seven pictures (one kept, one banned) with thumbnails of their own colours, as a
/// previous run would have left it in `harness`'s data folder.
void plantHistory(StoreHarness &harness)
{
    const struct
    {
        const char *id;
        const char *title;
        int year;
        QColor glow;
    } pictures[] = {
        {"heic1509a", "Westerlund 2 and its glowing nursery", 2015, QColor(200, 90, 60)},
        {"heic2007a", "The cosmic reef in the Large Magellanic Cloud", 2020, QColor(70, 110, 210)},
        {"potw2138a", "A barred spiral seen face-on", 2021, QColor(230, 200, 140)},
        {"heic1501a", "The Pillars of Creation", 2014, QColor(120, 160, 90)},
        {"heic0506a", "The Whirlpool Galaxy", 2005, QColor(150, 120, 220)},
        {"potw1345a", "A cluster of old stars", 2013, QColor(240, 150, 80)},
        {"heic1107a", "The Crab Nebula", 2005, QColor(80, 190, 200)},
    };
    const QDir data(harness.dataDir());
    data.mkpath(QStringLiteral("Thumbnails"));
    QJsonArray entries;
    QDateTime shown = harness.clock.now();
    for (const auto &p : pictures) {
        QImage image(448, 252, QImage::Format_RGB32);
        image.fill(QColor(6, 8, 20));
        QPainter painter(&image);
        QRadialGradient gradient(QPointF(200, 120), 190);
        gradient.setColorAt(0, p.glow);
        gradient.setColorAt(1, Qt::transparent);
        painter.fillRect(image.rect(), gradient);
        QRandomGenerator rng(quint32(qHash(QLatin1String(p.id))));
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 255, 255, 200));
        for (int i = 0; i < 120; ++i)
            painter.drawEllipse(QPointF(rng.bounded(448.0), rng.bounded(252.0)), 0.8, 0.8);
        painter.end();
        const QString thumbnail = data.filePath(QStringLiteral("Thumbnails/%1.jpg").arg(QLatin1String(p.id)));
        image.save(thumbnail, "JPEG", 88);
        HistoryEntry e{QLatin1String(p.id),
                       QLatin1String(p.title),
                       QStringLiteral("NASA, ESA and the Hubble Heritage Team"),
                       p.year,
                       shown,
                       QString(),
                       QString(),
                       QString(),
                       thumbnail,
                       QUrl(),
                       QStringLiteral("%1, as its archive page tells it: a few sentences on the object, how far "
                                      "away it is and what its colours mean.")
                           .arg(QLatin1String(p.title))};
        entries.append(e.toJsonObject());
        shown = shown.addSecs(-3600);
        if (QByteArray(p.id) == "heic2007a")
            KeptPictures(harness.keptDir()).keep(thumbnail, {e.id, e.title, e.credit, QUrl()});
    }
    QFile history(data.filePath(QStringLiteral("history.json")));
    history.open(QIODevice::WriteOnly);
    history.write(
        QJsonDocument(QJsonObject{{QStringLiteral("version"), 1}, {QStringLiteral("entries"), entries}}).toJson());
    QFile bans(data.filePath(QStringLiteral("bans.json")));
    bans.open(QIODevice::WriteOnly);
    bans.write(R"({"version":1,"ids":["potw1345a"],"hashes":[]})");
}

void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

/// The whole screen `window` is on, as a user would see it: the wallpaper, then each of `windows` where it
/// lies (without the desktop's title bars, which the offscreen platform does not draw).
QImage screenShot(const QString &wallpaper, const QList<QWidget *> &windows)
{
    QScreen *screen = windows.first()->screen();
    QImage canvas(screen->size(), QImage::Format_RGB32);
    QPainter p(&canvas);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QImage desktop =
        QImage(wallpaper).scaled(canvas.size(), Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    p.drawImage(QPoint((canvas.width() - desktop.width()) / 2, (canvas.height() - desktop.height()) / 2), desktop);
    for (QWidget *w : windows) {
        const QPoint at = w->geometry().topLeft() - screen->geometry().topLeft();
        p.fillRect(QRect(at, w->size()).adjusted(-1, -1, 1, 1), QColor(0, 0, 0, 90)); // a hairline frame
        p.drawPixmap(at, w->grab());
    }
    return canvas;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(STARVANE_VERSION)); // what About shows
    // The user's language, as the program would pick it: LANGUAGE=de, fr, en_XA (longer texts), ar (mirrored).
    installTranslations();
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: starvane-screenshots <output-folder>\n");
        return 2;
    }
    const bool wholeScreen = args.contains(QStringLiteral("--screen"));
    QDir out(args.at(1));
    out.mkpath(QStringLiteral("."));
    QTemporaryDir temp;
    const QString wallpaper = makeWallpaper(temp.path());

    struct State
    {
        const char *name;
        Restored restored;
        /// What happens once the window is open.
        std::function<void(StoreHarness &)> then;
        bool needsPreview;
    };
    const auto hold = [](StoreHarness &h) { h.holdFetch(); };
    const QList<State> states = {
        {"no-image", {}, {}, false},
        {"loading-first", {}, hold, false},
        {"loading-with-preview", {AppSettings::defaults(), shortImage(), 20}, hold, true},
        {"image-long-title", {AppSettings::defaults(), longImage(), 14 * 60 + 10}, {}, true},
        {"paused", {{ChangeFrequency::hourly, DisplayScope::mainDisplay, true}, shortImage(), {}}, {}, true},
        {"manual", {{ChangeFrequency::manual, DisplayScope::allDisplays, false}, shortImage(), {}}, {}, true},
        {"each-display",
         {{ChangeFrequency::hourly, DisplayScope::eachDisplay, false}, shortImage(), 40 * 60},
         {},
         true},
        {"error",
         {AppSettings::defaults(), shortImage(), 300},
         [](StoreHarness &h) {
             h.runFailingFetch(
                 QStringLiteral("The image archive could not be reached: the connection timed out while waiting for "
                                "esahubble.org to answer. Check the network connection and try again later."));
         },
         true},
    };

    if (wholeScreen) {
        // The states a 1366×768 laptop must hold, each once; which appearance each gets is only for variety.
        const struct
        {
            const char *state;
            bool dark;
            const char *beside; // "preferences", "about", "picture" or nothing
        } shots[] = {{"image-long-title", false, ""},
                     {"image-long-title", true, ""},
                     {"error", false, ""},
                     {"each-display", true, ""},
                     {"each-display", false, "preferences"},
                     {"image-long-title", true, "preferences"},
                     {"image-long-title", true, "about"},

                     {"image-long-title", false, "picture"},
                     {"each-display", true, "picture"}};
        for (const auto &shot : shots) {
            Appearance::instance().setOverride(shot.dark);
            const State &state = *std::find_if(states.cbegin(), states.cend(),
                                               [&](const State &s) { return qstrcmp(s.name, shot.state) == 0; });
            Fixture fixture(state.restored, wallpaper, false);
            MainWindow window(fixture.store(), nullptr, fixture.harness.clock.function());
            window.show();
            window.move(window.screen()->availableGeometry().topLeft() + QPoint(120, 30));
            if (state.needsPreview) waitForPreview(window);
            if (state.then) state.then(fixture.harness);
            settle();
            // Placed as a window manager would: inside the screen, however tall the state made it.
            const QRect screen = window.screen()->availableGeometry();
            window.move(window.x(),
                        std::max(screen.top(), std::min(window.y(), screen.bottom() + 1 - window.height())));
            QList<QWidget *> windows{&window};
            PreferencesView preferences(fixture.store());
            preferences.setLaunchAtLogin([] { return false; }, [](bool, QString *) { return true; });
            AboutView about;
            // In "each display", the picture of the portrait display, chosen in the window.
            if (state.restored.settings.displayScope == DisplayScope::eachDisplay)
                window.contentView()->displayPreviews()->buttons().value(1)->click();
            PictureInfoView picture(fixture.store());
            QWidget *second = qstrcmp(shot.beside, "preferences") == 0 ? static_cast<QWidget *>(&preferences)
                              : qstrcmp(shot.beside, "about") == 0     ? static_cast<QWidget *>(&about)
                              : qstrcmp(shot.beside, "picture") == 0   ? static_cast<QWidget *>(&picture)
                                                                       : nullptr;
            if (second) {
                second->show();
                second->move(window.geometry().topRight() + QPoint(60, 40));
                settle();
                windows << second;
            }
            const QString name =
                QStringLiteral("screen-%1-%2.png")
                    .arg(QLatin1String(*shot.beside ? shot.beside : shot.state), shot.dark ? u"dark" : u"light");
            const QString file = out.filePath(name);
            screenShot(wallpaper, windows).save(file);
            std::printf("%s (window %dx%d at %d,%d)\n", qPrintable(file), window.width(), window.height(), window.x(),
                        window.y());
        }
        return 0;
    }

    for (const bool dark : {false, true}) {
        Appearance::instance().setOverride(dark);
        for (const State &state : states) {
            // The paused state also shows how a single-picture desktop is explained.
            Fixture fixture(state.restored, wallpaper, QByteArray(state.name) == "paused");
            MainWindow window(fixture.store(), nullptr, fixture.harness.clock.function());
            window.show();
            if (state.needsPreview) waitForPreview(window);
            if (state.then) state.then(fixture.harness);
            settle();
            const QString file =
                out.filePath(QStringLiteral("%1-%2.png").arg(QLatin1String(state.name), dark ? u"dark" : u"light"));
            window.grab().save(file);
            std::printf("%s (%dx%d)\n", qPrintable(file), window.width(), window.height());
        }

        // The history window, its second picture selected.
        StoreHarness harness;
        harness.clock.set(QDateTime(QDate(2026, 3, 14), QTime(9, 30), Qt::UTC));
        plantHistory(harness);
        HistoryView history(harness.build());
        history.show();
        QEventLoop loop;
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        QObject::connect(&history, &HistoryView::thumbnailsLoaded, &loop, &QEventLoop::quit);
        if (history.pendingThumbnails() > 0) loop.exec();
        history.grid()->setCurrentRow(1);
        settle();
        const QString file = out.filePath(QStringLiteral("history-%1.png").arg(dark ? u"dark" : u"light"));
        history.grab().save(file);
        std::printf("%s (%dx%d)\n", qPrintable(file), history.width(), history.height());
    }
    return 0;
}

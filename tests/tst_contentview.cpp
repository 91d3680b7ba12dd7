// SPDX-License-Identifier: GPL-3.0-or-later
#include "aboutview.h"
#include "buttonstyles.h"
#include "contentview.h"
#include "displaypreviewrow.h"
#include "elidinglabel.h"
#include "errorbanner.h"
#include "fakes.h"
#include "historyview.h"
#include "mainwindow.h"
#include "pictureinfoview.h"
#include "preferencesview.h"
#include "relativetime.h"
#include "settingscard.h"
#include "store/storesettings.h"
#include "storeharness.h"
#include "translations.h"
#include "velmoratheme.h"
#include "wallpaperpreviewcard.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QKeySequence>
#include <QLabel>
#include <QLibraryInfo>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTranslator>

using namespace Starvane;
using namespace Starvane::Testing;

namespace {
// A desktop that keeps one picture for all displays.
class SinglePictureApplier : public RecordingApplier
{
public:
    bool supportsPerDisplayWallpaper() const override { return false; }
};
} // namespace

Q_DECLARE_METATYPE(Starvane::ChangeError)

class TestContentView : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    ManualClock m_clock;

    struct Fixture
    {
        std::unique_ptr<StoreHarness> h = std::make_unique<StoreHarness>();
        WallpaperStore *store = nullptr;
        std::unique_ptr<MainWindow> window;
        ContentView *view() const { return window->contentView(); }
    };

    /// A window over a store restored with `settings` and, when given, a change due that far ahead.
    Fixture make(std::shared_ptr<RecordingApplier> applier = std::make_shared<RecordingApplier>(),
                 AppSettings settings = AppSettings::defaults(), std::optional<qint64> nextInMs = std::nullopt,
                 std::optional<HubbleImage> current = std::nullopt)
    {
        Fixture f;
        f.h->clock.set(m_clock.now());
        applier->gate = f.h->gate;
        f.h->applier = std::move(applier);
        f.h->plantState(settings, current, nextInMs ? std::optional(m_clock.now().addMSecs(*nextInMs)) : std::nullopt);
        f.store = &f.h->build();
        f.window = std::make_unique<MainWindow>(*f.store, nullptr, m_clock.function());
        f.window->show();
        return f;
    }

    static void removeTranslations()
    {
        for (QTranslator *t : qApp->findChildren<QTranslator *>()) {
            QCoreApplication::removeTranslator(t);
            delete t;
        }
        QLocale::setDefault(QLocale::c());
    }

    static bool shown(QWidget *root, const char *name)
    {
        auto *w = root->findChild<QWidget *>(QLatin1String(name));
        return w && w->isVisibleTo(root);
    }

private Q_SLOTS:
    void errorsSpeakTheUsersLanguage_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<ChangeError>("error");
        QTest::addColumn<QString>("shown");
        const auto skipped = [](const QString &reason) {
            return ChangeError::from(std::make_exception_ptr(HubbleAPIError::ineligibleImage(reason)));
        };
        QTest::newRow("de, not an observation") << "de" << skipped(ineligibleBecauseNotObservation())
                                                << "Bild übersprungen: keine einzelne Hubble-Beobachtung.";
        QTest::newRow("de, other observatory")
            << "de" << skipped(ineligibleBecauseOtherObservatory(QStringLiteral("ALMA")))
            << "Bild übersprungen: enthält Daten anderer Observatorien (ALMA).";
        QTest::newRow("fr, not an observation")
            << "fr" << skipped(ineligibleBecauseNotObservation())
            << "Image ignorée\u00a0: ce n’est pas une observation unique de Hubble.";
        QTest::newRow("de, server error")
            << "de" << ChangeError::from(std::make_exception_ptr(HubbleAPIError::httpStatus(503)))
            << "Das ESA/Hubble-Archiv antwortete mit HTTP 503.";
        QTest::newRow("de, a platform's words stay its own")
            << "de"
            << ChangeError::from(
                   std::make_exception_ptr(NetworkError(NetworkFailure::hostNotFound, "Host x not found")))
            << "Host x not found";
    }

    void errorsSpeakTheUsersLanguage()
    {
        QFETCH(QString, language);
        QFETCH(ChangeError, error);
        QFETCH(QString, shown);
        const auto restore = qScopeGuard(&removeTranslations);
        QVERIFY(!installTranslations({language}).isEmpty());
        QCOMPARE(error.localizedDescription(), shown);
    }

    void qtsOwnTexts_data()
    {
        QTest::addColumn<bool>("damaged"); // Qt's translation file is garbage
        QTest::addColumn<QString>("shortcut");
        QTest::newRow("Qt's German") << false << "Strg+Umschalt+P";
        QTest::newRow("a damaged file: Qt's texts in English, ours still German") << true << "Ctrl+Shift+P";
    }

    void qtsOwnTexts()
    {
        QFETCH(bool, damaged);
        QFETCH(QString, shortcut);
        const auto restore = qScopeGuard(removeTranslations);
        QTemporaryDir garbage;
        QFile file(garbage.filePath(QStringLiteral("qtbase_de.qm")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(512, '\x3c')) == 512);
        file.close();
        const QString qtDir = damaged ? garbage.path() : QLibraryInfo::path(QLibraryInfo::TranslationsPath);
        if (!damaged && !QFile::exists(qtDir + QStringLiteral("/qtbase_de.qm")))
            QSKIP("Qt's German translation is not installed (qt6-translations-l10n)");
        QCOMPARE(installTranslations({QStringLiteral("de")}, qtDir), QStringLiteral("starvane_de.qm"));
        QCOMPARE(QKeySequence(QStringLiteral("Ctrl+Shift+P")).toString(QKeySequence::NativeText), shortcut);
        QCOMPARE(QCoreApplication::translate("Starvane::MenuDescription", "Next Wallpaper"),
                 QStringLiteral("Nächstes Hintergrundbild"));
        // Qt's words for file and network errors reach the log and status --json: they stay English.
        QCOMPARE(QCoreApplication::translate("QIODevice", "No such file or directory"),
                 QStringLiteral("No such file or directory"));
    }

    void initTestCase() { Appearance::instance().setOverride(false); }

    void window()
    {
        Fixture f = make();
        QCOMPARE(f.window->windowTitle(), QStringLiteral("Starvane"));
        QCOMPARE(f.view()->width(), 416);
        QCOMPARE(f.window->minimumSize(), f.window->maximumSize()); // not resizable
        const int before = f.window->height();
        f.h->runFailingFetch(QStringLiteral("The archive returned HTTP status 503."));
        QCoreApplication::processEvents();
        QTRY_VERIFY(f.window->height() > before); // the banner makes room for itself
        QCOMPARE(f.window->minimumSize(), f.window->maximumSize());
        QVERIFY(!shown(f.view(), "appIcon")); // tests have no application icon: texts only
    }

    void stateToView_data()
    {
        QTest::addColumn<ChangeFrequency>("frequency");
        QTest::addColumn<bool>("paused");
        QTest::addColumn<bool>("loading");
        QTest::addColumn<bool>("error");
        QTest::addColumn<QString>("nextText");
        QTest::addColumn<bool>("nextEnabled");
        QTest::addColumn<QString>("pauseText"); // empty: no pause button
        QTest::addColumn<QString>("footer");
        const auto hourly = ChangeFrequency::hourly;
        QTest::newRow("idle") << hourly << false << false << false << "Next Wallpaper" << true << "Pause"
                              << "Next change in 10 min.";
        QTest::newRow("fetching") << hourly << false << true << false << "Fetching…" << false << "Pause"
                                  << "Next change in 10 min.";
        QTest::newRow("paused") << hourly << true << false << false << "Next Wallpaper" << true << "Resume"
                                << "Auto-change is paused";
        QTest::newRow("paused while fetching") << hourly << true << true << true << "Fetching…" << false << "Resume"
                                               << "Auto-change is paused";
        QTest::newRow("manual") << ChangeFrequency::manual << false << false << false << "Next Wallpaper" << true << ""
                                << "Auto-change is off";
        QTest::newRow("manual ignores the pause flag")
            << ChangeFrequency::manual << true << false << true << "Next Wallpaper" << true << ""
            << "Auto-change is off";
    }

    void stateToView()
    {
        QFETCH(ChangeFrequency, frequency);
        QFETCH(bool, paused);
        QFETCH(bool, loading);
        QFETCH(bool, error);
        QFETCH(QString, nextText);
        QFETCH(bool, nextEnabled);
        QFETCH(QString, pauseText);
        QFETCH(QString, footer);

        auto applier = std::make_shared<RecordingApplier>();
        // What can fail while a fetch runs: keeping the picture on screen, say.
        const bool failingReapply = error && loading;
        Fixture f = make(applier, {frequency, DisplayScope::allDisplays, paused}, 600'000,
                         failingReapply ? std::optional(makeImage(QStringLiteral("shown"))) : std::nullopt);
        if (error && !loading) f.h->runFailingFetch(QStringLiteral("Download failed."));
        const auto fetch = loading ? f.h->holdFetch() : nullptr;
        if (failingReapply)
            f.store->changes().showError(ChangeError::of(ChangeError::Kind::other, QStringLiteral("Download failed.")));

        ContentView *v = f.view();
        QCOMPARE(v->nextButton()->text(), nextText);
        QCOMPARE(v->nextButton()->isEnabled(), nextEnabled);
        QCOMPARE(v->nextButton()->isBusy(), loading);
        QCOMPARE(v->pauseButton()->isVisibleTo(v), !pauseText.isEmpty());
        if (!pauseText.isEmpty()) {
            QCOMPARE(v->pauseButton()->text(), pauseText);
            QCOMPARE(v->pauseButton()->symbol(), paused ? Symbol::playFill : Symbol::pauseFill);
            QVERIFY(v->pauseButton()->isEnabled()); // never disabled, not even during a fetch
        }
        QCOMPARE(v->footerLabel()->text(), footer);
        QCOMPARE(v->errorBanner()->isVisibleTo(v), error);
        if (error) {
            QCOMPARE(v->errorBanner()->messageLabel()->text(), *f.store->errorMessage());
            QVERIFY(f.store->errorMessage()->endsWith(QLatin1String("Download failed.")));
            QCOMPARE(v->errorBanner()->retryButton()->isEnabled(), !loading);
        }
        // The preview card follows the same flag.
        QCOMPARE(shown(v, "loadingPlaceholder"), loading);
    }

    void footerText_data()
    {
        QTest::addColumn<ChangeFrequency>("frequency");
        QTest::addColumn<std::optional<qint64>>("nextInMs");
        QTest::addColumn<QString>("expected");
        using F = ChangeFrequency;
        using O = std::optional<qint64>;
        QTest::newRow("45 s ahead is shortly") << F::hourly << O(45'000) << "Changing shortly…";
        QTest::newRow("45.5 s ahead is not") << F::hourly << O(45'500) << "Next change in 45 sec.";
        QTest::newRow("46 s ahead") << F::hourly << O(46'000) << "Next change in 46 sec.";
        QTest::newRow("overdue") << F::every5Minutes << O(-120'000) << "Changing shortly…";
        QTest::newRow("14 min ahead") << F::every15Minutes << O(14 * 60'000 + 20'000) << "Next change in 14 min.";
        QTest::newRow("nearly an hour") << F::hourly << O(3'599'000) << "Next change in 59 min.";
        QTest::newRow("hours") << F::daily << O(5 * 3'600'000) << "Next change in 5 hr.";
        QTest::newRow("no date, hourly") << F::hourly << O() << "Scheduled every hour";
        QTest::newRow("no date, daily") << F::daily << O() << "Scheduled daily";
    }

    void footerText()
    {
        QFETCH(ChangeFrequency, frequency);
        QFETCH(std::optional<qint64>, nextInMs);
        QFETCH(QString, expected);
        Fixture f = make(std::make_shared<RecordingApplier>(), {frequency, DisplayScope::allDisplays, false}, nextInMs);
        QCOMPARE(f.view()->scheduleStatusText(m_clock.now()), expected);
        QCOMPARE(f.view()->footerLabel()->text(), expected); // shown without waiting for a tick
    }

    void footerTicksOnlyWhenActiveAndVisible()
    {
        Fixture f = make(std::make_shared<RecordingApplier>(), AppSettings::defaults(), 600'000);
        QVERIFY(f.view()->isStatusTicking());
        QCOMPARE(f.view()->footerLabel()->text(), QStringLiteral("Next change in 10 min."));

        f.store->togglePaused();
        QVERIFY(!f.view()->isStatusTicking());
        f.store->togglePaused(); // resuming starts a full hour
        QVERIFY(f.view()->isStatusTicking());
        f.window->showMinimized();
        QVERIFY(!f.view()->isStatusTicking());
        f.window->showNormal();
        QVERIFY(f.view()->isStatusTicking());
        f.window->hide();
        QVERIFY(!f.view()->isStatusTicking());
        m_clock.advance(300);
        f.window->show(); // comes back with the current text, not the stale one
        QVERIFY(f.view()->isStatusTicking());
        QCOMPARE(f.view()->footerLabel()->text(), QStringLiteral("Next change in 55 min."));
        m_clock.advance(-300);
    }

    void relativeTime_data()
    {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("expected");
        QTest::newRow("seconds") << qint64(50) << "in 50 sec.";
        QTest::newRow("one minute") << qint64(60) << "in 1 min.";
        QTest::newRow("one hour") << qint64(3600) << "in 1 hr.";
        QTest::newRow("one day") << qint64(86400) << "in 1 day";
        QTest::newRow("two days") << qint64(2 * 86400 + 5) << "in 2 days";
        QTest::newRow("weeks") << qint64(15 * 86400) << "in 2 wk.";
        QTest::newRow("past") << qint64(-300) << "5 min. ago";
    }

    void relativeTime()
    {
        QFETCH(qint64, seconds);
        QFETCH(QString, expected);
        const QDateTime now = m_clock.now();
        QCOMPARE(shortRelativeTime(now.addSecs(seconds), now), expected);
    }

    void frequencyPickerCallsTheStoreOnce()
    {
        Fixture f = make();
        MenuPicker *picker = f.view()->settingsCard()->frequencyPicker();
        QCOMPARE(picker->currentText(), QStringLiteral("Every hour"));
        QSignalSpy changes(f.store, &WallpaperStore::settingsChanged);
        picker->setFocus();
        QTest::keyClick(picker, Qt::Key_Down); // the entry after "Every hour"
        QCOMPARE(changes.count(), 1);
        QCOMPARE(f.store->settings().frequency, ChangeFrequency::daily);
        QCOMPARE(picker->currentText(), QStringLiteral("Daily"));
        QVERIFY(f.store->nextChangeDate().has_value()); // the store rescheduled: a real operation ran
        QCOMPARE(f.view()->footerLabel()->text(), QStringLiteral("Next change in 1 day"));
    }

    void choosingManualHidesPause()
    {
        Fixture f = make();
        MenuPicker *picker = f.view()->settingsCard()->frequencyPicker();
        picker->setFocus();
        QTest::keyClick(picker, Qt::Key_Home);
        QCOMPARE(f.store->settings().frequency, ChangeFrequency::manual);
        QVERIFY(!f.view()->pauseButton()->isVisibleTo(f.view()));
        QCOMPARE(f.view()->footerLabel()->text(), QStringLiteral("Auto-change is off"));
    }

    void pickersFollowChangesMadeElsewhere()
    {
        Fixture f = make();
        SettingsCard *card = f.view()->settingsCard();
        f.store->updateDisplayScope(DisplayScope::mainDisplay); // e.g. from the tray menu
        QCOMPARE(card->displayScopePicker()->currentText(), DisplayScopes::displayName(DisplayScope::mainDisplay));
        f.store->updateFrequency(ChangeFrequency::every5Minutes);
        f.store->updateDisplayScope(DisplayScope::allDisplays);
        QCOMPARE(card->frequencyPicker()->currentText(), QStringLiteral("Every 5 minutes"));
        QCOMPARE(card->displayScopePicker()->currentText(), DisplayScopes::displayName(DisplayScope::allDisplays));
    }

    void displayPickerCallsTheStore()
    {
        Fixture f = make();
        MenuPicker *picker = f.view()->settingsCard()->displayScopePicker();
        QSignalSpy changes(f.store, &WallpaperStore::settingsChanged);
        picker->setFocus();
        QTest::keyClick(picker, Qt::Key_Down);
        QCOMPARE(changes.count(), 1);
        QCOMPARE(f.store->settings().displayScope, DisplayScope::mainDisplay);
        QVERIFY(!shown(f.view(), "singlePictureNote"));
    }

    void singlePictureDesktopsSaySo()
    {
        Fixture f = make(std::make_shared<SinglePictureApplier>());
        QVERIFY(shown(f.view(), "singlePictureNote"));
        // Nor can this one's lock screen be given a picture: the preferences' switch is off and says why.
        PreferencesView preferences(*f.store);
        QVERIFY(!preferences.lockScreenToggle()->isEnabled());
        QVERIFY(preferences.lockScreenNote()->isVisibleTo(&preferences));
        // Unless each display gets its own picture: the desktop then spans a combined one.
        f.store->updateDisplayScope(DisplayScope::eachDisplay);
        QVERIFY(!shown(f.view(), "singlePictureNote"));
    }

    void eachDisplayHasItsOwnPreview()
    {
        auto applier = std::make_shared<RecordingApplier>();
        applier->targets = {makeDisplay("DP-1", 1920, 1080, 0, true), makeDisplay("DP-2", 1080, 1920, 1920)};
        Fixture f = make(applier);
        QVERIFY(!shown(f.view(), "displayPreviewRow"));
        f.store->updateDisplayScope(DisplayScope::eachDisplay);
        QTRY_VERIFY(applier->displayCalls.size() == 1 && !f.store->isLoading());
        DisplayPreviewRow *row = f.view()->displayPreviews();
        QVERIFY(shown(f.view(), "displayPreviewRow"));
        QCOMPARE(row->buttons().size(), 2);
        QCOMPARE(row->buttons()[1]->text(), QStringLiteral("DP-2"));
        // The primary display's picture is the one the card shows; choosing another names that one.
        QCOMPARE(row->selectedKey(), QStringLiteral("DP-1"));
        QVERIFY(row->caption()->text().contains(f.store->currentImage()->title));
        QTest::mouseClick(row->buttons()[1], Qt::LeftButton);
        const DisplayState second = f.store->displayStates()[1];
        QCOMPARE(row->caption()->text(),
                 QStringLiteral("DP-2: %1 · %2")
                     .arg(second.record->picture.image.title, second.record->picture.image.credit));
        // "About This Picture", from the card, is about the chosen display's picture.
        QSignalSpy about(f.view(), &ContentView::aboutPictureRequested);
        QTest::mouseClick(f.view()->previewCard()->aboutPictureLink(), Qt::LeftButton);
        QCOMPARE(about.size(), 1);
        QCOMPARE(PictureInfoView(*f.store).image(), second.record->picture.image);
        f.store->updateDisplayScope(DisplayScope::allDisplays);
        QVERIFY(!shown(f.view(), "displayPreviewRow"));
    }

    void aboutThisPicture_data()
    {
        QTest::addColumn<QString>("story"); // empty: the page told nothing
        QTest::newRow("with its story") << "A nebula.\n\nIt glows.";
        QTest::newRow("markup in it stays text") << "<b>Bold</b> & <a href=\"x\">no link</a>";
        QTest::newRow("a page that told nothing") << "";
    }
    void aboutThisPicture()
    {
        QFETCH(QString, story);
        StoreHarness h;
        h.archive->verifyHandler = [story](HubbleImage c) {
            c.credit = QStringLiteral("NASA, ESA\nProcessing: J. Doe");
            if (!story.isEmpty()) c.description = story;
            return c;
        };
        auto &store = h.build();
        PictureInfoView view(store);
        QVERIFY(!view.copyCreditButton()->isEnabled());
        h.runFetch();
        const HubbleImage image = *store.currentImage();
        QCOMPARE(view.titleLabel()->text(), image.title);
        QCOMPARE(view.dateLabel()->text(), QStringLiteral("Captured 2020"));
        QCOMPARE(view.creditLabel()->text(), QStringLiteral("NASA, ESA\nProcessing: J. Doe")); // its lines kept
        QCOMPARE(view.descriptionLabel()->isVisibleTo(&view), !story.isEmpty());
        if (!story.isEmpty()) QCOMPARE(view.descriptionLabel()->text(), story);
        QCOMPARE(view.descriptionLabel()->textFormat(), Qt::PlainText);

        view.copyCreditButton()->click();
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 image.title + QString::fromUtf8(" — NASA, ESA; Processing: J. Doe — ESA/Hubble, CC BY 4.0 — ") +
                     image.detailsURL.toString());
        QList<QUrl> opened;
        view.setLinkOpener([&](const QUrl &url) {
            opened << url;
            return false;
        });
        view.archiveLink()->click();
        QCOMPARE(opened, QList<QUrl>{image.detailsURL});
        QVERIFY(view.noteLabel()->text().contains(image.detailsURL.toDisplayString()));
    }

    void pauseButtonTogglesThroughTheStore()
    {
        Fixture f = make();
        QTest::mouseClick(f.view()->pauseButton(), Qt::LeftButton);
        QVERIFY(f.store->settings().isPaused);
        QCOMPARE(f.view()->pauseButton()->text(), QStringLiteral("Resume"));
        QCOMPARE(f.view()->footerLabel()->text(), QStringLiteral("Auto-change is paused"));
        QTest::mouseClick(f.view()->pauseButton(), Qt::LeftButton);
        QVERIFY(!f.store->settings().isPaused);
        QCOMPARE(f.view()->pauseButton()->text(), QStringLiteral("Pause"));
    }

    void nextAndRetryAskTheStore()
    {
        Fixture f = make();
        f.h->archive->pageHandler = {}; // the archive has nothing to offer: the fetch fails
        QSignalSpy ended(f.store, &WallpaperStore::fetchTaskEnded);
        QSignalSpy loading(f.store, &WallpaperStore::isLoadingChanged);
        QTest::mouseClick(f.view()->nextButton(), Qt::LeftButton);
        QVERIFY(ended.wait(20000));
        QVERIFY(loading.count() >= 2); // it ran, and ended
        QVERIFY(f.store->errorMessage().has_value());
        QVERIFY(f.view()->errorBanner()->isVisibleTo(f.view()));
        QCOMPARE(f.view()->errorBanner()->messageLabel()->text(), *f.store->errorMessage());

        QTest::mouseClick(f.view()->errorBanner()->retryButton(), Qt::LeftButton);
        QVERIFY(ended.wait(20000));
        QCOMPARE(ended.count(), 2);
    }

    void longErrorIsCutToTwoLines()
    {
        Fixture f = make();
        f.h->runFailingFetch(QStringLiteral("The download of the image failed because the server closed the "
                                            "connection early. ")
                                 .repeated(4));
        QCoreApplication::processEvents();
        ElidingLabel *message = f.view()->errorBanner()->messageLabel();
        QTRY_COMPARE(message->visibleLines().size(), 2);
        QVERIFY(message->isElided());
        f.h->runFetch(); // a change that works clears the error
        QVERIFY(!f.view()->errorBanner()->isVisibleTo(f.view()));
    }

    // A 1366×768 laptop, and the same at 125 % (614 logical pixels tall): in every state the window stays
    // on the screen, and whatever the screen cannot hold scrolls into view instead of being cut off.
    void fitsTheScreen_data()
    {
        QTest::addColumn<QString>("screenName");
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("picture");
        QTest::addColumn<bool>("eachDisplay");
        QTest::addColumn<bool>("error");
        QTest::addColumn<bool>("mustScroll");
        const QString laptop = QStringLiteral("laptop-1366x768"), scaled = QStringLiteral("laptop-125-percent");
        QTest::newRow("first run") << laptop << "" << false << false << false << false;
        QTest::newRow("with a picture") << laptop << "" << true << false << false << false;
        QTest::newRow("each display, three") << laptop << "" << true << true << false << false;
        QTest::newRow("error banner") << laptop << "" << true << false << true << false;
        QTest::newRow("German, each display, error") << laptop << "de" << true << true << true << false;
        QTest::newRow("614 px, first run") << scaled << "" << false << false << false << false;
        QTest::newRow("614 px, with a picture") << scaled << "" << true << false << false << true;
        QTest::newRow("614 px, each display, error") << scaled << "" << true << true << true << true;
        QTest::newRow("614 px, German, each display, error") << scaled << "de" << true << true << true << true;
    }

    void fitsTheScreen()
    {
        QFETCH(QString, screenName);
        QFETCH(QString, language);
        QFETCH(bool, picture);
        QFETCH(bool, eachDisplay);
        QFETCH(bool, error);
        QFETCH(bool, mustScroll);
        QScreen *screen = nullptr;
        for (QScreen *s : QGuiApplication::screens())
            if (s->name() == screenName) screen = s;
        if (!screen) QSKIP("needs the offscreen platform with tests/data/screens-laptop.json");
        const auto restore = qScopeGuard(&removeTranslations);
        if (!language.isEmpty()) QVERIFY(!installTranslations({language}).isEmpty());

        auto applier = std::make_shared<RecordingApplier>();
        applier->targets = {makeDisplay("DP-1", 2560, 1440, 0, true), makeDisplay("DP-2", 1080, 1920, 2560),
                            makeDisplay("HDMI-1", 2560, 1080, 3640)};
        Fixture f = make(applier);
        f.window->move(screen->availableGeometry().topLeft() + QPoint(40, 40));
        QTRY_COMPARE(f.window->screen(), screen);
        if (picture) f.h->runFetch();
        if (eachDisplay) {
            f.store->updateDisplayScope(DisplayScope::eachDisplay);
            QTRY_VERIFY(applier->displayCalls.size() == 1 && !f.store->isLoading());
            QCOMPARE(f.view()->displayPreviews()->buttons().size(), 3);
        }
        if (error)
            f.h->runFailingFetch(QStringLiteral("The image archive could not be reached: the connection timed out "
                                                "while waiting for esahubble.org to answer."));
        QCoreApplication::processEvents();

        const QRect free = screen->availableGeometry();
        QTRY_VERIFY2(free.contains(f.window->frameGeometry()),
                     qPrintable(QStringLiteral("window %1,%2 %3x%4 on a screen of %5x%6")
                                    .arg(f.window->frameGeometry().x())
                                    .arg(f.window->frameGeometry().y())
                                    .arg(f.window->frameGeometry().width())
                                    .arg(f.window->frameGeometry().height())
                                    .arg(free.width())
                                    .arg(free.height())));
        ContentView *v = f.view();
        QScrollArea *area = f.window->scrollArea();
        // A scroll bar exactly when the content is taller than what the window shows of it.
        QTRY_COMPARE(area->verticalScrollBar()->isVisible(), v->height() > area->viewport()->height());
        if (mustScroll) QVERIFY(area->verticalScrollBar()->isVisible());
        QVERIFY(area->viewport()->width() >= v->width()); // never a cut right edge
        // Nothing is squeezed out of the content itself, and each control can be brought into view on the
        // screen: the footer and Retry, the last things in the window, included.
        for (QWidget *w : v->findChildren<QWidget *>()) {
            if (!w->isVisibleTo(v)) continue;
            QVERIFY2(v->rect().contains(QRect(w->mapTo(v, QPoint()), w->size())), qPrintable(w->objectName()));
            if (w->focusPolicy() == Qt::NoFocus && w != v->footerLabel()) continue;
            area->ensureWidgetVisible(w, 0, 0);
            const QRect onScreen(w->mapToGlobal(QPoint()), w->size());
            const QRect visible(area->viewport()->mapToGlobal(QPoint()), area->viewport()->size());
            QVERIFY2(visible.contains(onScreen) && free.contains(onScreen), qPrintable(w->objectName()));
        }
    }

    // The other windows, in German (the longest texts), on the 614-pixel screen.
    void otherWindowsFitTheSmallScreen()
    {
        QScreen *screen = nullptr;
        for (QScreen *s : QGuiApplication::screens())
            if (s->name() == QLatin1String("laptop-125-percent")) screen = s;
        if (!screen) QSKIP("needs the offscreen platform with tests/data/screens-laptop.json");
        const auto restore = qScopeGuard(&removeTranslations);
        QVERIFY(!installTranslations({QStringLiteral("de")}).isEmpty());
        Fixture f = make();
        PreferencesView preferences(*f.store);
        preferences.setLaunchAtLogin([] { return false; }, [](bool, QString *) { return true; });
        AboutView about;
        for (QWidget *w : QList<QWidget *>{&preferences, &about}) {
            w->show();
            w->move(screen->availableGeometry().topLeft());
            QTRY_COMPARE(w->screen(), screen);
            QVERIFY2(screen->availableGeometry().contains(w->frameGeometry()), qPrintable(w->objectName()));
        }
        // Every switch can be scrolled into view, none is cut off, and Close needs no scrolling.
        auto *scroll = preferences.findChild<QScrollArea *>();
        const auto onScreen = [](QWidget *w) { return QRect(w->mapToGlobal(QPoint()), w->size()); };
        for (QCheckBox *box : preferences.findChildren<QCheckBox *>()) {
            scroll->ensureWidgetVisible(box, 0, 0);
            QVERIFY2(onScreen(scroll->viewport()).contains(onScreen(box)), qPrintable(box->objectName()));
        }
        QVERIFY(onScreen(&preferences).contains(onScreen(preferences.findChild<QPushButton *>())));
    }

    void preferencesFollowTheStore()
    {
        auto applier = std::make_shared<RecordingApplier>();
        applier->lockScreen = true;
        Fixture f = make(applier);
        PreferencesView preferences(*f.store);
        QVERIFY(!preferences.launchAtLoginToggle()->isVisibleTo(&preferences)); // nobody said where it lives
        bool autostart = false;
        preferences.setLaunchAtLogin([&] { return autostart; },
                                     [&](bool on, QString *error) {
                                         *error = QStringLiteral("Permission denied");
                                         return !on; // turning it on is refused
                                     });
        preferences.show();
        QVERIFY(QTest::qWaitForWindowActive(&preferences));
        // On the box itself: the switch's row is wider than its text.
        const auto click = [](QCheckBox *box) {
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
        };
        click(preferences.saveDataToggle());
        QVERIFY(f.store->settings().saveData);
        click(preferences.showCaptionToggle());
        f.store->settingsObject().setDimInDarkStyle(true); // from the command line
        QVERIFY(f.store->settings().showCaption && preferences.dimInDarkStyleToggle()->isChecked());
        click(preferences.lockScreenToggle());
        QVERIFY(f.store->lockScreenEnabled());
        f.store->settingsObject().setNotifyOnChange(true); // from the tray
        QVERIFY(preferences.notifyToggle()->isChecked());
        click(preferences.launchAtLoginToggle());
        QVERIFY(!preferences.launchAtLoginToggle()->isChecked()); // what the entry says, not what was clicked
        QVERIFY(preferences.problemLabel()->isVisibleTo(&preferences));
        QVERIFY(preferences.problemLabel()->text().contains(QLatin1String("Permission denied")));
        QTest::keyClick(&preferences, Qt::Key_Escape);
        QVERIFY(!preferences.isVisible());
    }

    void aboutSaysWhatItIsAndWhenALinkFails()
    {
        QCoreApplication::setApplicationVersion(QStringLiteral("1.2.3"));
        AboutView about;
        QVERIFY(about.versionLabel()->text().contains(QLatin1String("1.2.3")));
        QVERIFY(about.qtLabel()->text().contains(QLatin1String(QT_VERSION_STR)));
        QList<QUrl> opened;
        about.setLinkOpener([&](const QUrl &url) {
            opened << url;
            return url != AboutView::licenceURL;
        });
        about.show();
        QVERIFY(QTest::qWaitForWindowActive(&about));
        for (PlainButton *link : about.links())
            QTest::mouseClick(link, Qt::LeftButton);
        QCOMPARE(opened, (QList<QUrl>{AboutView::archiveURL, AboutView::imageLicenceURL, AboutView::licenceURL}));
        QVERIFY(about.problemLabel()->isVisibleTo(&about));
        QVERIFY(about.problemLabel()->text().contains(AboutView::licenceURL.toString()));
        QTest::keySequence(&about, QKeySequence(Qt::CTRL | Qt::Key_W));
        QVERIFY(!about.isVisible());
    }

    // A screen reader can name every control, and Tab walks them from top to bottom.
    void mirroredLayoutAnchorsEveryLabelToTheRight()
    {
        QGuiApplication::setLayoutDirection(Qt::RightToLeft);
        Fixture f = make();
        QGuiApplication::setLayoutDirection(Qt::LeftToRight);
        int labels = 0;
        for (QLabel *label : f.view()->findChildren<QLabel *>()) {
            if (label->text().isEmpty() || !label->isVisibleTo(f.view())) continue;
            ++labels;
            // A Latin text in a mirrored window: only an absolute alignment keeps it off the left edge.
            const Qt::Alignment painted = QStyle::visualAlignment(
                label->text().isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight, label->alignment());
            QVERIFY2(painted & Qt::AlignRight, qPrintable(label->text()));
        }
        QVERIFY(labels >= 3); // the title, its subtitle and the footer at least
    }

    /// Counts the controls a screen reader finds in `window`, failing on one without a name or a description.
    static int namedControls(QWidget *window)
    {
        const QList<QAccessible::Role> interactive{
            QAccessible::PushButton, QAccessible::CheckBox,     QAccessible::RadioButton,
            QAccessible::ComboBox,   QAccessible::MenuItem,     QAccessible::Link,
            QAccessible::ButtonMenu, QAccessible::EditableText, QAccessible::List};
        int controls = 0;
        std::function<void(QAccessibleInterface *)> walk = [&](QAccessibleInterface *node) {
            if (!node || node->state().invisible) return;
            if (interactive.contains(node->role())) {
                ++controls;
                const QString name = node->object() ? node->object()->objectName() : QStringLiteral("?");
                QVERIFY2(!node->text(QAccessible::Name).trimmed().isEmpty(), qPrintable(name));
                QVERIFY2(!node->text(QAccessible::Description).trimmed().isEmpty(), qPrintable(name));
            }
            if (node->role() == QAccessible::List) return; // its rows are pictures, named by their text
            for (int i = 0; i < node->childCount(); ++i)
                walk(node->child(i));
        };
        walk(QAccessible::queryAccessibleInterface(window));
        return controls;
    }

    void everyControlIsNamedAndTabbedInVisualOrder()
    {
        auto applier = std::make_shared<RecordingApplier>();
        applier->lockScreen = true;
        Fixture f =
            make(applier, AppSettings::defaults(), std::nullopt, makeImage(QStringLiteral("heic1509a"), 6000, 3375));
        f.h->runFailingFetch(QStringLiteral("The archive returned HTTP status 503."));
        QCoreApplication::processEvents();

        // About This Picture, the link, Reveal File, Next, Pause, two pickers, Retry
        QCOMPARE(namedControls(f.window.get()), 8);

        const int controls = 8;
        QList<QWidget *> chain;
        for (QWidget *w = f.window->nextInFocusChain(); w != f.window.get(); w = w->nextInFocusChain())
            if (w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) chain << w;
        QCOMPARE(chain.size(), controls);
        for (qsizetype i = 1; i < chain.size(); ++i) {
            const QPoint a = chain[i - 1]->mapTo(f.window.get(), QPoint());
            const QPoint b = chain[i]->mapTo(f.window.get(), QPoint());
            QVERIFY2(a.y() < b.y() || (a.y() == b.y() && a.x() < b.x()),
                     qPrintable(chain[i - 1]->objectName() + QStringLiteral(" before ") + chain[i]->objectName()));
        }

        // Every other window, each in a state that shows all its controls.
        PreferencesView preferences(*f.store);
        preferences.setLaunchAtLogin([] { return false; }, [](bool, QString *) { return true; });
        preferences.show();
        QCOMPARE(namedControls(&preferences), 8); // seven switches and Close
        f.h->runFetch();
        HistoryView history(*f.store);
        history.show();
        QCOMPARE(namedControls(&history), 5); // the grid and its four buttons
        AboutView about;
        about.show();
        QCOMPARE(namedControls(&about), 4); // three links and Close
        PictureInfoView picture(*f.store);
        picture.show();
        QCOMPARE(namedControls(&picture), 3); // the page's link, Copy Credit and Close
    }
};

QTEST_MAIN(TestContentView)
#include "tst_contentview.moc"

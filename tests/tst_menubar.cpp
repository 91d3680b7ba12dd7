// SPDX-License-Identifier: GPL-3.0-or-later
// The tray menu and the control service's status text, driven by a store in each state.
#include "controlservice.h"
#include "menubarcontentview.h"
#include "storeharness.h"
#include "updatecontroller.h"

#include <QActionGroup>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <QTest>

using namespace Starvane;
using namespace Starvane::Testing;

namespace {
QStringList texts(const QMenu *menu)
{
    QStringList out;
    for (QAction *a : menu->actions())
        out << (a->isSeparator() ? QStringLiteral("---") : a->text());
    return out;
}

QAction *find(const QWidget *menu, const QString &text)
{
    for (QAction *a : menu->actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

/// Counts the entries put into a menu, which tells how often it was built.
struct EntriesAdded : QObject
{
    int count = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::ActionAdded) ++count;
        return false;
    }
};

/// Menus, actions and choice groups alive under `root`, once the deletions a rebuild queued have run.
int menuObjects(const QObject *root)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return int(root->findChildren<QMenu *>().size() + root->findChildren<QAction *>().size() +
               root->findChildren<QActionGroup *>().size());
}
} // namespace

class TestMenuBar : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void wallpaperTitle_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("shown");
        QTest::newRow("short") << "Pillars of Creation" << "Pillars of Creation";
        QTest::newRow("exactly 30") << QString(30, QLatin1Char('a')) << QString(30, QLatin1Char('a'));
        QTest::newRow("31 cut to 29 and an ellipsis") << QString(31, QLatin1Char('b')) << QString(29, QLatin1Char('b')) + QChar(0x2026);
        QTest::newRow("padding trimmed before measuring") << "\n  " + QString(30, QLatin1Char('c')) + "  \n" << QString(30, QLatin1Char('c'));
        // Combining accents count as one character each with their letter.
        const QString accented = QString(31, QLatin1Char('e')).replace(QLatin1Char('e'), QStringLiteral("e\u0301"));
        QTest::newRow("graphemes, not code units") << accented << QStringLiteral("e\u0301").repeated(29) + QChar(0x2026);
    }

    void wallpaperTitle()
    {
        QFETCH(QString, title);
        QFETCH(QString, shown);
        HubbleImage image = makeImage(QStringLiteral("x"));
        image.title = title;
        QCOMPARE(MenuBarContentView::wallpaperTitle(image), shown);
        QCOMPARE(MenuBarContentView::wallpaperTitle(std::nullopt), QStringLiteral("Starvane"));
    }

    void titleLineShowsAmpersandsLiterally_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("actionText");
        QTest::newRow("short") << "Stars & Dust" << "Stars && Dust";
        // Escaping first would make the cut count "&&" as two characters.
        QTest::newRow("cut, then escaped") << QString(28, QLatin1Char('a')) + "& more" << QString(28, QLatin1Char('a')) + "&&" + QChar(0x2026);
    }

    void titleLineShowsAmpersandsLiterally()
    {
        QFETCH(QString, title);
        QFETCH(QString, actionText);
        StoreHarness h;
        HubbleImage image = makeImage(QStringLiteral("x"));
        image.title = title;
        h.plantState(AppSettings::defaults(), image);
        auto &store = h.build();
        MenuBarContentView view(&store, nullptr, [] {});
        QAction *line = view.menu()->actions().at(0);
        QCOMPARE(line->text(), actionText);
        // What a menu draws: mnemonic markers removed.
        QCOMPARE(line->iconText(), MenuBarContentView::wallpaperTitle(image));
    }

    void choosingTheSelectedChoiceKeepsItTicked_data()
    {
        QTest::addColumn<QString>("submenu");
        QTest::newRow("frequency") << "Change Frequency";
        QTest::newRow("displays") << "Displays";
    }

    void choosingTheSelectedChoiceKeepsItTicked()
    {
        QFETCH(QString, submenu);
        StoreHarness h;
        auto &store = h.build();
        MenuBarContentView view(&store, nullptr, [] {});
        QMenu *choices = find(view.menu(), submenu)->menu();
        QAction *selected = nullptr;
        for (QAction *a : choices->actions())
            if (a->isChecked())
                selected = a;
        QVERIFY(selected);
        const AppSettings before = store.settings();
        selected->trigger();
        QCOMPARE(store.settings(), before);
        QCoreApplication::sendPostedEvents();
        choices = find(view.menu(), submenu)->menu();
        QStringList ticked;
        for (QAction *a : choices->actions())
            if (a->isChecked())
                ticked << a->text();
        QCOMPARE(ticked, QStringList{selected->text()});
    }

    void rebuildingLeavesNothingBehind()
    {
        StoreHarness h;
        auto &store = h.build();
        MenuBarContentView view(&store, nullptr, [] {});
        QMenuBar bar;
        view.attachMenuBar(&bar);
        const int trayOnce = menuObjects(view.menu());
        const int barOnce = menuObjects(&bar);
        QVERIFY(trayOnce > 15 && barOnce > 5);
        for (int i = 0; i < 1000; ++i) {
            if (i % 100 == 0)
                store.togglePaused(); // through the store, as in use
            else
                view.rebuild();
        }
        QCOMPARE(menuObjects(view.menu()), trayOnce);
        QCOMPARE(menuObjects(&bar), barOnce);
    }

    void changesInOneTurnRebuildOnce()
    {
        StoreHarness h;
        auto &store = h.build();
        MenuBarContentView view(&store, nullptr, [] {});
        EntriesAdded added;
        view.menu()->installEventFilter(&added);
        store.togglePaused();
        store.updateFrequency(ChangeFrequency::every15Minutes);
        store.togglePaused();
        QCOMPARE(added.count, 0);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(added.count, view.menu()->actions().size());
        QVERIFY(find(view.menu(), "Resume Auto-Change"));
        // Opening the menu shows the present state even before the queued build.
        store.togglePaused();
        Q_EMIT view.menu()->aboutToShow();
        QVERIFY(find(view.menu(), "Pause Auto-Change"));
        QCoreApplication::sendPostedEvents();
        QCOMPARE(added.count, 2 * view.menu()->actions().size());
    }

    void statusSummary_data()
    {
        QTest::addColumn<AppSettings>("settings");
        QTest::addColumn<bool>("loading");
        QTest::addColumn<NetworkHold>("hold");
        QTest::addColumn<QString>("summary");
        QTest::newRow("loading wins over paused")
            << AppSettings{ChangeFrequency::hourly, DisplayScope::allDisplays, true} << true << NetworkHold::none
            << "Updating wallpaper\u2026";
        QTest::newRow("loading wins over manual")
            << AppSettings{ChangeFrequency::manual, DisplayScope::allDisplays, false} << true << NetworkHold::none
            << "Updating wallpaper\u2026";
        QTest::newRow("manual") << AppSettings{ChangeFrequency::manual, DisplayScope::allDisplays, true} << false
                                << NetworkHold::none << "Manual mode";
        QTest::newRow("paused hourly") << AppSettings{ChangeFrequency::hourly, DisplayScope::allDisplays, true} << false
                                       << NetworkHold::none << "Paused \u00b7 every 1 hour when resumed";
        QTest::newRow("paused 15 min") << AppSettings{ChangeFrequency::every15Minutes, DisplayScope::allDisplays, true}
                                       << false << NetworkHold::none << "Paused \u00b7 every 15 min when resumed";
        QTest::newRow("auto") << AppSettings{ChangeFrequency::every15Minutes, DisplayScope::allDisplays, false} << false
                              << NetworkHold::none << "Auto: Every 15 minutes";
        const AppSettings hourly{ChangeFrequency::hourly, DisplayScope::allDisplays, false};
        QTest::newRow("offline") << hourly << false << NetworkHold::offline << "Waiting for a network connection";
        QTest::newRow("loading wins over offline")
            << hourly << true << NetworkHold::offline << "Updating wallpaper\u2026";
        QTest::newRow("metered, saved pictures")
            << hourly << false << NetworkHold::meteredSaved << "Metered connection: showing saved pictures";
        QTest::newRow("metered, nothing saved")
            << hourly << false << NetworkHold::meteredWaiting << "Metered connection: waiting to download";
    }

    void statusSummary()
    {
        QFETCH(AppSettings, settings);
        QFETCH(bool, loading);
        QFETCH(NetworkHold, hold);
        QFETCH(QString, summary);
        QCOMPARE(MenuBarContentView::statusSummary(settings, loading, hold), summary);
    }

    void menuFollowsTheStore()
    {
        StoreHarness h;
        auto &store = h.build();
        int opened = 0;
        MenuBarContentView view(&store, nullptr, [&] { ++opened; });
        QMenu *menu = view.menu();
        QCOMPARE(texts(menu),
                 (QStringList{"Starvane", "Auto: Every hour", "---", "Next Wallpaper", "Previous Wallpaper", "Keep",
                              "Never Again", "Pause Auto-Change", "Change Frequency", "Only Kept Pictures", "Displays",
                              "Network and Notifications", "---", "Launch at Login", "Open Starvane",
                              "Quit Starvane"}));
        for (const char *nothingYet : {"Previous Wallpaper", "Keep", "Never Again"})
            QVERIFY2(!find(menu, QLatin1String(nothingYet))->isEnabled(), nothingYet);
        QVERIFY(!menu->actions().at(0)->isEnabled());
        QCOMPARE(find(menu, "Next Wallpaper")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));

        // The menu is built anew on the next turn of the event loop after a change.
        const auto fetch = h.holdFetch();
        QTRY_VERIFY(!find(menu, "Next Wallpaper")->isEnabled());
        QCOMPARE(menu->actions().at(1)->text(), QStringLiteral("Updating wallpaper\u2026"));
        h.releaseFetch(fetch);
        QTRY_VERIFY(find(menu, "Next Wallpaper")->isEnabled());

        // A second picture: the first is one step back, and "Keep" ticks once the picture is kept.
        const QString first = store.currentImage()->id;
        h.runFetch();
        QTRY_VERIFY(find(menu, "Previous Wallpaper")->isEnabled());
        QVERIFY(!find(menu, "Keep")->isChecked());
        find(menu, "Keep")->trigger();
        QTRY_VERIFY(find(menu, "Keep")->isChecked());
        find(menu, "Previous Wallpaper")->trigger();
        h.awaitFetch();
        QCOMPARE(store.currentImage()->id, first);
        QTRY_VERIFY(!find(menu, "Keep")->isChecked());
        QTRY_VERIFY(!find(menu, "Previous Wallpaper")->isEnabled());

        store.togglePaused();
        QTRY_VERIFY(find(menu, "Resume Auto-Change"));
        store.updateFrequency(ChangeFrequency::manual);
        QTRY_VERIFY(!find(menu, "Resume Auto-Change") && !find(menu, "Pause Auto-Change"));

        QMenu *frequencies = find(menu, "Change Frequency")->menu();
        QStringList checked;
        for (QAction *a : frequencies->actions())
            if (a->isChecked())
                checked << a->text();
        QCOMPARE(checked, QStringList{"Manual only"});
        frequencies->actions().at(2)->trigger();
        QCOMPARE(store.settings().frequency, ChangeFrequency::every15Minutes);

        // Each switch of the network submenu flips its setting and shows it ticked.
        for (const char *name : {"Download on metered connections", "Save data", "Notify when the wallpaper changes"})
            find(find(menu, "Network and Notifications")->menu(), name)->trigger();
        const AppSettings &s = store.settings();
        QVERIFY(s.downloadOnMetered && s.saveData && s.notifyOnChange);
        QCoreApplication::sendPostedEvents(); // the rebuild those changes asked for
        QVERIFY(find(find(menu, "Network and Notifications")->menu(), "Save data")->isChecked());

        find(menu, "Open Starvane")->trigger();
        QCOMPARE(opened, 1);
    }

    void preferencesAndAboutOpenFromTheMenus()
    {
        StoreHarness h;
        auto &store = h.build();
        int preferences = 0, about = 0, aboutPicture = 0;
        MenuBarContentView view(
            &store, nullptr, [] {}, nullptr, {}, [&] { ++preferences; }, [&] { ++about; }, [&] { ++aboutPicture; });
        QMenuBar bar;
        view.attachMenuBar(&bar);
        QMenu *application = find(&bar, "Starvane")->menu();
        for (QWidget *menu : {static_cast<QWidget *>(view.menu()), static_cast<QWidget *>(application)}) {
            QAction *open = find(menu, "Preferences\u2026");
            QVERIFY(open);
            QCOMPARE(open->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
            open->trigger();
        }
        QCOMPARE(preferences, 2);
        find(application, "About Starvane")->trigger();
        QCOMPARE(about, 1);
        // "About This Picture" in the Wallpaper menu, once there is a picture to speak of.
        QAction *picture = find(find(&bar, "Wallpaper")->menu(), "About This Picture");
        QCOMPARE(picture->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_I));
        QVERIFY(!picture->isEnabled());
        h.runFetch();
        view.rebuild();
        picture = find(find(&bar, "Wallpaper")->menu(), "About This Picture");
        QVERIFY(picture->isEnabled());
        picture->trigger();
        QCOMPARE(aboutPicture, 1);
    }

    void choosingTheSelectedScopeCallsTheStoreAgain()
    {
        StoreHarness h;
        const QString file = h.dir.filePath(QStringLiteral("shown.jpg"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
        f.close();
        h.kv->setString(StoreKeys::currentFilePath, file);
        auto &store = h.build();
        MenuBarContentView view(&store, nullptr, [] {});
        QMenu *displays = find(view.menu(), "Displays")->menu();
        displays->actions().at(1)->trigger(); // Main display
        QCOMPARE(store.settings().displayScope, DisplayScope::mainDisplay);
        h.awaitFetch();
        QCOMPARE(h.applier->calls.size(), 1);
        QCoreApplication::sendPostedEvents();
        displays = find(view.menu(), "Displays")->menu();
        QVERIFY(displays->actions().at(1)->isChecked());
    }

    void launchAtLoginWritesTheAutostartEntry()
    {
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        StoreHarness h;
        auto &store = h.build();
        MenuBarContentView view(&store, nullptr, [] {});
        QAction *login = find(view.menu(), "Launch at Login");
        QVERIFY(login && login->isCheckable() && !login->isChecked());
        login->trigger();
        const QString entry = config.path() + QStringLiteral("/autostart/starvane.desktop");
        QFile f(entry);
        QVERIFY(f.open(QIODevice::ReadOnly));
        // The absolute path: the session's PATH need not lead to this program.
        const QByteArray exec = "Exec=" + QCoreApplication::applicationFilePath().toUtf8() + " --at-login\n";
        QVERIFY(f.readAll().contains(exec));
        view.rebuild();
        login = find(view.menu(), "Launch at Login");
        QVERIFY(login->isChecked());
        login->trigger();
        QVERIFY(!QFile::exists(entry));
        qunsetenv("XDG_CONFIG_HOME");
    }

    void updateItemOnlyWithAFeed()
    {
        StoreHarness h;
        auto &store = h.build();
        QNetworkAccessManager nam;
        UpdateController noFeed(&nam, QUrl(), QVersionNumber(1, 0, 0));
        QVERIFY(!noFeed.isSupported());
        MenuBarContentView plain(&store, &noFeed, [] {});
        QVERIFY(!find(plain.menu(), "Check for Updates\u2026"));
        // The window's menu keeps the command, greyed.
        QMenuBar bar;
        plain.attachMenuBar(&bar);
        QAction *greyed = find(find(&bar, "Starvane")->menu(), "Check for Updates\u2026");
        QVERIFY(greyed && !greyed->isEnabled());

        // Any build with a feed checks, wherever it was installed from.
        UpdateController supported(&nam, QUrl(QStringLiteral("https://example.test/appcast.xml")), QVersionNumber(1, 0, 0));
        MenuBarContentView withUpdates(&store, &supported, [] {});
        QAction *check = find(withUpdates.menu(), "Check for Updates\u2026");
        QVERIFY(check && check->isEnabled());
    }

    void statusTextForTheCommandLine()
    {
        StoreHarness h;
        auto &store = h.build();
        QCOMPARE(StatusReport::statusText(store).split(QLatin1Char('\n')).first(), QStringLiteral("Wallpaper: none yet"));
        h.runFetch();
        h.runFailingFetch(QStringLiteral("Received an unexpected response from the ESA/Hubble archive."));
        const QString text = StatusReport::statusText(store);
        QVERIFY(text.contains(QStringLiteral("Wallpaper: Title of p1-1 (p1-1)")));
        QVERIFY(text.contains(QStringLiteral("Credit: ESA/Hubble & NASA")));
        QVERIFY(text.contains(QStringLiteral("Status: Auto: Every hour")));
        QVERIFY(text.contains(QStringLiteral("Next change: ")));
        QVERIFY(text.contains(QStringLiteral("Error: Received an unexpected response from the ESA/Hubble archive.")));
    }
};

QTEST_MAIN(TestMenuBar)
#include "tst_menubar.moc"

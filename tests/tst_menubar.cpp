// SPDX-License-Identifier: GPL-3.0-or-later
// The tray menu and the control service's status text, driven by a store in each state.
#include "controlservice.h"
#include "menubarcontentview.h"
#include "storeharness.h"
#include "updatecontroller.h"

#include <QApplication>
#include <QMenu>
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

QAction *find(const QMenu *menu, const QString &text)
{
    for (QAction *a : menu->actions())
        if (a->text() == text)
            return a;
    return nullptr;
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

    void statusSummary_data()
    {
        QTest::addColumn<AppSettings>("settings");
        QTest::addColumn<bool>("loading");
        QTest::addColumn<QString>("summary");
        QTest::newRow("loading wins over paused") << AppSettings{ChangeFrequency::hourly, DisplayScope::allDisplays, true} << true << "Updating wallpaper\u2026";
        QTest::newRow("loading wins over manual") << AppSettings{ChangeFrequency::manual, DisplayScope::allDisplays, false} << true << "Updating wallpaper\u2026";
        QTest::newRow("manual") << AppSettings{ChangeFrequency::manual, DisplayScope::allDisplays, true} << false << "Manual mode";
        QTest::newRow("paused hourly") << AppSettings{ChangeFrequency::hourly, DisplayScope::allDisplays, true} << false << "Paused (1 hour)";
        QTest::newRow("paused 15 min") << AppSettings{ChangeFrequency::every15Minutes, DisplayScope::allDisplays, true} << false << "Paused (15 min)";
        QTest::newRow("auto") << AppSettings{ChangeFrequency::every15Minutes, DisplayScope::allDisplays, false} << false << "Auto: Every 15 minutes";
    }

    void statusSummary()
    {
        QFETCH(AppSettings, settings);
        QFETCH(bool, loading);
        QFETCH(QString, summary);
        QCOMPARE(MenuBarContentView::statusSummary(settings, loading), summary);
    }

    void menuFollowsTheStore()
    {
        StoreHarness h;
        auto &store = h.build();
        int opened = 0;
        MenuBarContentView view(&store, nullptr, [&] { ++opened; });
        QMenu *menu = view.menu();
        QCOMPARE(texts(menu), (QStringList{"Starvane", "Auto: Every hour", "---", "Next Wallpaper", "Pause Auto-Change",
                                           "Change Frequency", "Displays", "---", "Launch at Login", "Open Starvane", "Quit Starvane"}));
        QVERIFY(!menu->actions().at(0)->isEnabled());
        QCOMPARE(find(menu, "Next Wallpaper")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));

        h.access().setLoading(true);
        QVERIFY(!find(menu, "Next Wallpaper")->isEnabled());
        QCOMPARE(menu->actions().at(1)->text(), QStringLiteral("Updating wallpaper\u2026"));
        h.access().setLoading(false);

        store.togglePaused();
        QVERIFY(find(menu, "Resume Auto-Change"));
        store.updateFrequency(ChangeFrequency::manual);
        QVERIFY(!find(menu, "Resume Auto-Change") && !find(menu, "Pause Auto-Change"));

        QMenu *frequencies = find(menu, "Change Frequency")->menu();
        QStringList checked;
        for (QAction *a : frequencies->actions())
            if (a->isChecked())
                checked << a->text();
        QCOMPARE(checked, QStringList{"Manual only"});
        frequencies->actions().at(2)->trigger();
        QCOMPARE(store.settings().frequency, ChangeFrequency::every15Minutes);

        find(menu, "Open Starvane")->trigger();
        QCOMPARE(opened, 1);
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
        QCOMPARE(h.applier->calls.size(), 1);
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
        QVERIFY(f.readAll().contains("Exec=starvane --at-login"));
        view.rebuild();
        login = find(view.menu(), "Launch at Login");
        QVERIFY(login->isChecked());
        login->trigger();
        QVERIFY(!QFile::exists(entry));
        qunsetenv("XDG_CONFIG_HOME");
    }

    void updateItemOnlyInsideAnAppImage()
    {
        StoreHarness h;
        auto &store = h.build();
        QNetworkAccessManager nam;
        UpdateController unsupported(&nam, QStringLiteral("/usr/bin/starvane"), QUrl(QStringLiteral("https://example.test/appcast.xml")),
                                     QVersionNumber(1, 0, 0));
        QVERIFY(!unsupported.isSupported());
        MenuBarContentView plain(&store, &unsupported, [] {});
        QVERIFY(!find(plain.menu(), "Check for Updates\u2026"));

        UpdateController noFeed(&nam, QStringLiteral("/home/u/Starvane-x86_64.AppImage"), QUrl(), QVersionNumber(1, 0, 0));
        QVERIFY(!noFeed.isSupported());

        UpdateController supported(&nam, QStringLiteral("/home/u/Starvane-x86_64.AppImage"),
                                   QUrl(QStringLiteral("https://example.test/appcast.xml")), QVersionNumber(1, 0, 0));
        MenuBarContentView withUpdates(&store, &supported, [] {});
        QAction *check = find(withUpdates.menu(), "Check for Updates\u2026");
        QVERIFY(check && check->isEnabled());
    }

    void statusTextForTheCommandLine()
    {
        StoreHarness h;
        auto &store = h.build();
        QCOMPARE(ControlService::statusText(store).split(QLatin1Char('\n')).first(), QStringLiteral("Wallpaper: none yet"));
        h.runFetch();
        h.access().setErrorMessage(QStringLiteral("Received an unexpected response from the ESA/Hubble archive."));
        const QString text = ControlService::statusText(store);
        QVERIFY(text.contains(QStringLiteral("Wallpaper: Title of p1-1 (p1-1)")));
        QVERIFY(text.contains(QStringLiteral("Credit: ESA/Hubble & NASA")));
        QVERIFY(text.contains(QStringLiteral("Status: Auto: Every hour")));
        QVERIFY(text.contains(QStringLiteral("Next change: ")));
        QVERIFY(text.contains(QStringLiteral("Error: Received an unexpected response from the ESA/Hubble archive.")));
    }
};

QTEST_MAIN(TestMenuBar)
#include "tst_menubar.moc"

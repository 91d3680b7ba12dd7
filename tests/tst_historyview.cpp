// SPDX-License-Identifier: GPL-3.0-or-later
// The history window: its grid follows the store, the keyboard reaches everything, and each button acts
// on the selected picture.
#include "historyview.h"
#include "store/picturelibrary.h"
#include "storeharness.h"
#include "velmoratheme.h"

#include "store/wallpaperhistory.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

using namespace Starvane;
using namespace Starvane::Testing;

namespace {
/// How far the text of `button` stands out from its face: the spread of grey levels inside its frame.
int textContrast(QPushButton *button)
{
    const QImage image = button->grab().toImage();
    int lightest = 0, darkest = 255;
    for (int y = 6; y < image.height() - 6; ++y)
        for (int x = 6; x < image.width() - 6; ++x) {
            const int grey = qGray(image.pixel(x, y));
            lightest = qMax(lightest, grey);
            darkest = qMin(darkest, grey);
        }
    return lightest - darkest;
}
} // namespace

class TestHistoryView : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { QStandardPaths::setTestModeEnabled(true); }

    void keyboardAndButtonsActOnTheSelectedPicture()
    {
        StoreHarness h;
        // Every picture but the first one fetched has a story.
        h.archive->verifyHandler = [n = 0](HubbleImage c) mutable {
            if (n++ > 0) c.description = QStringLiteral("The story of ") + c.id;
            return c;
        };
        auto &store = h.build();
        HistoryView view(store);
        QCOMPARE(view.grid()->count(), 0);
        QVERIFY(!view.showButton()->isEnabled());
        for (int i = 0; i < 3; ++i)
            h.runFetch();
        QCOMPARE(view.grid()->count(), 3);
        QTRY_COMPARE(view.pendingThumbnails(), 0);

        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.grid()->setFocus();
        QCOMPARE(view.grid()->currentRow(), 0);
        QTest::keyClick(view.grid(), Qt::Key_Right);
        QCOMPARE(view.grid()->currentRow(), 1);
        const QString second = store.library().history().entries().at(1).id;
        QVERIFY(view.storyLabel()->isVisibleTo(&view));
        QCOMPARE(view.storyLabel()->text(), QStringLiteral("The story of ") + second);
        view.grid()->setCurrentRow(2);
        QVERIFY(!view.storyLabel()->isVisibleTo(&view));
        view.grid()->setCurrentRow(1);

        // Enter shows it again, without a new entry.
        QTest::keyClick(view.grid(), Qt::Key_Return);
        h.awaitFetch();
        QCOMPARE(store.currentImage()->id, second);
        QCOMPARE(view.grid()->count(), 3);

        QList<QUrl> opened;
        view.setOpenURLHandler([&](const QUrl &url) {
            opened << url;
            return true;
        });
        view.openButton()->click();
        QCOMPARE(opened, QList<QUrl>{makeImage(second).detailsURL});

        view.grid()->setCurrentRow(2);
        const QString third = store.library().history().entries().at(2).id;
        view.keepButton()->click();
        QVERIFY(store.library().kept().isKept(third));
        QVERIFY(view.keepButton()->isChecked());
        view.keepButton()->click();
        QVERIFY(!store.library().kept().isKept(third));

        // Banning a picture not on screen changes nothing on screen; the same button lets it back in.
        view.banButton()->click();
        QVERIFY(store.library().history().isBannedID(third));
        QCOMPARE(store.currentImage()->id, second);
        QCOMPARE(view.grid()->currentRow(), 2);
        QCOMPARE(view.banButton()->text(), QStringLiteral("Allow Again"));
        // Nor can it be shown or kept, and the window says why.
        QVERIFY(!view.showButton()->isEnabled() && !view.keepButton()->isEnabled());
        QVERIFY(view.noteLabel()->isVisibleTo(&view));
        QVERIFY(view.noteLabel()->text().contains(QLatin1String("allow it again")));
        QCOMPARE(view.showButton()->toolTip(), view.noteLabel()->text());
        view.banButton()->click();
        QVERIFY(!store.library().history().isBannedID(third));
        QCOMPARE(view.banButton()->text(), QStringLiteral("Never Again"));
        QVERIFY(!view.noteLabel()->isVisibleTo(&view) && view.showButton()->isEnabled());

        // A page that nothing opens is said, not swallowed.
        view.setOpenURLHandler([](const QUrl &) { return false; });
        view.openButton()->click();
        QVERIFY(view.noteLabel()->isVisibleTo(&view));

        QVERIFY(QTest::qWaitForWindowActive(&view));
        QTest::keyClick(&view, Qt::Key_Escape);
        QVERIFY(!view.isVisible());
        view.show();
        QVERIFY(QTest::qWaitForWindowActive(&view));
        QTest::keySequence(&view, QKeySequence(Qt::CTRL | Qt::Key_W));
        QVERIFY(!view.isVisible());
    }

    // A button that cannot be used must not look like one that can, light or dark.
    void disabledButtonsLookDisabled_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }

    void disabledButtonsLookDisabled()
    {
        QFETCH(bool, dark);
        Appearance::instance().setOverride(dark);
        StoreHarness h;
        auto &store = h.build();
        HistoryView view(store);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QVERIFY(!view.showButton()->isEnabled()); // nothing to show yet
        const int disabled = textContrast(view.showButton());
        h.runFetch();
        QVERIFY(view.showButton()->isEnabled());
        const int enabled = textContrast(view.showButton());
        QVERIFY2(disabled * 2 < enabled, qPrintable(QStringLiteral("%1 against %2").arg(disabled).arg(enabled)));
        Appearance::instance().setOverride(std::nullopt);
    }
};

QTEST_MAIN(TestHistoryView)
#include "tst_historyview.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
// The history window: its grid follows the store, the keyboard reaches everything, and each button acts
// on the selected picture.
#include "historyview.h"
#include "storeharness.h"

#include "store/wallpaperhistory.h"

#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

using namespace Starvane;
using namespace Starvane::Testing;

class TestHistoryView : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { QStandardPaths::setTestModeEnabled(true); }

    void keyboardAndButtonsActOnTheSelectedPicture()
    {
        StoreHarness h;
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
        const QString second = store.history().entries().at(1).id;

        // Enter shows it again, without a new entry.
        QTest::keyClick(view.grid(), Qt::Key_Return);
        h.awaitFetch();
        QCOMPARE(store.currentImage()->id, second);
        QCOMPARE(view.grid()->count(), 3);

        QList<QUrl> opened;
        view.setOpenURLHandler([&](const QUrl &url) { opened << url; });
        view.openButton()->click();
        QCOMPARE(opened, QList<QUrl>{makeImage(second).detailsURL});

        view.grid()->setCurrentRow(2);
        const QString third = store.history().entries().at(2).id;
        view.keepButton()->click();
        QVERIFY(store.isKept(third));
        QVERIFY(view.keepButton()->isChecked());
        view.keepButton()->click();
        QVERIFY(!store.isKept(third));

        // Banning a picture not on screen changes nothing on screen; the same button lets it back in.
        view.banButton()->click();
        QVERIFY(store.history().isBannedID(third));
        QCOMPARE(store.currentImage()->id, second);
        QCOMPARE(view.grid()->currentRow(), 2);
        QCOMPARE(view.banButton()->text(), QStringLiteral("Allow Again"));
        QVERIFY(!view.showButton()->isEnabled());
        view.banButton()->click();
        QVERIFY(!store.history().isBannedID(third));
        QCOMPARE(view.banButton()->text(), QStringLiteral("Never Again"));
    }
};

QTEST_MAIN(TestHistoryView)
#include "tst_historyview.moc"

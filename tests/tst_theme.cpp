// SPDX-License-Identifier: GPL-3.0-or-later
#include "buttonstyles.h"
#include "velmoratheme.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

using namespace Starvane;
using VelmoraTheme::Color;

class TestTheme : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { Appearance::instance().setOverride(false); }

    void colours_data()
    {
        QTest::addColumn<Color>("color");
        QTest::addColumn<QString>("light");
        QTest::addColumn<QString>("dark");
        QTest::newRow("background") << Color::background << "#fbf7f4" << "#120d0b";
        QTest::newRow("card") << Color::card << "#fdfbfa" << "#1c1614";
        QTest::newRow("foreground") << Color::foreground << "#1c1917" << "#f5f2f0";
        QTest::newRow("primary fixed") << Color::primary << "#905132" << "#905132";
        QTest::newRow("primaryDeep fixed") << Color::primaryDeep << "#683f28" << "#683f28";
        QTest::newRow("primaryForeground fixed") << Color::primaryForeground << "#fafaf9" << "#fafaf9";
        QTest::newRow("link lighter in dark") << Color::link << "#905132" << "#e0986e";
        QTest::newRow("secondary") << Color::secondary << "#f5f2f0" << "#2c211d";
        QTest::newRow("mutedForeground") << Color::mutedForeground << "#78716c" << "#a8a29e";
        QTest::newRow("accent") << Color::accent << "#fce7d6" << "#4a2e21";
        QTest::newRow("border") << Color::border << "#e7e5e4" << "#392c27";
        QTest::newRow("controlBorder") << Color::controlBorder << "#e0dddb" << "#44352f";
        QTest::newRow("destructive") << Color::destructive << "#dc2626" << "#f87171";
        QTest::newRow("destructiveSurface") << Color::destructiveSurface << "#fef2f2" << "#3b1818";
    }

    void colours()
    {
        QFETCH(Color, color);
        QFETCH(QString, light);
        QFETCH(QString, dark);
        QCOMPARE(VelmoraTheme::color(color).name(), light);
        QCOMPARE(VelmoraTheme::color(color).alphaF(), 1.0f);
        Appearance::instance().setOverride(true);
        QCOMPARE(VelmoraTheme::color(color).name(), dark);
    }

    void linkEqualsPrimaryOnlyInLight()
    {
        QCOMPARE(VelmoraTheme::link(), VelmoraTheme::primary());
        Appearance::instance().setOverride(true);
        QVERIFY(VelmoraTheme::link() != VelmoraTheme::primary());
    }

    void buttonsDrawForTheirState_data()
    {
        QTest::addColumn<VelmoraButton::Kind>("kind");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("pressed");
        QTest::addColumn<qreal>("opacity");
        QTest::addColumn<qreal>("scale");
        QTest::addColumn<Color>("fill");
        QTest::newRow("primary at rest") << VelmoraButton::Kind::primary << true << false << 1.0 << 1.0 << Color::primary;
        QTest::newRow("primary pressed") << VelmoraButton::Kind::primary << true << true << 1.0 << 0.99
                                         << Color::primaryDeep;
        QTest::newRow("primary disabled") << VelmoraButton::Kind::primary << false << false << 0.6 << 1.0
                                          << Color::primary;
        QTest::newRow("primary disabled, press ignored")
            << VelmoraButton::Kind::primary << false << true << 0.6 << 1.0 << Color::primary;
        QTest::newRow("secondary at rest") << VelmoraButton::Kind::secondary << true << false << 1.0 << 1.0
                                           << Color::secondary;
        QTest::newRow("secondary pressed keeps size")
            << VelmoraButton::Kind::secondary << true << true << 1.0 << 1.0 << Color::accent;
        QTest::newRow("secondary disabled") << VelmoraButton::Kind::secondary << false << false << 0.55 << 1.0
                                            << Color::secondary;
    }

    void buttonsDrawForTheirState()
    {
        QFETCH(VelmoraButton::Kind, kind);
        QFETCH(bool, enabled);
        QFETCH(bool, pressed);
        QFETCH(qreal, opacity);
        QFETCH(qreal, scale);
        QFETCH(Color, fill);

        VelmoraButton button(kind);
        button.setText(QStringLiteral("Next Wallpaper"));
        button.setEnabled(enabled);
        button.show();
        QSignalSpy clicks(&button, &QAbstractButton::clicked);
        if (pressed) {
            QTest::mousePress(&button, Qt::LeftButton);
            // The press animates; wait for its end state rather than its timing.
            if (enabled)
                QTRY_COMPARE(button.pressProgress(), 1.0);
        }
        QCOMPARE(button.drawingOpacity(), opacity);
        QCOMPARE(button.drawingScale(), scale);
        QCOMPARE(button.fillColor(), VelmoraTheme::color(fill));
        if (pressed) {
            QTest::mouseRelease(&button, Qt::LeftButton);
            QCOMPARE(clicks.count(), enabled ? 1 : 0);
            QTRY_COMPARE(button.pressProgress(), 0.0);
        }
    }

    void buttonsAreAtLeast34High()
    {
        VelmoraButton primary(VelmoraButton::Kind::primary);
        primary.setText(QStringLiteral("Next Wallpaper"));
        primary.setSymbol(Symbol::arrowTriangle2Circlepath);
        VelmoraButton secondary(VelmoraButton::Kind::secondary);
        secondary.setText(QStringLiteral("Pause"));
        QVERIFY(primary.sizeHint().height() >= 34);
        QVERIFY(secondary.sizeHint().height() >= 34);
        // 12 points of padding either side of the content, at least.
        QVERIFY(secondary.sizeHint().width() >= secondary.fontMetrics().horizontalAdvance(QStringLiteral("Pause")) + 24);
    }

    void appearanceChangeIsSeenAtOnce()
    {
        VelmoraButton button(VelmoraButton::Kind::secondary);
        QSignalSpy spy(&Appearance::instance(), &Appearance::changed);
        const QColor before = button.fillColor();
        Appearance::instance().setOverride(true);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(button.fillColor(), VelmoraTheme::values(Color::secondary).dark);
        QVERIFY(button.fillColor() != before);
        Appearance::instance().setOverride(true); // no change, no signal
        QCOMPARE(spy.count(), 1);
    }
};

QTEST_MAIN(TestTheme)
#include "tst_theme.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "symbols.h"
#include "velmoratheme.h"

#include <QAbstractButton>
#include <QEasingCurve>
#include <QVariantAnimation>
#include <optional>

class QPainter;

namespace Starvane {

class SpinnerClock;

/// The ease-out curve of the press animation: the cubic Bézier (0, 0, 0.58, 1).
QEasingCurve velmoraEaseOut();
constexpr int kPressAnimationMs = 120;
/// The keyboard-focus outline all our custom controls share.
void paintFocusRing(QPainter &painter, const QRectF &bounds, qreal radius);
/// Whether focus gained for `reason` should be shown: only when the user moved it with the keyboard,
/// not when the window was merely activated or a control clicked.
bool isKeyboardFocusReason(Qt::FocusReason reason);

/// The palette of the windows built from standard Qt controls (history, preferences, about) in the
/// appearance in effect: the theme's colours, with disabled buttons and texts visibly faded, since the
/// style draws a disabled push button from the palette's disabled group alone.
QPalette windowPalette();
/// Gives `window` that palette now and whenever the appearance changes.
void applyWindowPalette(QWidget *window);

/// The two filled buttons of the main window. Primary: the call to action (brand fill, darker and
/// 99 % in size while pressed, 0.6 opacity when disabled). Secondary: a quiet button with a thin
/// border (accent fill while pressed, 0.55 opacity when disabled, no scaling). Both animate the
/// pressed state with a 0.12 s ease-out.
class VelmoraButton : public QAbstractButton
{
    Q_OBJECT
    Q_PROPERTY(qreal pressProgress READ pressProgress)

public:
    enum class Kind { primary, secondary };

    VelmoraButton(Kind kind, QWidget *parent = nullptr);

    Kind kind() const { return m_kind; }
    /// The symbol before the text; none by default.
    void setSymbol(std::optional<Symbol> symbol);
    std::optional<Symbol> symbol() const { return m_symbol; }
    /// Shows a small progress indicator in place of the symbol.
    void setBusy(bool busy);
    bool isBusy() const { return m_busy; }

    /// 0 at rest, 1 fully pressed; animates in between.
    qreal pressProgress() const { return m_press; }
    /// Opacity the button is drawn with in its current enabled state.
    qreal drawingOpacity() const;
    /// Scale the button is drawn at for the current press progress.
    qreal drawingScale() const;
    /// Fill colour for the current press progress and appearance.
    QColor fillColor() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    void animatePress(bool down);
    QFont labelFont() const;
    int contentSpacing() const;
    int leadingSide() const;

    Kind m_kind;
    std::optional<Symbol> m_symbol;
    bool m_busy = false;
    qreal m_press = 0;
    QVariantAnimation m_pressAnimation;
    SpinnerClock *m_spinner;
    bool m_keyboardFocus = false;
};

/// A button without chrome: a symbol and a text in one colour (links, "Reveal File", "Retry").
class PlainButton : public QAbstractButton
{
    Q_OBJECT

public:
    PlainButton(const QString &text, const QFont &font, VelmoraTheme::Color color, QWidget *parent = nullptr);
    void setSymbol(std::optional<Symbol> symbol);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    int symbolSide() const;
    bool m_keyboardFocus = false;

    QFont m_font;
    VelmoraTheme::Color m_color;
    std::optional<Symbol> m_symbol;
};

} // namespace Starvane

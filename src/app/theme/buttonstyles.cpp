// SPDX-License-Identifier: GPL-3.0-or-later
#include "buttonstyles.h"

#include "progressspinner.h"

#include <QEvent>
#include <QFocusEvent>
#include <QPainter>
#include <QPainterPath>

namespace Starvane {

namespace {
constexpr qreal kCornerRadius = 7;
constexpr int kMinimumHeight = 34;
constexpr int kVerticalPadding = 8;
constexpr int kSpinnerSide = 16;

QColor mix(const QColor &a, const QColor &b, qreal t)
{
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t), float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t), 1.0f);
}
} // namespace

QPalette windowPalette()
{
    using namespace VelmoraTheme;
    QPalette p;
    p.setColor(QPalette::Window, background());
    p.setColor(QPalette::Base, card());
    p.setColor(QPalette::AlternateBase, secondary());
    p.setColor(QPalette::Text, foreground());
    p.setColor(QPalette::WindowText, foreground());
    p.setColor(QPalette::ButtonText, foreground());
    p.setColor(QPalette::Button, secondary());
    p.setColor(QPalette::Light, card());
    p.setColor(QPalette::Midlight, secondary());
    p.setColor(QPalette::Mid, controlBorder());
    p.setColor(QPalette::Dark, controlBorder());
    p.setColor(QPalette::Shadow, border());
    p.setColor(QPalette::Highlight, primary());
    p.setColor(QPalette::HighlightedText, primaryForeground());
    p.setColor(QPalette::Link, link());
    p.setColor(QPalette::ToolTipBase, card());
    p.setColor(QPalette::ToolTipText, foreground());
    p.setColor(QPalette::PlaceholderText, mutedForeground());
    // Disabled: the text half-way into the window's colour and a flat face, in light and dark alike. The
    // default palette derived these from the system's light colours, so in our windows a disabled button
    // looked exactly like an enabled one.
    const QColor fadedText = mix(mutedForeground(), background(), 0.45);
    for (QPalette::ColorRole role : {QPalette::ButtonText, QPalette::WindowText, QPalette::Text})
        p.setColor(QPalette::Disabled, role, fadedText);
    p.setColor(QPalette::Disabled, QPalette::Button, background());
    p.setColor(QPalette::Disabled, QPalette::Light, background());
    p.setColor(QPalette::Disabled, QPalette::Midlight, background());
    p.setColor(QPalette::Disabled, QPalette::Mid, border());
    p.setColor(QPalette::Disabled, QPalette::Dark, border());
    p.setColor(QPalette::Disabled, QPalette::Highlight, mix(primary(), background(), 0.5));
    return p;
}

void applyWindowPalette(QWidget *window)
{
    VelmoraTheme::whenAppearanceChanges(window, [window] {
        window->setPalette(windowPalette());
        window->setAutoFillBackground(true);
    });
}

QEasingCurve velmoraEaseOut()
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0, 0), QPointF(0.58, 1), QPointF(1, 1));
    return curve;
}

VelmoraButton::VelmoraButton(Kind kind, QWidget *parent)
    : QAbstractButton(parent), m_kind(kind), m_spinner(new SpinnerClock(this))
{
    setAttribute(Qt::WA_Hover);
    setFont(labelFont());
    setSizePolicy(kind == Kind::primary ? QSizePolicy::Expanding : QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_pressAnimation.setDuration(kPressAnimationMs);
    m_pressAnimation.setEasingCurve(velmoraEaseOut());
    connect(&m_pressAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant &v) {
        m_press = v.toReal();
        update();
    });
    connect(this, &QAbstractButton::pressed, this, [this] { animatePress(true); });
    connect(this, &QAbstractButton::released, this, [this] { animatePress(false); });
    connect(&Appearance::instance(), &Appearance::changed, this, qOverload<>(&QWidget::update));
}

void VelmoraButton::animatePress(bool down)
{
    m_pressAnimation.stop();
    m_pressAnimation.setStartValue(m_press);
    m_pressAnimation.setEndValue(down ? 1.0 : 0.0);
    m_pressAnimation.start();
}

void VelmoraButton::setSymbol(std::optional<Symbol> symbol)
{
    if (symbol == m_symbol)
        return;
    m_symbol = symbol;
    updateGeometry();
    update();
}

void VelmoraButton::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    m_spinner->setRunning(busy && isVisible());
    updateGeometry();
    update();
}

QFont VelmoraButton::labelFont() const
{
    return VelmoraTheme::systemFont(13, QFont::Medium);
}

int VelmoraButton::contentSpacing() const
{
    return m_kind == Kind::primary ? 7 : 6;
}

int VelmoraButton::leadingSide() const
{
    if (m_busy)
        return kSpinnerSide;
    if (m_symbol)
        return Symbols::sizeForFont(m_kind == Kind::primary ? 12.5 : 13);
    return 0;
}

qreal VelmoraButton::drawingOpacity() const
{
    if (isEnabled())
        return 1.0;
    return m_kind == Kind::primary ? 0.6 : 0.55;
}

qreal VelmoraButton::drawingScale() const
{
    return m_kind == Kind::primary ? 1.0 - 0.01 * m_press : 1.0;
}

QColor VelmoraButton::fillColor() const
{
    using namespace VelmoraTheme;
    return m_kind == Kind::primary ? mix(primary(), primaryDeep(), m_press) : mix(secondary(), accent(), m_press);
}

QSize VelmoraButton::sizeHint() const
{
    const QFontMetrics fm(font());
    const int lead = leadingSide();
    const int contentWidth = fm.horizontalAdvance(text()) + (lead ? lead + contentSpacing() : 0);
    const int contentHeight = qMax(fm.height(), lead);
    const int padH = m_kind == Kind::primary ? 14 : 12;
    return {contentWidth + 2 * padH, qMax(kMinimumHeight, contentHeight + 2 * kVerticalPadding)};
}

QSize VelmoraButton::minimumSizeHint() const
{
    return sizeHint();
}

void VelmoraButton::paintEvent(QPaintEvent *)
{
    using namespace VelmoraTheme;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(drawingOpacity());

    const QRectF bounds = rect();
    const qreal scale = drawingScale();
    p.translate(bounds.center());
    p.scale(scale, scale);
    p.translate(-bounds.center());

    QPainterPath shape;
    shape.addRoundedRect(bounds, kCornerRadius, kCornerRadius);
    p.fillPath(shape, fillColor());
    if (m_kind == Kind::secondary) {
        // Stroke inside the edge: inset by half the line width.
        QPen pen(controlBorder(), 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
        pen.setMiterLimit(10);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius - 0.5, kCornerRadius - 0.5);
    }

    const QColor textColor = m_kind == Kind::primary ? primaryForeground() : foreground();
    const QFontMetrics fm(font());
    const int lead = leadingSide();
    const int textWidth = fm.horizontalAdvance(text());
    const int contentWidth = textWidth + (lead ? lead + contentSpacing() : 0);
    qreal x = bounds.center().x() - contentWidth / 2.0;
    const qreal cy = bounds.center().y();
    if (m_busy) {
        paintSpinner(p, QRectF(x, cy - lead / 2.0, lead, lead), primaryForeground(), m_spinner->step());
    } else if (m_symbol) {
        const QPixmap pm = Symbols::pixmap(*m_symbol, QSize(lead, lead), textColor, devicePixelRatioF());
        p.drawPixmap(QPointF(x, cy - lead / 2.0), pm);
    }
    if (lead)
        x += lead + contentSpacing();
    p.setPen(textColor);
    p.setFont(font());
    p.drawText(QRectF(x, bounds.top(), textWidth + 1, bounds.height()), Qt::AlignVCenter | Qt::AlignLeft, text());

    if (hasFocus() && m_keyboardFocus)
        paintFocusRing(p, bounds, kCornerRadius);
}

bool isKeyboardFocusReason(Qt::FocusReason reason)
{
    return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
}

void VelmoraButton::focusInEvent(QFocusEvent *event)
{
    m_keyboardFocus = isKeyboardFocusReason(event->reason());
    QAbstractButton::focusInEvent(event);
}

void PlainButton::focusInEvent(QFocusEvent *event)
{
    m_keyboardFocus = isKeyboardFocusReason(event->reason());
    QAbstractButton::focusInEvent(event);
}

void paintFocusRing(QPainter &painter, const QRectF &bounds, qreal radius)
{
    // Keyboard users need to see where they are; the brand colour, half strength.
    QColor ring = VelmoraTheme::primary();
    ring.setAlphaF(0.55f);
    painter.save();
    painter.setOpacity(1.0);
    painter.setPen(QPen(ring, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(bounds.adjusted(1, 1, -1, -1), qMax<qreal>(0, radius - 1), qMax<qreal>(0, radius - 1));
    painter.restore();
}

void VelmoraButton::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        // A button that is disabled mid-press rests at once.
        m_pressAnimation.stop();
        m_press = 0;
    }
    QAbstractButton::changeEvent(event);
}

void VelmoraButton::showEvent(QShowEvent *event)
{
    m_spinner->setRunning(m_busy);
    QAbstractButton::showEvent(event);
}

void VelmoraButton::hideEvent(QHideEvent *event)
{
    m_spinner->setRunning(false);
    QAbstractButton::hideEvent(event);
}

PlainButton::PlainButton(const QString &text, const QFont &font, VelmoraTheme::Color color, QWidget *parent)
    : QAbstractButton(parent), m_font(font), m_color(color)
{
    setText(text);
    setFont(font);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(&Appearance::instance(), &Appearance::changed, this, qOverload<>(&QWidget::update));
}

void PlainButton::setSymbol(std::optional<Symbol> symbol)
{
    m_symbol = symbol;
    updateGeometry();
    update();
}

int PlainButton::symbolSide() const
{
    // About the height of the text's capitals plus its descent, like a symbol set inline with text.
    return qRound(QFontMetricsF(m_font).height() * 0.85);
}

QSize PlainButton::sizeHint() const
{
    const QFontMetrics fm(m_font);
    const int side = m_symbol ? symbolSide() : 0;
    const int width = fm.horizontalAdvance(text()) + (m_symbol ? side + 4 : 0);
    return {width + 2, qMax(fm.height(), side) + 2};
}

void PlainButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // Plain buttons dim while pressed, and more so when they cannot be used.
    p.setOpacity(!isEnabled() ? 0.45 : (isDown() ? 0.6 : 1.0));
    const QColor c = VelmoraTheme::color(m_color);
    const QFontMetrics fm(m_font);
    qreal x = 1;
    if (m_symbol) {
        const int side = symbolSide();
        p.drawPixmap(QPointF(x, (height() - side) / 2.0), Symbols::pixmap(*m_symbol, QSize(side, side), c, devicePixelRatioF()));
        x += side + 4;
    }
    p.setPen(c);
    p.setFont(m_font);
    p.drawText(QRectF(x, 0, width() - x, height()), Qt::AlignVCenter | Qt::AlignLeft, text());
    if (hasFocus() && m_keyboardFocus)
        paintFocusRing(p, rect(), 3);
}

} // namespace Starvane

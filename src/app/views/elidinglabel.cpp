// SPDX-License-Identifier: GPL-3.0-or-later
#include "elidinglabel.h"

#include <QPainter>
#include <QTextLayout>

namespace Starvane {

namespace {
// Before the first layout pass the label does not know its width; cards are never wider than this.
constexpr int kNaturalWidthCap = 380;
} // namespace

ElidingLabel::ElidingLabel(const QFont &font, VelmoraTheme::Color color, int maxLines, QWidget *parent)
    : QWidget(parent), m_color(color), m_maxLines(maxLines)
{
    setFont(font);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    connect(&Appearance::instance(), &Appearance::changed, this, qOverload<>(&QWidget::update));
}

void ElidingLabel::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    // Screen readers get the whole text, also where the eye sees it cut.
    setAccessibleName(text);
    updateGeometry();
    update();
}

ElidingLabel::Lines ElidingLabel::layoutFor(int width) const
{
    Lines result;
    if (m_text.isEmpty() || width <= 0)
        return result;
    const QFontMetricsF fm(font());
    // A line break in the text (a credit of several lines) starts a new line; QTextLayout breaks only at
    // the Unicode line separator. Same length, so positions stay those of m_text.
    QString text = m_text;
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(text, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    while (true) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        if (m_maxLines > 0 && result.lines.size() == m_maxLines - 1) {
            // The last line we may show: whatever remains goes into it, cut with an ellipsis if needed.
            const QString rest = m_text.mid(line.textStart()).simplified();
            const QString cut = fm.elidedText(rest, Qt::ElideRight, width);
            result.elided = cut != rest;
            result.lines << cut;
            break;
        }
        result.lines << m_text.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return result;
}

int ElidingLabel::heightForWidth(int width) const
{
    const int lines = int(layoutFor(width).lines.size());
    return int(std::ceil(lines * QFontMetricsF(font()).lineSpacing()));
}

QSize ElidingLabel::sizeHint() const
{
    const int natural = int(std::ceil(QFontMetricsF(font()).horizontalAdvance(m_text)));
    // The width the text wants, not the width it has now: a label squeezed once by a first layout pass
    // would otherwise keep asking for that narrow width and wrap a word per line.
    const int w = qMin(natural, kNaturalWidthCap);
    return {w, heightForWidth(w > 0 ? w : kNaturalWidthCap)};
}

QSize ElidingLabel::minimumSizeHint() const
{
    return {0, heightForWidth(width() > 0 ? width() : kNaturalWidthCap)};
}

void ElidingLabel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setFont(font());
    p.setPen(VelmoraTheme::color(m_color));
    // Each line reads in its own direction: an English title stays "… displays." in a mirrored window.
    p.setLayoutDirection(Qt::LayoutDirectionAuto);
    const QFontMetricsF fm(font());
    qreal y = fm.ascent();
    const Lines shown = layoutFor(width());
    for (const QString &line : shown.lines) {
        // Lines start at the leading edge: the right one in a right-to-left layout.
        const qreal x = isRightToLeft() ? width() - fm.horizontalAdvance(line) : 0;
        p.drawText(QPointF(x, y), line);
        y += fm.lineSpacing();
    }
}

} // namespace Starvane

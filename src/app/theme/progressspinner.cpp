// SPDX-License-Identifier: GPL-3.0-or-later
#include "progressspinner.h"

#include "velmoratheme.h"

#include <QPainter>
#include <QtMath>

namespace Starvane {

namespace {
constexpr int kSpokes = 12;
constexpr int kStepMs = 80; // about one turn a second
} // namespace

void paintSpinner(QPainter &painter, const QRectF &rect, const QColor &color, int step)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = qMin(rect.width(), rect.height());
    const qreal outer = side / 2;
    const qreal inner = outer * 0.5;
    const qreal width = qMax<qreal>(1.5, side * 0.09);
    painter.translate(rect.center());
    for (int i = 0; i < kSpokes; ++i) {
        // Spokes fade behind the leading one, which moves clockwise.
        const int age = (step - i + kSpokes) % kSpokes;
        QColor c = color;
        c.setAlphaF(float(1.0 - 0.75 * age / (kSpokes - 1)));
        painter.setPen(QPen(c, width, Qt::SolidLine, Qt::RoundCap));
        const qreal angle = qDegreesToRadians(i * 360.0 / kSpokes - 90.0);
        const QPointF dir(qCos(angle), qSin(angle));
        painter.drawLine(dir * inner, dir * (outer - width / 2));
    }
    painter.restore();
}

SpinnerClock::SpinnerClock(QWidget *owner) : QObject(owner)
{
    m_timer.setInterval(kStepMs);
    connect(&m_timer, &QTimer::timeout, this, [this, owner] {
        m_step = (m_step + 1) % kSpokes;
        owner->update();
    });
}

void SpinnerClock::setRunning(bool running)
{
    if (running && !m_timer.isActive())
        m_timer.start();
    else if (!running)
        m_timer.stop();
}

ProgressSpinner::ProgressSpinner(Size size, std::function<QColor()> color, QWidget *parent)
    : QWidget(parent), m_color(std::move(color)), m_clock(new SpinnerClock(this))
{
    setFixedSize(int(size), int(size));
}

void ProgressSpinner::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    paintSpinner(p, QRectF(rect()).adjusted(1, 1, -1, -1), m_color(), m_clock->step());
}

void ProgressSpinner::showEvent(QShowEvent *)
{
    m_clock->setRunning(true);
}

void ProgressSpinner::hideEvent(QHideEvent *)
{
    m_clock->setRunning(false);
}

} // namespace Starvane

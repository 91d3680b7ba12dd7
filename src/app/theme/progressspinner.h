// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>
#include <functional>

class QPainter;

namespace Starvane {

/// Draws one frame of the indeterminate spinner (twelve spokes, the brightest at `step`).
void paintSpinner(QPainter &painter, const QRectF &rect, const QColor &color, int step);

/// Steps a spinner animation while its owner is visible; `onStep` repaints.
class SpinnerClock : public QObject
{
    Q_OBJECT

public:
    explicit SpinnerClock(QWidget *owner);
    void setRunning(bool running);
    int step() const { return m_step; }

private:
    QTimer m_timer;
    int m_step = 0;
};

/// An indeterminate circular progress indicator: small (16) or regular (32).
class ProgressSpinner : public QWidget
{
    Q_OBJECT

public:
    enum class Size { small = 16, regular = 32 };
    ProgressSpinner(Size size, std::function<QColor()> color, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    std::function<QColor()> m_color;
    SpinnerClock *m_clock;
};

} // namespace Starvane

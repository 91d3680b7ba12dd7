// SPDX-License-Identifier: GPL-3.0-or-later
#include "cardparts.h"

#include <QGuiApplication>
#include <QStyle>

#include <QPainter>

namespace Starvane {

QLabel *makeLabel(const QString &text, const QFont &font, VelmoraTheme::Color color, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    // A label's text keeps its own reading direction, which would leave a Latin title at the left edge of
    // a mirrored window: anchor it to the edge the layout reads from.
    label->setAlignment(QStyle::visualAlignment(QGuiApplication::layoutDirection(), Qt::AlignLeft | Qt::AlignVCenter));
    label->setFont(font);
    VelmoraTheme::bindTextColor(label, color);
    return label;
}

Hairline::Hairline(QWidget *parent) : QWidget(parent)
{
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(&Appearance::instance(), &Appearance::changed, this, qOverload<>(&QWidget::update));
}

void Hairline::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), VelmoraTheme::border());
}

} // namespace Starvane

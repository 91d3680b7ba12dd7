// SPDX-License-Identifier: GPL-3.0-or-later
// Small pieces both cards are built from.
#pragma once

#include "velmoratheme.h"

#include <QLabel>
#include <QWidget>

namespace Starvane {

/// A label in the given font whose colour follows the appearance.
QLabel *makeLabel(const QString &text, const QFont &font, VelmoraTheme::Color color, QWidget *parent);

/// A one-pixel horizontal line in the border colour.
class Hairline : public QWidget
{
public:
    explicit Hairline(QWidget *parent);

protected:
    void paintEvent(QPaintEvent *) override;
};

} // namespace Starvane

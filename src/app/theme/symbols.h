// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QWidget>

namespace Starvane {

/// The small pictograms of the interface. Each is drawn from the user's icon theme when the theme
/// has a fitting symbolic icon, otherwise from our own SVG, and always tinted in one colour.
enum class Symbol {
    sparkles,
    arrowTriangle2Circlepath,
    pauseFill,
    playFill,
    exclamationmarkTriangleFill,
    folder,
    arrowUpRight,
};

namespace Symbols {
/// The freedesktop icon name that stands in for `symbol`, or an empty string when none fits.
QString themeIconName(Symbol symbol);
/// Resource path of our own drawing.
QString resourcePath(Symbol symbol);
/// `symbol` at `size` device-independent pixels, filled with `color`, for a screen of `devicePixelRatio`.
QPixmap pixmap(Symbol symbol, QSize size, const QColor &color, qreal devicePixelRatio);
/// Side of the square a symbol takes next to text of this pixel size.
int sizeForFont(double fontPixels);
} // namespace Symbols

/// A symbol as a widget, repainted in its theme colour when the appearance changes.
class SymbolView : public QWidget
{
    Q_OBJECT

public:
    SymbolView(Symbol symbol, int side, std::function<QColor()> color, QWidget *parent = nullptr);
    void setSymbol(Symbol symbol);
    Symbol symbol() const { return m_symbol; }
    QSize sizeHint() const override { return {m_side, m_side}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Symbol m_symbol;
    int m_side;
    std::function<QColor()> m_color;
};

} // namespace Starvane

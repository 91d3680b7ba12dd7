// SPDX-License-Identifier: GPL-3.0-or-later
#include "symbols.h"

#include "velmoratheme.h"

#include <QIcon>
#include <QPainter>
#include <QSvgRenderer>
#include <cmath>

static void initSymbolResources()
{
    // The resource lives in a static library; make sure it is linked in and registered.
    Q_INIT_RESOURCE(symbols);
}

namespace Starvane {

namespace Symbols {

QString themeIconName(Symbol symbol)
{
    switch (symbol) {
    case Symbol::arrowTriangle2Circlepath:
        return QStringLiteral("view-refresh-symbolic");
    case Symbol::pauseFill:
        return QStringLiteral("media-playback-pause-symbolic");
    case Symbol::playFill:
        return QStringLiteral("media-playback-start-symbolic");
    case Symbol::exclamationmarkTriangleFill:
        return QStringLiteral("dialog-warning-symbolic");
    case Symbol::folder:
        return QStringLiteral("folder-symbolic");
    case Symbol::sparkles:
    case Symbol::arrowUpRight:
        break; // no standard name means "sparkles" or "opens elsewhere"
    }
    return {};
}

QString resourcePath(Symbol symbol)
{
    static const char *const names[] = {
        "sparkles", "arrow.triangle.2.circlepath", "pause.fill", "play.fill", "exclamationmark.triangle.fill",
        "folder",   "arrow.up.right",
    };
    return QStringLiteral(":/starvane/symbols/%1.svg").arg(QLatin1String(names[int(symbol)]));
}

int sizeForFont(double fontPixels)
{
    return int(std::lround(fontPixels * 1.05));
}

QPixmap pixmap(Symbol symbol, QSize size, const QColor &color, qreal devicePixelRatio)
{
    static const bool resources = (initSymbolResources(), true);
    Q_UNUSED(resources);

    const QSize pixels = (QSizeF(size) * devicePixelRatio).toSize();
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        const QString name = themeIconName(symbol);
        if (!name.isEmpty() && QIcon::hasThemeIcon(name)) {
            QIcon::fromTheme(name).paint(&p, QRect(QPoint(), pixels));
        } else {
            QSvgRenderer renderer(resourcePath(symbol));
            renderer.render(&p, QRectF(QPointF(), QSizeF(pixels)));
        }
        // Keep the shape, replace its colour: theme icons and our drawings then read the same.
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(image.rect(), color);
    }
    QPixmap result = QPixmap::fromImage(image);
    result.setDevicePixelRatio(devicePixelRatio);
    return result;
}

} // namespace Symbols

SymbolView::SymbolView(Symbol symbol, int side, std::function<QColor()> color, QWidget *parent)
    : QWidget(parent), m_symbol(symbol), m_side(side), m_color(std::move(color))
{
    setFixedSize(side, side);
    setAttribute(Qt::WA_TranslucentBackground);
    connect(&Appearance::instance(), &Appearance::changed, this, qOverload<>(&QWidget::update));
}

void SymbolView::setSymbol(Symbol symbol)
{
    if (symbol == m_symbol)
        return;
    m_symbol = symbol;
    update();
}

void SymbolView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawPixmap(0, 0, Symbols::pixmap(m_symbol, size(), m_color(), devicePixelRatioF()));
}

} // namespace Starvane

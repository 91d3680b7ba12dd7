// SPDX-License-Identifier: GPL-3.0-or-later
#include "errorbanner.h"

#include "buttonstyles.h"
#include "elidinglabel.h"
#include "symbols.h"
#include "velmoratheme.h"

#include <QHBoxLayout>
#include <QPainter>

namespace Starvane {

ErrorBanner::ErrorBanner(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("errorBanner"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(12, 9, 12, 9);
    row->setSpacing(8);
    row->addWidget(new SymbolView(Symbol::exclamationmarkTriangleFill, Symbols::sizeForFont(12),
                                  VelmoraTheme::destructive, this),
                   0, Qt::AlignVCenter);
    m_message = new ElidingLabel(VelmoraTheme::systemFont(11.5), VelmoraTheme::Color::foreground, 2, this);
    m_message->setObjectName(QStringLiteral("errorMessage"));
    row->addWidget(m_message, 1, Qt::AlignVCenter);
    row->addSpacing(4);
    m_retry = new PlainButton(tr("Retry"), VelmoraTheme::systemFont(11.5, QFont::DemiBold),
                              VelmoraTheme::Color::link, this);
    m_retry->setObjectName(QStringLiteral("retry"));
    m_retry->setAccessibleDescription(tr("Try to fetch a new wallpaper again"));
    row->addWidget(m_retry, 0, Qt::AlignVCenter);
    connect(m_retry, &QAbstractButton::clicked, this, &ErrorBanner::retryRequested);
    connect(&Appearance::instance(), &Appearance::changed, this, qOverload<>(&QWidget::update));
}

void ErrorBanner::setMessage(const QString &message)
{
    m_message->setText(message);
}

void ErrorBanner::paintEvent(QPaintEvent *)
{
    using namespace VelmoraTheme;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    p.setPen(Qt::NoPen);
    p.setBrush(destructiveSurface());
    p.drawRoundedRect(bounds, 7, 7);
    QColor edge = destructive();
    edge.setAlphaF(0.28f);
    p.setPen(QPen(edge, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5), 6.5, 6.5);
}

} // namespace Starvane

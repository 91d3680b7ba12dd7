// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "velmoratheme.h"

#include <QStringList>
#include <QWidget>

namespace Starvane {

/// Wrapped text cut to a number of lines, the last visible line ending in "…" when more text
/// follows. Its height follows its width, so it sits in fixed-width layouts.
class ElidingLabel : public QWidget
{
    Q_OBJECT

public:
    /// `maxLines` 0 means no limit.
    ElidingLabel(const QFont &font, VelmoraTheme::Color color, int maxLines, QWidget *parent = nullptr);

    void setText(const QString &text);
    QString text() const { return m_text; }
    int maxLines() const { return m_maxLines; }

    /// The lines as drawn at the current width.
    QStringList visibleLines() const { return layoutFor(width()).lines; }
    /// Whether text was cut at the current width.
    bool isElided() const { return layoutFor(width()).elided; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct Lines
    {
        QStringList lines;
        bool elided = false;
    };
    Lines layoutFor(int width) const;

    QString m_text;
    VelmoraTheme::Color m_color;
    int m_maxLines;
};

} // namespace Starvane

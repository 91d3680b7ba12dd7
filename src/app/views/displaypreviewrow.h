// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/wallpaperstore.h"

#include <QHash>
#include <QImage>
#include <QWidget>

class QHBoxLayout;
class QLabel;
class QToolButton;

namespace Starvane {

/// In "each display" mode: one small preview per display, named by the display; choosing one shows the
/// title and credit of that display's picture.
class DisplayPreviewRow : public QWidget
{
    Q_OBJECT
public:
    explicit DisplayPreviewRow(QWidget *parent = nullptr);

    /// The displays to show, primary first; the row hides itself when there is none.
    void setDisplays(const QList<DisplayState> &states);
    /// Key of the display whose picture the caption describes.
    QString selectedKey() const { return m_selected; }
    QLabel *caption() const { return m_caption; }
    QList<QToolButton *> buttons() const { return m_buttons; }

    /// Size of one preview.
    static constexpr QSize thumbnailSize{88, 50};

Q_SIGNALS:
    /// The person chose another display's preview.
    void selectedKeyChanged(const QString &key);

private:
    void select(const QString &key);
    void showThumbnail(QToolButton *button, const QString &path);
    static void paintName(QToolButton *button);

    QHBoxLayout *m_row;
    QLabel *m_caption;
    QList<QToolButton *> m_buttons;
    QList<DisplayState> m_states;
    QString m_selected;
    // Decoded once per file: the row is rebuilt whenever a display changes.
    QHash<QString, QImage> m_thumbnails;
};

} // namespace Starvane

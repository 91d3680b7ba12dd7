// SPDX-License-Identifier: GPL-3.0-or-later
#include "displaypreviewrow.h"

#include "cardparts.h"
#include "previewimage.h"

#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtConcurrent>

namespace Starvane {

namespace {
/// The picture fitted into the preview box, letterboxed, so every display's preview has the same size.
QImage boxed(const QImage &image)
{
    QImage box(DisplayPreviewRow::thumbnailSize, QImage::Format_ARGB32_Premultiplied);
    box.fill(Qt::transparent);
    if (image.isNull()) return box;
    const QImage fitted = image.scaled(box.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPainter p(&box);
    p.drawImage((box.width() - fitted.width()) / 2, (box.height() - fitted.height()) / 2, fitted);
    return box;
}
} // namespace

DisplayPreviewRow::DisplayPreviewRow(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("displayPreviewRow"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    m_row = new QHBoxLayout;
    m_row->setContentsMargins(0, 0, 0, 0);
    m_row->setSpacing(6);
    column->addLayout(m_row);
    m_caption = makeLabel({}, VelmoraTheme::systemFont(11), VelmoraTheme::Color::mutedForeground, this);
    m_caption->setObjectName(QStringLiteral("displayCaption"));
    m_caption->setWordWrap(true);
    column->addWidget(m_caption);
    setVisible(false);
    // The names under the previews follow the light or dark appearance like every other text.
    VelmoraTheme::whenAppearanceChanges(this, [this] {
        for (QToolButton *button : std::as_const(m_buttons))
            paintName(button);
    });
}

void DisplayPreviewRow::paintName(QToolButton *button)
{
    QPalette p = button->palette();
    p.setColor(QPalette::ButtonText, VelmoraTheme::foreground());
    p.setColor(QPalette::Button, VelmoraTheme::secondary());
    p.setColor(QPalette::Window, VelmoraTheme::background());
    button->setPalette(p);
}

void DisplayPreviewRow::setDisplays(const QList<DisplayState> &states)
{
    m_states = states;
    qDeleteAll(m_buttons);
    m_buttons.clear();
    while (QLayoutItem *item = m_row->takeAt(0))
        delete item;
    for (const DisplayState &state : states) {
        auto *button = new QToolButton(this);
        button->setObjectName(QStringLiteral("displayPreview"));
        button->setCheckable(true);
        button->setAutoExclusive(true);
        button->setAutoRaise(true);
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setIconSize(thumbnailSize);
        button->setText(state.display.name);
        paintName(button);
        button->setProperty("displayKey", state.display.key);
        button->setAccessibleName(tr("Picture on display %1").arg(state.display.name));
        button->setAccessibleDescription(
            state.record
                ? tr("%1; choose to show its title and credit").arg(state.record->picture.image.title.trimmed())
                : tr("This display has no picture of its own yet"));
        showThumbnail(button, state.record ? state.record->picture.file.toLocalFile() : QString());
        connect(button, &QToolButton::clicked, this, [this, key = state.display.key] { select(key); });
        m_row->addWidget(button);
        m_buttons << button;
    }
    m_row->addStretch(1);
    const bool known =
        std::any_of(states.cbegin(), states.cend(), [&](const DisplayState &s) { return s.display.key == m_selected; });
    select(known ? m_selected : (states.isEmpty() ? QString() : states.first().display.key));
    setVisible(!states.isEmpty());
}

void DisplayPreviewRow::select(const QString &key)
{
    if (m_selected != key) {
        m_selected = key;
        Q_EMIT selectedKeyChanged(key);
    }
    m_caption->clear();
    for (qsizetype i = 0; i < m_states.size(); ++i) {
        const DisplayState &state = m_states[i];
        if (state.display.key != key) continue;
        m_buttons[i]->setChecked(true);
        // One run of text under the previews: a credit of several lines reads as one here (About This
        // Picture shows its lines).
        const QString credit =
            state.record ? state.record->picture.image.credit.split(QLatin1Char('\n'), Qt::SkipEmptyParts).join(u"; ")
                         : QString();
        //: A display's name, then the title and the credit of the picture it shows
        m_caption->setText(
            state.record
                ? tr("%1: %2 · %3").arg(state.display.name, state.record->picture.image.title.trimmed(), credit)
                : tr("%1: no picture yet").arg(state.display.name));
    }
}

void DisplayPreviewRow::showThumbnail(QToolButton *button, const QString &path)
{
    if (path.isEmpty() || m_thumbnails.contains(path)) {
        button->setIcon(QIcon(QPixmap::fromImage(boxed(m_thumbnails.value(path)))));
        return;
    }
    button->setIcon(QIcon(QPixmap::fromImage(boxed({}))));
    // Decoding happens off the main thread; the button may be gone by the time it is done.
    auto *watcher = new QFutureWatcher<QImage>(this);
    QPointer<QToolButton> target(button);
    connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher, target, path] {
        const QImage image = watcher->result();
        watcher->deleteLater();
        m_thumbnails.insert(path, image);
        if (target) target->setIcon(QIcon(QPixmap::fromImage(boxed(image))));
    });
    watcher->setFuture(QtConcurrent::run([path] { return loadPreviewImage(path); }));
}

} // namespace Starvane

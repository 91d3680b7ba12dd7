// SPDX-License-Identifier: GPL-3.0-or-later
#include "settingscard.h"

#include "buttonstyles.h"
#include "cardparts.h"
#include "elidinglabel.h"
#include "store/wallpaperstore.h"
#include "velmoratheme.h"

#include <QAbstractItemView>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace Starvane {

using VelmoraTheme::Color;

namespace {
constexpr int kPickerWidth = 152;
constexpr int kPickerHeight = 26;
constexpr qreal kCardRadius = 10;

// Title over subtitle on the left, the picker on the right.
QHBoxLayout *makeRow(const QString &title, const QString &subtitle, MenuPicker *picker, QWidget *parent,
                     QVBoxLayout **textColumn)
{
    auto *row = new QHBoxLayout;
    row->setContentsMargins(14, 12, 14, 12);
    row->setSpacing(8);
    auto *text = new QVBoxLayout;
    text->setSpacing(2);
    text->addWidget(makeLabel(title, VelmoraTheme::systemFont(13, QFont::Medium), Color::foreground, parent));
    // Subtitles wrap rather than run under the picker.
    auto *sub = new ElidingLabel(VelmoraTheme::systemFont(11.5), Color::mutedForeground, 0, parent);
    sub->setText(subtitle);
    text->addWidget(sub);
    row->addLayout(text, 1);
    row->addSpacing(12);
    row->addWidget(picker, 0, Qt::AlignVCenter);
    picker->setAccessibleName(title); // the label the picker would carry if it showed one
    picker->setAccessibleDescription(subtitle);
    if (textColumn)
        *textColumn = text;
    return row;
}
} // namespace

MenuPicker::MenuPicker(QWidget *parent) : QComboBox(parent)
{
    setFixedSize(kPickerWidth, kPickerHeight);
    setFont(VelmoraTheme::systemFont(13));
    setCursor(Qt::PointingHandCursor);
    VelmoraTheme::whenAppearanceChanges(this, [this] { applyPalette(); });
}

void MenuPicker::applyPalette()
{
    using namespace VelmoraTheme;
    QPalette p = palette();
    p.setColor(QPalette::Window, card());
    p.setColor(QPalette::Base, card());
    p.setColor(QPalette::Button, secondary());
    p.setColor(QPalette::Text, foreground());
    p.setColor(QPalette::WindowText, foreground());
    p.setColor(QPalette::ButtonText, foreground());
    p.setColor(QPalette::Highlight, primary());
    p.setColor(QPalette::HighlightedText, primaryForeground());
    setPalette(p);
    view()->setPalette(p);
    update();
}

QSize MenuPicker::sizeHint() const
{
    return {kPickerWidth, kPickerHeight};
}

void MenuPicker::paintEvent(QPaintEvent *)
{
    using namespace VelmoraTheme;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        p.setOpacity(0.55);
    const QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(controlBorder(), 1));
    p.setBrush(secondary());
    p.drawRoundedRect(bounds, 6, 6);

    // Up and down chevrons in the tint colour, the mark of a pop-up menu.
    // The chevrons sit at the trailing edge: the left one in a right-to-left layout.
    const qreal cx = isRightToLeft() ? bounds.left() + 13 : bounds.right() - 13;
    const qreal cy = bounds.center().y();
    QPen chevron(primary(), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(chevron);
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(cx - 3.2, cy - 1.8), QPointF(cx, cy - 5), QPointF(cx + 3.2, cy - 1.8)}));
    p.drawPolyline(QPolygonF({QPointF(cx - 3.2, cy + 1.8), QPointF(cx, cy + 5), QPointF(cx + 3.2, cy + 1.8)}));

    p.setPen(foreground());
    p.setFont(font());
    const QRectF textRect = isRightToLeft() ? bounds.adjusted(26, 0, -10, 0) : bounds.adjusted(10, 0, -26, 0);
    p.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
               fontMetrics().elidedText(currentText(), Qt::ElideRight, int(textRect.width())));
    if (hasFocus() && m_keyboardFocus)
        paintFocusRing(p, bounds, 6);
}

void MenuPicker::focusInEvent(QFocusEvent *event)
{
    m_keyboardFocus = isKeyboardFocusReason(event->reason());
    QComboBox::focusInEvent(event);
}

SettingsCard::SettingsCard(WallpaperStore &store, QWidget *parent) : QWidget(parent), m_store(store)
{
    m_frequency = new MenuPicker(this);
    m_frequency->setObjectName(QStringLiteral("frequencyPicker"));
    for (ChangeFrequency f : ChangeFrequencies::allCases())
        m_frequency->addItem(ChangeFrequencies::displayName(f), int(f));
    m_displayScope = new MenuPicker(this);
    m_displayScope->setObjectName(QStringLiteral("displayScopePicker"));
    for (DisplayScope s : DisplayScopes::allCases()) {
        m_displayScope->addItem(DisplayScopes::displayName(s), int(s));
        m_displayScope->setItemData(m_displayScope->count() - 1, DisplayScopes::description(s), Qt::ToolTipRole);
    }

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addLayout(makeRow(tr("Change wallpaper"), tr("How often to fetch a new Hubble image"),
                              m_frequency, this, nullptr));
    auto *separatorRow = new QHBoxLayout;
    separatorRow->setContentsMargins(14, 0, 14, 0);
    separatorRow->addWidget(new Hairline(this));
    column->addLayout(separatorRow);
    QVBoxLayout *displayText = nullptr;
    column->addLayout(makeRow(tr("Displays"), tr("Where the wallpaper is applied"),
                              m_displayScope, this, &displayText));

    // Desktops such as GNOME keep one picture for every display; say so rather than pretend.
    m_singlePictureNote = new ElidingLabel(VelmoraTheme::systemFont(11), Color::mutedForeground, 0, this);
    m_singlePictureNote->setText(tr("This desktop shows one picture on all displays."));
    m_singlePictureNote->setObjectName(QStringLiteral("singlePictureNote"));
    displayText->addWidget(m_singlePictureNote);

    // The pickers report user choices only (activated); the store decides what they do and the
    // pickers then show whatever the store holds.
    connect(m_frequency, &QComboBox::activated, this, [this](int index) {
        const auto chosen = ChangeFrequency(m_frequency->itemData(index).toInt());
        if (chosen != m_store.settings().frequency)
            m_store.updateFrequency(chosen);
        syncFromStore();
    });
    connect(m_displayScope, &QComboBox::activated, this, [this](int index) {
        const auto chosen = DisplayScope(m_displayScope->itemData(index).toInt());
        if (chosen != m_store.settings().displayScope)
            m_store.updateDisplayScope(chosen);
        syncFromStore();
    });
    connect(&m_store, &WallpaperStore::settingsChanged, this, &SettingsCard::syncFromStore);
    connect(&Appearance::instance(), &Appearance::changed, this, qOverload<>(&QWidget::update));
    syncFromStore();
}

void SettingsCard::syncFromStore()
{
    const AppSettings &s = m_store.settings();
    m_frequency->setCurrentIndex(m_frequency->findData(int(s.frequency)));
    m_displayScope->setCurrentIndex(m_displayScope->findData(int(s.displayScope)));
    // In "each display" mode such a desktop spans one combined picture: each display does get its own.
    m_singlePictureNote->setVisible(!m_store.supportsPerDisplayWallpaper() &&
                                    s.displayScope != DisplayScope::eachDisplay);
}

void SettingsCard::paintEvent(QPaintEvent *)
{
    using namespace VelmoraTheme;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), kCardRadius, kCardRadius);
    p.fillPath(shape, card());
    p.setPen(QPen(border(), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kCardRadius - 0.5, kCardRadius - 0.5);
}

} // namespace Starvane

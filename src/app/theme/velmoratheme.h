// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QFont>
#include <QObject>
#include <functional>
#include <optional>

class QWidget;

namespace Starvane {

class ColorSchemeProvider;

/// The program's palette. Eleven colours follow the system appearance, three are fixed; every
/// accessor resolves for the appearance in effect at the moment it is called, so widgets that read
/// the colours while painting switch as soon as the appearance does.
namespace VelmoraTheme {

enum class Color {
    background,
    card,
    foreground,
    primary,
    primaryDeep,
    primaryForeground,
    link,
    secondary,
    mutedForeground,
    accent,
    border,
    controlBorder,
    destructive,
    destructiveSurface,
};

struct AdaptiveColor
{
    QColor light;
    QColor dark;
};

/// Both values of a colour, exactly as drawn.
const AdaptiveColor &values(Color color);
/// The value for an explicit appearance.
QColor resolve(Color color, bool dark);
/// The value for the appearance in effect now.
QColor color(Color color);

inline QColor background() { return color(Color::background); }
inline QColor card() { return color(Color::card); }
inline QColor foreground() { return color(Color::foreground); }
inline QColor primary() { return color(Color::primary); }
inline QColor primaryDeep() { return color(Color::primaryDeep); }
inline QColor primaryForeground() { return color(Color::primaryForeground); }
inline QColor link() { return color(Color::link); }
inline QColor secondary() { return color(Color::secondary); }
inline QColor mutedForeground() { return color(Color::mutedForeground); }
inline QColor accent() { return color(Color::accent); }
inline QColor border() { return color(Color::border); }
inline QColor controlBorder() { return color(Color::controlBorder); }
inline QColor destructive() { return color(Color::destructive); }
inline QColor destructiveSurface() { return color(Color::destructiveSurface); }

/// Before the application object exists: keeps Qt from loading GTK 3 for its platform theme, which gives
/// Starvane nothing it uses (it draws its own palette and controls and asks the desktop for its colour
/// scheme itself). Unless the person chose a theme with QT_QPA_PLATFORMTHEME.
void skipToolkitPlatformTheme();
/// Once the application object exists: the desktop's own font family and size (GNOME's
/// org.gnome.desktop.interface font-name) as the application font, which the GTK theme would have given.
void useDesktopFont();

/// The system font at `pixels` device-independent pixels (our points), with the given weight.
QFont systemFont(double pixels, QFont::Weight weight = QFont::Normal);

/// Runs `apply` now and again whenever the appearance changes, for as long as `owner` lives.
void whenAppearanceChanges(QWidget *owner, std::function<void()> apply);

/// Gives a text widget a theme colour for its text that follows the appearance.
void bindTextColor(QWidget *widget, Color color);

} // namespace VelmoraTheme

/// The process-wide light/dark state the palette resolves against.
class Appearance : public QObject
{
    Q_OBJECT

public:
    static Appearance &instance();

    bool isDark() const;
    /// Follows this provider from now on (the first use installs the default one for the session bus).
    void setProvider(ColorSchemeProvider *provider);
    /// Forces one appearance (screenshots, tests); std::nullopt follows the system again.
    void setOverride(std::optional<bool> dark);

Q_SIGNALS:
    void changed(bool dark);

private:
    Appearance();
    void refresh();

    ColorSchemeProvider *m_provider = nullptr;
    std::optional<bool> m_override;
    bool m_dark = false;
};

} // namespace Starvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "velmoratheme.h"

#include "colorscheme.h"

#include <QApplication>
#include <QPalette>
#include <QPointer>
#include <QScreen>
#include <QWidget>

#include <gio/gio.h>

namespace Starvane {

namespace VelmoraTheme {

namespace {
QColor rgb(double r, double g, double b)
{
    return QColor::fromRgbF(float(r), float(g), float(b), 1.0f);
}

// The exact component values, not the rounded hex forms.
const AdaptiveColor kColors[] = {
    {rgb(0.984, 0.9681, 0.956), rgb(0.0706, 0.051, 0.0431)},       // background
    {rgb(0.9924, 0.9858, 0.9787), rgb(0.1097, 0.0863, 0.0784)},    // card
    {rgb(0.1098, 0.098, 0.0902), rgb(0.9608, 0.949, 0.9412)},      // foreground
    {rgb(0.5647, 0.3176, 0.196), rgb(0.5647, 0.3176, 0.196)},      // primary
    {rgb(0.4078, 0.2471, 0.1569), rgb(0.4078, 0.2471, 0.1569)},    // primaryDeep
    {rgb(0.9804, 0.9804, 0.9765), rgb(0.9804, 0.9804, 0.9765)},    // primaryForeground
    {rgb(0.5647, 0.3176, 0.196), rgb(0.8784, 0.5961, 0.4314)},     // link
    {rgb(0.9608, 0.949, 0.9412), rgb(0.1725, 0.1294, 0.1137)},     // secondary
    {rgb(0.4706, 0.4431, 0.4235), rgb(0.6589, 0.6353, 0.6195)},    // mutedForeground
    {rgb(0.9883, 0.9059, 0.8393), rgb(0.2902, 0.1804, 0.1294)},    // accent
    {rgb(0.906, 0.898, 0.8941), rgb(0.2235, 0.1725, 0.1529)},      // border
    {rgb(0.8784, 0.8667, 0.8588), rgb(0.2667, 0.2078, 0.1843)},    // controlBorder
    {rgb(0.8627, 0.149, 0.149), rgb(0.9725, 0.4431, 0.4431)},      // destructive
    {rgb(0.9961, 0.949, 0.949), rgb(0.2314, 0.0941, 0.0941)},      // destructiveSurface
};
} // namespace

const AdaptiveColor &values(Color color)
{
    return kColors[static_cast<int>(color)];
}

QColor resolve(Color color, bool dark)
{
    const AdaptiveColor &c = values(color);
    return dark ? c.dark : c.light;
}

QColor color(Color color)
{
    return resolve(color, Appearance::instance().isDark());
}

QFont systemFont(double pixels, QFont::Weight weight)
{
    QFont font = QApplication::font();
    const double rounded = std::round(pixels);
    if (std::abs(rounded - pixels) < 0.01) {
        font.setPixelSize(int(rounded));
    } else {
        // Pixel sizes are whole numbers; a point size converted through the screen's logical DPI
        // lands on the fractional pixel size we want.
        const QScreen *screen = QGuiApplication::primaryScreen();
        const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
        font.setPointSizeF(pixels * 72.0 / dpi);
    }
    font.setWeight(weight);
    return font;
}

void whenAppearanceChanges(QWidget *owner, std::function<void()> apply)
{
    apply();
    QObject::connect(&Appearance::instance(), &Appearance::changed, owner, [apply = std::move(apply)] { apply(); });
}

void bindTextColor(QWidget *widget, Color role)
{
    QPointer<QWidget> w(widget);
    whenAppearanceChanges(widget, [w, role] {
        if (!w)
            return;
        QPalette p = w->palette();
        const QColor c = color(role);
        p.setColor(QPalette::WindowText, c);
        p.setColor(QPalette::Text, c);
        p.setColor(QPalette::ButtonText, c);
        w->setPalette(p);
    });
}

} // namespace VelmoraTheme

Appearance &Appearance::instance()
{
    static Appearance *appearance = new Appearance;
    return *appearance;
}

Appearance::Appearance() = default;

bool Appearance::isDark() const
{
    if (m_override)
        return *m_override;
    if (!m_provider && qGuiApp) {
        // First use without an explicit provider: follow the user's session.
        const_cast<Appearance *>(this)->setProvider(new ColorSchemeProvider(qGuiApp));
    }
    return m_dark;
}

void Appearance::setProvider(ColorSchemeProvider *provider)
{
    if (m_provider)
        m_provider->disconnect(this);
    m_provider = provider;
    if (m_provider) {
        connect(m_provider, &ColorSchemeProvider::darkChanged, this, &Appearance::refresh);
        connect(m_provider, &QObject::destroyed, this, [this, provider] {
            if (m_provider == provider)
                m_provider = nullptr;
        });
    }
    refresh();
}

void Appearance::setOverride(std::optional<bool> dark)
{
    m_override = dark;
    refresh();
}

void Appearance::refresh()
{
    const bool dark = m_override ? *m_override : (m_provider && m_provider->isDark());
    if (dark == m_dark)
        return;
    m_dark = dark;
    Q_EMIT changed(dark);
}

namespace VelmoraTheme {

namespace {
// The desktops for which Qt chooses GTK 3's platform theme.
bool gtkDesktop(std::initializer_list<const char *> names)
{
    const QList<QByteArray> current = qgetenv("XDG_CURRENT_DESKTOP").toUpper().split(':');
    for (const char *name : names)
        if (current.contains(QByteArray(name))) return true;
    return false;
}
} // namespace

void skipToolkitPlatformTheme()
{
    // Inside GNOME the GTK 3 theme set up GTK with its styles and icon themes: about 60 MiB of the
    // 98 MiB Starvane took there when idle on Xwayland. Without desktop settings Qt uses its generic
    // theme; the font it would have taken comes from useDesktopFont. Other desktops keep their theme.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORMTHEME") &&
        gtkDesktop({"GNOME", "X-CINNAMON", "UNITY", "MATE", "XFCE", "LXDE"}))
        QGuiApplication::setDesktopSettingsAware(false);
}

void useDesktopFont()
{
    // The platform theme gave it; or the desktop keeps its font elsewhere than GNOME's setting, and the
    // generic font is the nearer guess.
    if (QGuiApplication::desktopSettingsAware() || !gtkDesktop({"GNOME", "UNITY"})) return;
    GSettingsSchemaSource *source = g_settings_schema_source_get_default();
    // A missing schema would abort the process in g_settings_new: look it up first.
    GSettingsSchema *schema =
        source ? g_settings_schema_source_lookup(source, "org.gnome.desktop.interface", TRUE) : nullptr;
    if (!schema) return;
    const bool hasKey = g_settings_schema_has_key(schema, "font-name");
    g_settings_schema_unref(schema);
    if (!hasKey) return;
    GSettings *settings = g_settings_new("org.gnome.desktop.interface");
    gchar *value = g_settings_get_string(settings, "font-name");
    const QString name = QString::fromUtf8(value).trimmed();
    g_free(value);
    g_object_unref(settings);
    // "Family Name 11": the size last, as GTK writes it. Our own texts set their size in pixels, so
    // the family is what matters; the size is kept for Qt's own widgets.
    const qsizetype space = name.lastIndexOf(QLatin1Char(' '));
    bool sized = false;
    const double points = space > 0 ? name.mid(space + 1).toDouble(&sized) : 0.0;
    const QString family = sized ? name.left(space) : name;
    if (family.isEmpty()) return;
    QFont font = QApplication::font();
    font.setFamilies({family});
    if (sized && points > 0) font.setPointSizeF(points);
    QApplication::setFont(font);
}

} // namespace VelmoraTheme

} // namespace Starvane

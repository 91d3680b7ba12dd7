// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <optional>

class QDBusVariant;
typedef struct _GSettings GSettings;

namespace Starvane {

/// Tells whether the desktop wants dark or light colours and notices when that changes.
/// Qt 6.4 has no colour-scheme API, so we ask, in order: the desktop portal's
/// org.freedesktop.appearance color-scheme, GNOME's org.gnome.desktop.interface color-scheme,
/// and finally the lightness of the application palette. The first one that states a
/// preference decides.
class ColorSchemeProvider : public QObject
{
    Q_OBJECT

public:
    enum class Source { portal, gsettings, palette };

    /// Uses the session bus and GNOME's interface settings.
    explicit ColorSchemeProvider(QObject *parent = nullptr);
    /// `gsettingsSchema` holds a `color-scheme` key like GNOME's; empty for none.
    ColorSchemeProvider(QDBusConnection bus, QString gsettingsSchema, QObject *parent = nullptr);
    ~ColorSchemeProvider() override;

    bool isDark() const { return m_dark; }
    /// Which source decided the current value.
    Source source() const { return m_source; }

    /// The portal's value (0 no preference, 1 dark, 2 light) from a Read reply or a
    /// SettingChanged signal, with any number of variant wrappings. Absent if it is none of those.
    static std::optional<uint> portalSchemeFromVariant(const QVariant &value);

Q_SIGNALS:
    void darkChanged(bool dark);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private Q_SLOTS:
    void onSettingChanged(const QString &ns, const QString &key, const QDBusVariant &value);

private:
    void subscribeToPortal();
    void readPortal();
    void readGSettings();
    void stopGSettingsMonitor();
    void evaluate();
    static void onGSettingsChanged(GSettings *settings, const char *key, void *self);

    QDBusConnection m_bus;
    QString m_gsettingsSchema;
    bool m_portalSubscribed = false;
    std::optional<uint> m_portalScheme;
    std::optional<QString> m_gsettingsScheme;
    GSettings *m_settings = nullptr;
    unsigned long m_changedHandler = 0;
    bool m_dark = false;
    Source m_source = Source::palette;
};

} // namespace Starvane

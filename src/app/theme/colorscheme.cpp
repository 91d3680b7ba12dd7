// SPDX-License-Identifier: GPL-3.0-or-later
#include "colorscheme.h"

#include "logging.h"

#include <QAbstractEventDispatcher>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusConnectionInterface>
#include <QDBusVariant>
#include <QEvent>
#include <QGuiApplication>
#include <QPalette>

#include <gio/gio.h>

namespace Starvane {

namespace {
const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kPortalInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kAppearanceNamespace = QStringLiteral("org.freedesktop.appearance");
const QString kColorSchemeKey = QStringLiteral("color-scheme");
const QString kGnomeSchema = QStringLiteral("org.gnome.desktop.interface");
// An activated portal can take seconds to come up.
constexpr int kPortalTimeoutMs = 5000;
constexpr char kColorSchemeKeyUtf8[] = "color-scheme";

QString readColorScheme(GSettings *settings)
{
    gchar *value = g_settings_get_string(settings, kColorSchemeKeyUtf8);
    const QString scheme = QString::fromUtf8(value);
    g_free(value);
    return scheme;
}
} // namespace

ColorSchemeProvider::ColorSchemeProvider(QObject *parent)
    : ColorSchemeProvider(QDBusConnection::sessionBus(), kGnomeSchema, parent)
{
}

ColorSchemeProvider::ColorSchemeProvider(QDBusConnection bus, QString gsettingsSchema, QObject *parent)
    : QObject(parent), m_bus(std::move(bus)), m_gsettingsSchema(std::move(gsettingsSchema))
{
    if (qGuiApp)
        qGuiApp->installEventFilter(this);

    if (m_bus.isConnected()) {
        // The portal may start after us (it is D-Bus activated); subscribe and read when it appears.
        auto *watcher = new QDBusServiceWatcher(kPortalService, m_bus, QDBusServiceWatcher::WatchForRegistration, this);
        connect(watcher, &QDBusServiceWatcher::serviceRegistered, this, [this] {
            subscribeToPortal();
            readPortal();
        });
        subscribeToPortal();
        // Asked without waiting: a portal that is slow or still being activated must not hold up the
        // start. GNOME's setting (read at once, below) or the palette stands in until it answers, and
        // the window is rarely shown before then.
        readPortal();
    }
    if (!m_portalScheme.value_or(0))
        readGSettings();
    evaluate();
}

ColorSchemeProvider::~ColorSchemeProvider()
{
    stopGSettingsMonitor();
}

std::optional<uint> ColorSchemeProvider::portalSchemeFromVariant(const QVariant &value)
{
    QVariant v = value;
    // Read wraps the value twice (v of v of u); SettingChanged and ReadOne once.
    for (int depth = 0; depth < 4 && v.userType() == qMetaTypeId<QDBusVariant>(); ++depth)
        v = qvariant_cast<QDBusVariant>(v).variant();
    if (v.userType() != QMetaType::UInt && v.userType() != QMetaType::Int)
        return std::nullopt;
    const uint scheme = v.toUInt();
    if (scheme > 2)
        return std::nullopt;
    return scheme;
}

void ColorSchemeProvider::subscribeToPortal()
{
    if (m_portalSubscribed)
        return;
    m_portalSubscribed =
        m_bus.connect(kPortalService, kPortalPath, kPortalInterface, QStringLiteral("SettingChanged"), this,
                      SLOT(onSettingChanged(QString, QString, QDBusVariant)));
}

void ColorSchemeProvider::readPortal()
{
    QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kPortalInterface,
                                                       QStringLiteral("Read"));
    call << kAppearanceNamespace << kColorSchemeKey;
    auto handle = [this](const QDBusMessage &reply) {
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            qCDebug(lcApp) << "Portal colour scheme unavailable:" << reply.errorMessage();
            return;
        }
        m_portalScheme = portalSchemeFromVariant(reply.arguments().constFirst());
        if (m_portalScheme.value_or(0) != 0)
            stopGSettingsMonitor(); // the portal speaks for the desktop now
        else
            readGSettings();
        evaluate();
    };
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kPortalTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, handle] {
        watcher->deleteLater();
        handle(watcher->reply());
    });
}

void ColorSchemeProvider::onSettingChanged(const QString &ns, const QString &key, const QDBusVariant &value)
{
    if (ns != kAppearanceNamespace || key != kColorSchemeKey)
        return;
    m_portalScheme = portalSchemeFromVariant(QVariant::fromValue(value));
    if (!m_portalScheme.value_or(0))
        readGSettings();
    evaluate();
}

void ColorSchemeProvider::readGSettings()
{
    if (m_settings || m_gsettingsSchema.isEmpty())
        return;
    // Look the schema up first: GIO aborts the whole process when asked to open one that is not installed.
    GSettingsSchemaSource *source = g_settings_schema_source_get_default();
    GSettingsSchema *schema =
        source ? g_settings_schema_source_lookup(source, m_gsettingsSchema.toUtf8().constData(), TRUE) : nullptr;
    if (!schema)
        return;
    if (g_settings_schema_has_key(schema, kColorSchemeKeyUtf8))
        m_settings = g_settings_new_full(schema, nullptr, nullptr);
    g_settings_schema_unref(schema);
    if (!m_settings)
        return;
    // GIO announces changes on the main thread's GLib context, which Qt's event loop runs on Linux
    // unless Qt was told not to (QT_NO_GLIB). Then we still read the value once.
    const QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher || !dispatcher->inherits("QEventDispatcherGlib"))
        qCInfo(lcApp) << "The event loop does not run GLib's: colour scheme changes in GSettings will not be followed";
    // Connected before reading: some settings backends only report keys that were read.
    m_changedHandler = g_signal_connect(m_settings, "changed::color-scheme", G_CALLBACK(onGSettingsChanged), this);
    m_gsettingsScheme = readColorScheme(m_settings);
}

void ColorSchemeProvider::onGSettingsChanged(GSettings *settings, const char *, void *self)
{
    auto *provider = static_cast<ColorSchemeProvider *>(self);
    provider->m_gsettingsScheme = readColorScheme(settings);
    provider->evaluate();
}

void ColorSchemeProvider::stopGSettingsMonitor()
{
    if (!m_settings)
        return;
    g_signal_handler_disconnect(m_settings, m_changedHandler);
    g_object_unref(m_settings);
    m_settings = nullptr;
    m_changedHandler = 0;
}

bool ColorSchemeProvider::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == qGuiApp &&
        (event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::ThemeChange))
        evaluate();
    return QObject::eventFilter(watched, event);
}

void ColorSchemeProvider::evaluate()
{
    bool dark = false;
    if (m_portalScheme.value_or(0) != 0) {
        dark = *m_portalScheme == 1;
        m_source = Source::portal;
    } else if (m_gsettingsScheme == QStringLiteral("prefer-dark") ||
               m_gsettingsScheme == QStringLiteral("prefer-light")) {
        dark = *m_gsettingsScheme == QStringLiteral("prefer-dark");
        m_source = Source::gsettings;
    } else {
        dark = qGuiApp && QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
        m_source = Source::palette;
    }
    if (dark == m_dark)
        return;
    m_dark = dark;
    Q_EMIT darkChanged(dark);
}

} // namespace Starvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "colorscheme.h"

#include "logging.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusConnectionInterface>
#include <QDBusVariant>
#include <QEvent>
#include <QGuiApplication>
#include <QPalette>
#include <QProcess>
#include <QRegularExpression>

namespace Starvane {

namespace {
const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kPortalInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kAppearanceNamespace = QStringLiteral("org.freedesktop.appearance");
const QString kColorSchemeKey = QStringLiteral("color-scheme");
const QString kGnomeSchema = QStringLiteral("org.gnome.desktop.interface");
constexpr int kPortalTimeoutMs = 1000;
constexpr int kProcessTimeoutMs = 2000;

// "'prefer-dark'" → "prefer-dark"; anything unquoted is passed through.
QString unquote(QString text)
{
    static const QRegularExpression quoted(QStringLiteral("'([^']*)'"));
    const auto m = quoted.match(text);
    return m.hasMatch() ? m.captured(1) : text.trimmed();
}
} // namespace

ColorSchemeProvider::ColorSchemeProvider(QObject *parent)
    : ColorSchemeProvider(QDBusConnection::sessionBus(), QStringLiteral("gsettings"), parent)
{
}

ColorSchemeProvider::ColorSchemeProvider(QDBusConnection bus, QString gsettingsProgram, QObject *parent)
    : QObject(parent), m_bus(std::move(bus)), m_gsettingsProgram(std::move(gsettingsProgram))
{
    if (qGuiApp)
        qGuiApp->installEventFilter(this);

    if (m_bus.isConnected()) {
        // The portal may start after us (it is D-Bus activated); subscribe and read when it appears.
        auto *watcher = new QDBusServiceWatcher(kPortalService, m_bus, QDBusServiceWatcher::WatchForRegistration, this);
        connect(watcher, &QDBusServiceWatcher::serviceRegistered, this, [this] {
            subscribeToPortal();
            readPortal(false);
        });
        const bool running = m_bus.interface() && m_bus.interface()->isServiceRegistered(kPortalService).value();
        subscribeToPortal();
        // A running portal answers in milliseconds; asking synchronously avoids a flash of the wrong
        // colours at start. One that is not running yet is asked asynchronously (activation is slow).
        readPortal(running);
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

void ColorSchemeProvider::readPortal(bool blocking)
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
    if (blocking) {
        handle(m_bus.call(call, QDBus::Block, kPortalTimeoutMs));
        return;
    }
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kPortalTimeoutMs * 5), this);
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
    if (m_gsettingsQueried)
        return;
    m_gsettingsQueried = true;
    // The command-line tool rather than GIO: asking GIO for a schema that is not installed aborts
    // the process, while the tool just fails.
    QProcess get;
    get.start(m_gsettingsProgram, {QStringLiteral("get"), kGnomeSchema, kColorSchemeKey});
    if (!get.waitForFinished(kProcessTimeoutMs) || get.exitStatus() != QProcess::NormalExit || get.exitCode() != 0) {
        get.kill();
        get.waitForFinished(100);
        return;
    }
    m_gsettingsScheme = unquote(QString::fromUtf8(get.readAllStandardOutput()));
    startGSettingsMonitor();
}

void ColorSchemeProvider::startGSettingsMonitor()
{
    if (m_monitor)
        return;
    m_monitor = new QProcess(this);
    connect(m_monitor, &QProcess::readyReadStandardOutput, this, [this] {
        while (m_monitor && m_monitor->canReadLine()) {
            // "color-scheme: 'prefer-dark'"
            const QString line = QString::fromUtf8(m_monitor->readLine());
            const qsizetype colon = line.indexOf(QLatin1Char(':'));
            if (colon < 0 || line.left(colon).trimmed() != kColorSchemeKey)
                continue;
            m_gsettingsScheme = unquote(line.mid(colon + 1));
            evaluate();
        }
    });
    m_monitor->start(m_gsettingsProgram, {QStringLiteral("monitor"), kGnomeSchema, kColorSchemeKey});
}

void ColorSchemeProvider::stopGSettingsMonitor()
{
    if (!m_monitor)
        return;
    m_monitor->disconnect(this);
    m_monitor->kill();
    m_monitor->waitForFinished(500);
    delete m_monitor;
    m_monitor = nullptr;
    m_gsettingsQueried = false;
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

// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/plasmabackend.h"

#include "desktop/dbuscall.h"
#include "desktop/desktoptool.h"
#include "desktop/linuxwallpaperapplier.h"
#include "logging.h"

#include <QDBusArgument>
#include <QDBusVariant>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QUrl>

namespace Starvane {

namespace {
const QString service = QStringLiteral("org.kde.plasmashell");
const QString objectPath = QStringLiteral("/PlasmaShell");
const QString interfaceName = QStringLiteral("org.kde.PlasmaShell");
const QString imagePlugin = QStringLiteral("org.kde.image");
const QString fillModeKey = QStringLiteral("FillMode");

QString pathFromImage(const QString &image)
{
    const QUrl url(image);
    if (url.isLocalFile()) return url.toLocalFile();
    if (url.scheme().isEmpty() && image.startsWith(QLatin1Char('/'))) return image;
    return {};
}
// The scripts live outside the coroutines: GCC 12 cannot compile a long QStringLiteral inside one.
QString screenGeometryScript()
{
    return QStringLiteral(
        "var r=[];for(var i=0;i<screenCount;++i){var g=screenGeometry(i);r.push([i,g.x,g.y,g.width,g.height]);}"
        "print(JSON.stringify(r));");
}

QString readScript(int screen)
{
    return QStringLiteral(
               "var d=desktopForScreen(%1);var r={plugin:'',image:'',fill:null};"
               "if(d){r.plugin=d.wallpaperPlugin;d.currentConfigGroup=['Wallpaper','org.kde.image','General'];"
               "r.image=String(d.readConfig('Image'));r.fill=d.readConfig('FillMode');}"
               "print(JSON.stringify(r));")
        .arg(screen);
}

QString writeScript(int screen, const QString &url, int fillMode)
{
    // The file name never becomes script text: it travels as a JSON string literal.
    return QStringLiteral(
               "var d=desktopForScreen(%1);if(!d)throw new Error('no desktop for screen %1');"
               "d.wallpaperPlugin='org.kde.image';d.currentConfigGroup=['Wallpaper','org.kde.image','General'];"
               "d.writeConfig('Image',%2);d.writeConfig('FillMode',%3);")
        // One pass: the URL's %-escapes must not be taken for placeholders.
        .arg(QString::number(screen), PlasmaBackend::scriptStringLiteral(url), QString::number(fillMode));
}
QString configTool()
{
    // Plasma 6 ships only the first, Plasma 5 only the second; both write the same file format.
    for (const char *name : {"kwriteconfig6", "kwriteconfig5"}) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!found.isEmpty()) return found;
    }
    return {};
}

/// The tool's arguments for each key, the picture before the plugin: should a later write fail, the
/// locker is not left switched to a plugin without our picture.
QList<QStringList> lockScreenWrites(const QString &url)
{
    const QStringList file{QStringLiteral("--file"), QStringLiteral("kscreenlockerrc")};
    const QStringList greeter{QStringLiteral("--group"), QStringLiteral("Greeter")};
    const QStringList image = greeter + QStringList{QStringLiteral("--group"), QStringLiteral("Wallpaper"),
                                                    QStringLiteral("--group"), imagePlugin,
                                                    QStringLiteral("--group"), QStringLiteral("General")};
    return {file + image + QStringList{QStringLiteral("--key"), QStringLiteral("Image"), url},
            file + image + QStringList{QStringLiteral("--key"), QStringLiteral("PreviewImage"), url},
            file + greeter + QStringList{QStringLiteral("--key"), QStringLiteral("WallpaperPlugin"), imagePlugin}};
}
} // namespace

PlasmaBackend::PlasmaBackend(QDBusConnection bus) : m_bus(std::move(bus)), m_toolTimeout(desktopToolTimeout) {}

bool PlasmaBackend::lockScreen() const
{
    return !configTool().isEmpty();
}

QCoro::Task<> PlasmaBackend::showLockScreenPicture(QString path)
{
    const QString tool = configTool();
    if (tool.isEmpty())
        throw DesktopBackendError(
            QStringLiteral("KDE's configuration tool (kwriteconfig6 or kwriteconfig5) is not installed"));
    const QString url = QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
    const QList<QStringList> writes = lockScreenWrites(url);
    for (const QStringList &arguments : writes)
        co_await runDesktopTool(tool, arguments, m_toolTimeout);
    qCDebug(lcDesktop).noquote() << "Plasma's lock screen shows" << url << "through" << tool;
}

QString PlasmaBackend::scriptStringLiteral(const QString &text)
{
    QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    QString literal = QString::fromUtf8(json.mid(1, json.size() - 2));
    // Valid JSON, but line terminators inside a string literal in older JavaScript engines.
    literal.replace(QChar(0x2028), QStringLiteral("\\u2028"));
    literal.replace(QChar(0x2029), QStringLiteral("\\u2029"));
    return literal;
}

QCoro::Task<bool> PlasmaBackend::hasWallpaperMethods()
{
    if (!m_hasWallpaperMethods) {
        const QDBusMessage reply = co_await callDesktopService(m_bus, service, objectPath,
                                                               QStringLiteral("org.freedesktop.DBus.Introspectable"),
                                                               QStringLiteral("Introspect"));
        if (reply.type() != QDBusMessage::ReplyMessage) co_return false; // not cached: the shell may be starting
        const QString xml = reply.arguments().value(0).toString();
        m_hasWallpaperMethods =
            xml.contains(QStringLiteral("name=\"setWallpaper\"")) && xml.contains(QStringLiteral("name=\"wallpaper\""));
    }
    co_return *m_hasWallpaperMethods;
}

QCoro::Task<QString> PlasmaBackend::evaluate(QString script, bool throwOnError)
{
    // Argument lists are built before any co_await: GCC 12 cannot keep a braced list inside one.
    const QVariantList arguments{script};
    if (throwOnError) {
        const QDBusMessage reply =
            co_await callDesktopServiceOrThrow(m_bus, service, objectPath, interfaceName,
                                               QStringLiteral("evaluateScript"), arguments, QStringLiteral("Plasma"));
        co_return reply.arguments().value(0).toString();
    }
    const QDBusMessage reply = co_await callDesktopService(m_bus, service, objectPath, interfaceName,
                                                           QStringLiteral("evaluateScript"), arguments);
    if (reply.type() != QDBusMessage::ReplyMessage) co_return QString();
    co_return reply.arguments().value(0).toString();
}

QCoro::Task<int> PlasmaBackend::plasmaScreen(DisplayTarget display, QList<DisplayTarget> allDisplays)
{
    const QString output = co_await evaluate(screenGeometryScript(), false);
    const QJsonArray screens = QJsonDocument::fromJson(output.trimmed().toUtf8()).array();
    for (const QJsonValue &entry : screens) {
        const QJsonArray s = entry.toArray();
        const QRect geometry(s.at(1).toInt(), s.at(2).toInt(), s.at(3).toInt(), s.at(4).toInt());
        if (geometry == display.geometry) co_return s.at(0).toInt();
    }
    // Plasma gives the primary display 0; keep our order for the rest when geometry says nothing.
    const qsizetype index = allDisplays.indexOf(display);
    co_return index < 0 ? 0 : int(index);
}

QCoro::Task<std::optional<DesktopPicture>> PlasmaBackend::shownPicture(DisplayTarget display)
{
    const int screen = co_await plasmaScreen(display, connectedDisplays());
    QString image;
    QVariantMap options;
    const bool plasma6 = co_await hasWallpaperMethods();
    if (plasma6) {
        const QVariantList arguments{uint(screen)};
        const QDBusMessage reply = co_await callDesktopService(m_bus, service, objectPath, interfaceName,
                                                               QStringLiteral("wallpaper"), arguments);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) co_return std::nullopt;
        QVariantMap config;
        reply.arguments().first().value<QDBusArgument>() >> config;
        const QString plugin = config.value(QStringLiteral("wallpaperPlugin"), imagePlugin).toString();
        if (plugin != imagePlugin) co_return std::nullopt;
        image = config.value(QStringLiteral("Image")).toString();
        if (config.contains(fillModeKey)) options.insert(fillModeKey, config.value(fillModeKey).toInt());
    } else {
        const QString script = readScript(screen);
        const QString output = co_await evaluate(script, false);
        const QJsonObject result = QJsonDocument::fromJson(output.trimmed().toUtf8()).object();
        if (result.value(QStringLiteral("plugin")).toString() != imagePlugin) co_return std::nullopt;
        image = result.value(QStringLiteral("image")).toString();
        if (result.value(QStringLiteral("fill")).isDouble())
            options.insert(fillModeKey, result.value(QStringLiteral("fill")).toInt());
    }
    const QString path = pathFromImage(image);
    if (path.isEmpty()) co_return std::nullopt;
    co_return DesktopPicture{path, options};
}

QCoro::Task<> PlasmaBackend::showPicture(DisplayTarget display, DesktopPicture picture,
                                         QList<DisplayTarget> allDisplays)
{
    const int screen = co_await plasmaScreen(display, allDisplays);
    const QString url = QUrl::fromLocalFile(picture.path).toString(QUrl::FullyEncoded);
    const int fillMode = picture.options.value(fillModeKey, fillAndCropMode).toInt();
    const bool plasma6 = co_await hasWallpaperMethods();
    if (plasma6) {
        const QVariantMap parameters{{QStringLiteral("Image"), url}, {fillModeKey, fillMode}};
        const QVariantList arguments{imagePlugin, parameters, uint(screen)};
        co_await callDesktopServiceOrThrow(m_bus, service, objectPath, interfaceName, QStringLiteral("setWallpaper"),
                                           arguments, QStringLiteral("Plasma"));
    } else {
        co_await evaluate(writeScript(screen, url, fillMode), true);
    }
    qCDebug(lcDesktop).noquote() << "Plasma screen" << screen << "shows" << url;
}

} // namespace Starvane

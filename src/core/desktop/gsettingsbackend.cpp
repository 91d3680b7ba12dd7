// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/gsettingsbackend.h"

#include "logging.h"

#include <QUrl>

#include <gio/gio.h>

namespace Starvane {

namespace {
constexpr auto fillAndCrop = "zoom";

struct SettingsHandle
{
    GSettings *settings = nullptr;
    GSettingsSchema *schema = nullptr;
    ~SettingsHandle()
    {
        if (settings) g_object_unref(settings);
        if (schema) g_settings_schema_unref(schema);
    }
};

GSettingsSchema *lookupSchema(const QString &id)
{
    GSettingsSchemaSource *source = g_settings_schema_source_get_default();
    if (!source) return nullptr;
    return g_settings_schema_source_lookup(source, id.toUtf8().constData(), TRUE);
}

bool hasKey(GSettingsSchema *schema, const QString &key)
{
    return !key.isEmpty() && g_settings_schema_has_key(schema, key.toUtf8().constData());
}

QString readString(GSettings *settings, const QString &key)
{
    gchar *value = g_settings_get_string(settings, key.toUtf8().constData());
    const QString result = QString::fromUtf8(value);
    g_free(value);
    return result;
}
} // namespace

GSettingsBackend::Flavor GSettingsBackend::gnome()
{
    return {QStringLiteral("GNOME"),
            QStringLiteral("org.gnome.desktop.background"),
            QStringLiteral("picture-uri"),
            QStringLiteral("picture-uri-dark"),
            true,
            QStringLiteral("picture-options"),
            QStringLiteral("org.gnome.desktop.screensaver")};
}

GSettingsBackend::Flavor GSettingsBackend::cinnamon()
{
    return {QStringLiteral("Cinnamon"),
            QStringLiteral("org.cinnamon.desktop.background"),
            QStringLiteral("picture-uri"),
            {},
            true,
            QStringLiteral("picture-options"),
            QString()};
}

GSettingsBackend::Flavor GSettingsBackend::mate()
{
    return {QStringLiteral("MATE"),
            QStringLiteral("org.mate.background"),
            QStringLiteral("picture-filename"),
            {},
            false,
            QStringLiteral("picture-options"),
            QString()};
}

bool GSettingsBackend::schemaInstalled(const QString &schema)
{
    GSettingsSchema *found = lookupSchema(schema);
    if (!found) return false;
    g_settings_schema_unref(found);
    return true;
}

QStringList GSettingsBackend::installedSchemas(const QStringList &wanted)
{
    QStringList result;
    for (const QString &schema : wanted) {
        if (schemaInstalled(schema)) result.append(schema);
    }
    return result;
}

GSettingsBackend::GSettingsBackend(Flavor flavor) : m_flavor(std::move(flavor)) {}

// GIO works in-process: dconf reads come from a memory-mapped file, and the one wait, g_settings_sync after a
// write, is dconf storing a few bytes. These stay plain calls inside the coroutines.
QCoro::Task<std::optional<DesktopPicture>> GSettingsBackend::shownPicture(DisplayTarget)
{
    co_return readPicture();
}

QCoro::Task<> GSettingsBackend::showPicture(DisplayTarget, DesktopPicture picture, QList<DisplayTarget>)
{
    writePicture(m_flavor, picture);
    co_return;
}

std::optional<DesktopPicture> GSettingsBackend::readPicture() const
{
    SettingsHandle h;
    h.schema = lookupSchema(m_flavor.schema);
    if (!h.schema || !hasKey(h.schema, m_flavor.pictureKey)) return std::nullopt;
    h.settings = g_settings_new_full(h.schema, nullptr, nullptr);
    const QString value = readString(h.settings, m_flavor.pictureKey);
    if (value.isEmpty()) return std::nullopt;
    QString path = value;
    if (m_flavor.storesURI) {
        const QUrl url(value);
        if (!url.isLocalFile()) return std::nullopt;
        path = url.toLocalFile();
    }
    DesktopPicture picture{path, {}};
    if (hasKey(h.schema, m_flavor.optionsKey))
        picture.options.insert(m_flavor.optionsKey, readString(h.settings, m_flavor.optionsKey));
    return picture;
}

bool GSettingsBackend::darkPicture() const
{
    GSettingsSchema *schema = lookupSchema(m_flavor.schema);
    if (!schema) return false;
    const bool has = hasKey(schema, m_flavor.darkPictureKey);
    g_settings_schema_unref(schema);
    return has;
}

bool GSettingsBackend::lockScreen() const
{
    return !m_flavor.lockScreenSchema.isEmpty() && schemaInstalled(m_flavor.lockScreenSchema);
}

QCoro::Task<> GSettingsBackend::showLockScreenPicture(QString path)
{
    Flavor lock = m_flavor;
    lock.schema = m_flavor.lockScreenSchema;
    lock.darkPictureKey.clear();
    writePicture(lock, DesktopPicture{path, {}});
    co_return;
}

void GSettingsBackend::writePicture(const Flavor &flavor, const DesktopPicture &picture)
{
    SettingsHandle h;
    h.schema = lookupSchema(flavor.schema);
    if (!h.schema || !hasKey(h.schema, flavor.pictureKey))
        throw DesktopBackendError(QStringLiteral("the settings schema %1 is not installed").arg(flavor.schema));
    h.settings = g_settings_new_full(h.schema, nullptr, nullptr);
    if (!g_settings_is_writable(h.settings, flavor.pictureKey.toUtf8().constData()))
        throw DesktopBackendError(
            QStringLiteral("the %1 background settings are locked and cannot be changed").arg(flavor.desktopName));

    const QString value =
        flavor.storesURI ? QUrl::fromLocalFile(picture.path).toString(QUrl::FullyEncoded) : picture.path;
    const QByteArray utf8 = value.toUtf8();
    const QString darkPath = picture.darkPath.isEmpty() ? picture.path : picture.darkPath;
    const QByteArray darkUtf8 =
        (flavor.storesURI ? QUrl::fromLocalFile(darkPath).toString(QUrl::FullyEncoded) : darkPath).toUtf8();
    // The person's own choice of scaling stays, unless it would hide the picture ("none") or stretch one
    // picture over every display ("spanned", which only "Each display" asks for, with its combined picture).
    QString options = picture.options.value(flavor.optionsKey).toString();
    if (options.isEmpty() && hasKey(h.schema, flavor.optionsKey)) {
        const QString current = readString(h.settings, flavor.optionsKey);
        options = current == u"none" || current == u"spanned" ? QString::fromLatin1(fillAndCrop) : current;
    }

    // Delay mode makes the keys change together: no moment where dark mode shows another picture.
    g_settings_delay(h.settings);
    bool ok = g_settings_set_string(h.settings, flavor.pictureKey.toUtf8().constData(), utf8.constData());
    if (ok && hasKey(h.schema, flavor.darkPictureKey))
        ok = g_settings_set_string(h.settings, flavor.darkPictureKey.toUtf8().constData(), darkUtf8.constData());
    if (ok && hasKey(h.schema, flavor.optionsKey)) {
        GSettingsSchemaKey *key = g_settings_schema_get_key(h.schema, flavor.optionsKey.toUtf8().constData());
        GVariant *wanted = g_variant_new_string(options.toUtf8().constData());
        g_variant_ref_sink(wanted);
        // Setting a value outside the enum would be a programming error that GLib reports loudly.
        if (g_settings_schema_key_range_check(key, wanted))
            ok = g_settings_set_value(h.settings, flavor.optionsKey.toUtf8().constData(), wanted);
        g_variant_unref(wanted);
        g_settings_schema_key_unref(key);
    }
    if (!ok) {
        g_settings_revert(h.settings);
        throw DesktopBackendError(
            QStringLiteral("the %1 background settings are locked and cannot be changed").arg(flavor.desktopName));
    }
    g_settings_apply(h.settings);
    g_settings_sync();
    qCDebug(lcDesktop).noquote() << "GSettings" << flavor.schema << flavor.pictureKey << "=" << value;
}

} // namespace Starvane

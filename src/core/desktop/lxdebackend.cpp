// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/lxdebackend.h"

#include "desktop/desktoptool.h"
#include "desktop/x11rootbackend.h"
#include "logging.h"

#include <QCoroTimer>
#include <QFile>
#include <QStandardPaths>

#include <glib.h>

namespace Starvane {

namespace {
// pcmanfm's own words for its scaling: "crop" fills each display and cuts the overflow evenly, as
// Starvane does everywhere; "screen" stretches one picture over all displays, for the combined one.
const QString crop = QStringLiteral("crop");
const QString acrossScreens = QStringLiteral("screen");

QString keyFileString(GKeyFile *file, const char *key)
{
    gchar *value = g_key_file_get_string(file, "*", key, nullptr);
    const QString text = value ? QFile::decodeName(value) : QString();
    g_free(value);
    return text;
}

bool pcmanfmDesktopIsDrawn()
{
    return probeX11Desktop().desktopWindowMapped;
}
} // namespace

LxdeBackend::LxdeBackend(QString program, QString configHome, std::function<bool()> desktopIsDrawn)
    : m_program(std::move(program)), m_configHome(std::move(configHome)),
      m_desktopIsDrawn(desktopIsDrawn ? std::move(desktopIsDrawn) : pcmanfmDesktopIsDrawn)
{
    if (m_configHome.isEmpty()) m_configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

LxdeBackend::Settings LxdeBackend::readSettings() const
{
    // An LXDE session runs the desktop with its "LXDE" profile; on its own pcmanfm uses "default". The
    // profile written last is the one the running desktop uses. The first display's file holds the
    // picture that pcmanfm shows on all of them.
    const QString folder = m_configHome + QStringLiteral("/pcmanfm/");
    const QString newest = newestSettingsFile({folder + QStringLiteral("LXDE/desktop-items-0.conf"),
                                               folder + QStringLiteral("default/desktop-items-0.conf")});
    if (newest.isEmpty()) return {};
    // A GLib key file, as pcmanfm writes it: its escapes and lists are GLib's, not QSettings'.
    GKeyFile *file = g_key_file_new();
    Settings settings;
    if (g_key_file_load_from_file(file, QFile::encodeName(newest).constData(), G_KEY_FILE_NONE, nullptr)) {
        settings.wallpaper = keyFileString(file, "wallpaper");
        settings.mode = keyFileString(file, "wallpaper_mode");
    }
    g_key_file_free(file);
    return settings;
}

QCoro::Task<std::optional<DesktopPicture>> LxdeBackend::shownPicture(DisplayTarget)
{
    const Settings settings = readSettings();
    if (settings.wallpaper.isEmpty()) co_return std::nullopt;
    QVariantMap options;
    options.insert(QStringLiteral("wallpaper_mode"), settings.mode);
    co_return DesktopPicture{settings.wallpaper, options};
}

QCoro::Task<> LxdeBackend::showPicture(DisplayTarget, DesktopPicture picture, QList<DisplayTarget>)
{
    // Without its desktop, pcmanfm would start as a file manager of its own and wait there for windows.
    if (!m_desktopIsDrawn())
        throw DesktopBackendError(
            QStringLiteral("pcmanfm is not drawing the desktop (it does with pcmanfm --desktop --profile LXDE)"));
    const QString mode = picture.spansDisplays() ? acrossScreens : crop;
    QStringList arguments;
    arguments << QStringLiteral("--set-wallpaper=") + picture.path << QStringLiteral("--wallpaper-mode=") + mode;
    co_await runDesktopTool(m_program, arguments);

    // The command line only hands the picture over; the running desktop stores it once it has taken it.
    for (int i = 0; i < 30; ++i) {
        const Settings settings = readSettings();
        if (settings.wallpaper == picture.path && settings.mode == mode) {
            qCDebug(lcDesktop).noquote() << "pcmanfm shows" << picture.path << "as" << mode;
            co_return;
        }
        co_await QCoro::sleepFor(std::chrono::milliseconds(100));
    }
    throw DesktopBackendError(QStringLiteral("pcmanfm did not take the picture"));
}

} // namespace Starvane

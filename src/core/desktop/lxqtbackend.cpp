// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/lxqtbackend.h"

#include "async/cancellation.h"
#include "desktop/desktoptool.h"
#include "desktop/x11rootbackend.h"
#include "integrity/jpegwriter.h"
#include "logging.h"

#include <QCoroTimer>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

namespace Starvane {

namespace {
// pcmanfm-qt 1.2 takes "stretch", "fit", "center" and "tile" from its command line but silently drops
// "zoom", and does not store the mode it was given. So it gets the picture already filled and cropped
// to the display, to stretch, and the mode is written to its settings for its next start.
const QString stretch = QStringLiteral("stretch");
} // namespace

LxqtBackend::LxqtBackend(QString program, QString configHome)
    : m_program(std::move(program)), m_configHome(std::move(configHome))
{
    if (m_configHome.isEmpty()) m_configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString LxqtBackend::settingsFile() const
{
    // An LXQt session runs the desktop with its "lxqt" profile; on its own pcmanfm-qt uses "default".
    // The profile written last is the one the running desktop uses.
    const QString folder = m_configHome + QStringLiteral("/pcmanfm-qt/");
    return newestSettingsFile(
        {folder + QStringLiteral("lxqt/settings.conf"), folder + QStringLiteral("default/settings.conf")});
}

QCoro::Task<std::optional<DesktopPicture>> LxqtBackend::shownPicture(DisplayTarget)
{
    const QString file = settingsFile();
    if (file.isEmpty()) co_return std::nullopt;
    const QSettings settings(file, QSettings::IniFormat);
    const QString shown = settings.value(QStringLiteral("Desktop/Wallpaper")).toString();
    if (shown.isEmpty()) co_return std::nullopt;
    co_return DesktopPicture{
        m_renderedFrom.value(shown, shown),
        {{QStringLiteral("WallpaperMode"), settings.value(QStringLiteral("Desktop/WallpaperMode"))}}};
}

QCoro::Task<> LxqtBackend::showPicture(DisplayTarget display, DesktopPicture picture, QList<DisplayTarget>)
{
    // Kept in a folder of our own under the picture's own name: pcmanfm-qt draws from it again at every
    // start, long after the cache may have let the picture itself go.
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/Starvane/lxqt");
    if (!QDir().mkpath(folder))
        throw DesktopBackendError(QStringLiteral("the folder %1 could not be created").arg(folder));
    const QString rendered = QDir(folder).filePath(QFileInfo(picture.path).fileName());
    const QString source = picture.path;
    auto render = [source, display, rendered]() -> QString {
        QString error;
        const QImage image = X11RootBackend::renderForDisplay(source, display, &error);
        if (image.isNull()) return error.isEmpty() ? QStringLiteral("the picture could not be read") : error;
        QSaveFile file(rendered);
        if (!file.open(QIODevice::WriteOnly) || !writeJpeg(image, &file, 92) || !file.commit())
            return file.errorString();
        return {};
    };
    const QString error = co_await runInBackground(std::move(render));
    if (!error.isEmpty())
        throw DesktopBackendError(QStringLiteral("the picture for LXQt could not be prepared (%1)").arg(error));

    QStringList arguments;
    arguments << QStringLiteral("--set-wallpaper") << rendered << QStringLiteral("--wallpaper-mode") << stretch;
    try {
        co_await runDesktopTool(m_program, arguments);
    } catch (const DesktopBackendError &) {
        if (!m_renderedFrom.contains(rendered)) QFile::remove(rendered);
        throw;
    }

    // The command line only hands the picture over; the running desktop stores it once it has taken it.
    // Without a desktop to take it, nothing changes on screen, and that must not count as success.
    QString file;
    for (int i = 0; i < 30; ++i) {
        file = settingsFile();
        if (!file.isEmpty() &&
            QSettings(file, QSettings::IniFormat).value(QStringLiteral("Desktop/Wallpaper")).toString() == rendered)
            break;
        file.clear();
        co_await QCoro::sleepFor(std::chrono::milliseconds(100));
    }
    if (file.isEmpty()) {
        if (!m_renderedFrom.contains(rendered)) QFile::remove(rendered);
        throw DesktopBackendError(
            QStringLiteral("pcmanfm-qt did not take the picture (is it drawing the desktop, pcmanfm-qt --desktop?)"));
    }
    {
        QSettings settings(file, QSettings::IniFormat);
        settings.setValue(QStringLiteral("Desktop/WallpaperMode"), stretch);
        settings.sync();
    }
    // The renderings of earlier pictures are no longer drawn from.
    for (auto it = m_renderedFrom.begin(); it != m_renderedFrom.end();) {
        if (it.key() != rendered) {
            QFile::remove(it.key());
            it = m_renderedFrom.erase(it);
        } else {
            ++it;
        }
    }
    m_renderedFrom.insert(rendered, source);
    qCDebug(lcDesktop).noquote() << "pcmanfm-qt shows" << rendered << "made from" << source;
}

} // namespace Starvane

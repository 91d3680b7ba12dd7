// SPDX-License-Identifier: GPL-3.0-or-later
#include "launchatlogin.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace Starvane::LaunchAtLogin {

QString entryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/starvane.desktop");
}

bool isEnabled()
{
    return QFileInfo::exists(entryPath());
}

bool setEnabled(bool enabled, QString *error)
{
    const QString path = entryPath();
    if (!enabled) {
        QFile file(path);
        if (file.exists() && !file.remove()) {
            *error = file.errorString();
            return false;
        }
        return true;
    }
    if (!QDir().mkpath(QFileInfo(path).path())) {
        *error = QStringLiteral("Could not create %1").arg(QFileInfo(path).path());
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    // --at-login: start quietly in the tray instead of opening the window over the new session.
    file.write("[Desktop Entry]\n"
               "Type=Application\n"
               "Name=Starvane\n"
               "Comment=Keeps your desktop supplied with photographs from the ESA/Hubble archive\n"
               "Exec=starvane --at-login\n"
               "Icon=com.quorvex.Starvane\n"
               "Terminal=false\n"
               "X-GNOME-Autostart-enabled=true\n");
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace Starvane::LaunchAtLogin

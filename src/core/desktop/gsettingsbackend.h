// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "desktop/desktopbackend.h"

#include <QStringList>

namespace Starvane {

/// Desktops that keep one picture in GSettings: GNOME (and Unity, Budgie, Pantheon), Cinnamon, MATE.
/// Talks to GIO in-process, so it works with whichever GSettings backend the session uses.
class GSettingsBackend : public DesktopBackend
{
public:
    struct Flavor
    {
        QString desktopName;
        QString schema;
        QString pictureKey;
        /// Written alongside when the installed schema has it (GNOME 42+ shows it in dark mode).
        QString darkPictureKey;
        /// True when the key holds a URI, false for a plain path (MATE).
        bool storesURI = true;
        QString optionsKey;
        /// The lock screen's own schema (same keys), where the desktop has one.
        QString lockScreenSchema;
    };

    static Flavor gnome();
    static Flavor cinnamon();
    static Flavor mate();

    /// Whether `schema` is installed. Opening a missing schema would abort the process.
    static bool schemaInstalled(const QString &schema);
    /// The installed schemas among `wanted`.
    static QStringList installedSchemas(const QStringList &wanted);

    explicit GSettingsBackend(Flavor flavor);

    QString desktopName() const override { return m_flavor.desktopName; }
    bool perDisplay() const override { return false; }
    QCoro::Task<std::optional<DesktopPicture>> shownPicture(DisplayTarget display) override;
    QCoro::Task<> showPicture(DisplayTarget display, DesktopPicture picture, QList<DisplayTarget> allDisplays) override;
    bool darkPicture() const override;
    bool lockScreen() const override;
    QCoro::Task<> showLockScreenPicture(QString path) override;

private:
    std::optional<DesktopPicture> readPicture() const;
    static void writePicture(const Flavor &flavor, const DesktopPicture &picture);

    Flavor m_flavor;
};

} // namespace Starvane

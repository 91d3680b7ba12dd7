// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "desktop/desktopbackend.h"

#include <QHash>

namespace Starvane {

/// LXQt, whose desktop pcmanfm-qt draws over the root window. Set through its own command line
/// (`pcmanfm-qt --set-wallpaper`), which hands the picture to the running desktop; read back from its
/// settings. One picture for every display.
class LxqtBackend : public DesktopBackend
{
public:
    /// `program`: the pcmanfm-qt to run; `configHome`: where its settings live (empty: the user's).
    explicit LxqtBackend(QString program = QStringLiteral("pcmanfm-qt"), QString configHome = {});

    QString desktopName() const override { return QStringLiteral("LXQt"); }
    bool perDisplay() const override { return false; }
    QCoro::Task<std::optional<DesktopPicture>> shownPicture(DisplayTarget display) override;
    QCoro::Task<> showPicture(DisplayTarget display, DesktopPicture picture, QList<DisplayTarget> allDisplays) override;

private:
    QString settingsFile() const;

    QString m_program;
    QString m_configHome;
    // What we handed pcmanfm-qt (our filled and cropped rendering) and the picture it was made from.
    QHash<QString, QString> m_renderedFrom;
};

} // namespace Starvane

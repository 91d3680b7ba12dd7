// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "desktop/desktopbackend.h"

#include <QHash>

namespace Starvane {

/// sway: `output "<name>" bg "<path>" fill` over its IPC socket. sway cannot tell which picture an
/// output shows, so we keep our own record of what we set.
class SwayBackend : public DesktopBackend
{
public:
    explicit SwayBackend(QString socketPath);

    QString desktopName() const override { return QStringLiteral("sway"); }
    bool perDisplay() const override { return true; }
    QCoro::Task<std::optional<DesktopPicture>> shownPicture(DisplayTarget display) override;
    QCoro::Task<> showPicture(DisplayTarget display, DesktopPicture picture, QList<DisplayTarget> allDisplays) override;

private:
    QString m_socketPath;
    QHash<QString, QString> m_shown;
};

} // namespace Starvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "identity.h"

#include <QGuiApplication>

namespace Starvane {

void applyApplicationIdentity(const QString &version)
{
    QCoreApplication::setApplicationName(QStringLiteral("Starvane"));
    QCoreApplication::setOrganizationName(QStringLiteral("Starvane"));
    QCoreApplication::setApplicationVersion(version);
    QGuiApplication::setDesktopFileName(kDesktopFileId);
}

} // namespace Starvane

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDir>
#include <QUrl>

namespace Starvane {

/// File locations are compared in this form: a local-file URL with `.` and `..` resolved.
inline QUrl standardizedFileURL(const QUrl &url)
{
    if (!url.isLocalFile())
        return url;
    return QUrl::fromLocalFile(QDir::cleanPath(url.toLocalFile()));
}

} // namespace Starvane

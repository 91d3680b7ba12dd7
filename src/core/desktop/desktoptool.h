// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoroTask>
#include <QString>
#include <QStringList>
#include <chrono>

namespace Starvane {

/// How long a desktop's own command-line tool may take for one call.
constexpr std::chrono::milliseconds desktopToolTimeout{5000};

/// Runs `program` with `arguments` (directly, no shell) and waits for it without blocking the event loop.
/// Throws DesktopBackendError when it cannot start, crashes or exits with an error, or is still running
/// after `timeout`: then it is killed, so that a hung tool cannot hold up the next apply.
QCoro::Task<> runDesktopTool(QString program, QStringList arguments,
                             std::chrono::milliseconds timeout = desktopToolTimeout);

/// Of the settings files a desktop program may have written (one per profile), the one written last, which
/// is the one its running instance uses; empty when there is none.
QString newestSettingsFile(const QStringList &candidates);

} // namespace Starvane

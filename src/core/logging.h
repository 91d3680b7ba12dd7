// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>

namespace Starvane {
Q_DECLARE_LOGGING_CATEGORY(lcStore)
Q_DECLARE_LOGGING_CATEGORY(lcArchive)
Q_DECLARE_LOGGING_CATEGORY(lcCache)
Q_DECLARE_LOGGING_CATEGORY(lcDesktop)
Q_DECLARE_LOGGING_CATEGORY(lcApp)
Q_DECLARE_LOGGING_CATEGORY(lcUpdate)
Q_DECLARE_LOGGING_CATEGORY(lcTasks)

/// Sends log records to the systemd journal (with their category) when stderr is not a terminal
/// and a journal is listening; otherwise leaves Qt's stderr output alone.
void installLogHandler();

/// The datagram of the journal's native protocol for one record (exposed for tests).
QByteArray journalRecord(QtMsgType type, const char *category, const QString &message);
} // namespace Starvane

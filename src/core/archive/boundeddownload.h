// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive/archivetransport.h"

#include <QCoroTask>
#include <QString>
#include <QUrl>
#include <stop_token>

namespace Starvane {

/// How every download's temporary file name begins, so that leftovers can be found and removed.
inline const QString temporaryDownloadPrefix = QStringLiteral("hubble-dl-");

/// Streams `url` into a private temporary file, never holding or writing more than `maxBytes`,
/// and hands over a complete file named "hubble-dl-<UUID>.tmp" in the temporary folder.
/// Throws HubbleAPIError (fileTooLarge, incompleteTransfer, invalidResponse, httpStatus),
/// NetworkError, FileError, or CancelledError when `st` stops. No file is left behind by a failure.
QCoro::Task<QUrl> downloadBounded(ArchiveTransport transport, QUrl url, qint64 maxBytes, std::stop_token st);

} // namespace Starvane

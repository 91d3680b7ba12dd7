// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace Starvane {

/// Keys of the store's persisted state.
namespace StoreKeys {
inline const QString settings = QStringLiteral("starvane.settings.v1");
inline const QString currentImage = QStringLiteral("starvane.current_image.v1");
inline const QString currentFilePath = QStringLiteral("starvane.current_file_path.v1");
inline const QString currentHash = QStringLiteral("starvane.current_hash.v1");
inline const QString nextChangeDate = QStringLiteral("starvane.next_change_date.v1");
inline const QString nextPage = QStringLiteral("starvane.next_page.v1");
inline const QString recentIDs = QStringLiteral("starvane.recent_ids.v1");
inline const QString recentHashes = QStringLiteral("starvane.recent_hashes.v1");
inline const QString savedPictures = QStringLiteral("starvane.saved_pictures.v1");
/// 1 when the pictures also go to the lock screen; absent or 0 otherwise.
inline const QString lockScreen = QStringLiteral("starvane.lock_screen.v1");
} // namespace StoreKeys

} // namespace Starvane

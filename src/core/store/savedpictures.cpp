// SPDX-License-Identifier: GPL-3.0-or-later
#include "savedpictures.h"

#include "keyvaluestore.h"
#include "models/fileurls.h"
#include "storekeys.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace Starvane {

SavedPictures::SavedPictures(std::shared_ptr<KeyValueStore> defaults) : m_defaults(std::move(defaults)) {}

void SavedPictures::restore()
{
    m_entries.clear();
    const std::optional<QByteArray> json = m_defaults->data(StoreKeys::savedPictures);
    if (!json) return;
    const QJsonArray array = QJsonDocument::fromJson(*json).array();
    for (const QJsonValue &value : array) {
        const std::optional<ShownPicture> entry = ShownPicture::fromJsonObject(value.toObject());
        if (!entry) continue;
        m_entries.append(*entry);
        if (m_entries.size() == maxEntries) break;
    }
}

void SavedPictures::remember(const Entry &entry)
{
    const QUrl file = standardizedFileURL(entry.file);
    m_entries.removeIf([&](const Entry &e) { return standardizedFileURL(e.file) == file; });
    m_entries.prepend(entry);
    while (m_entries.size() > maxEntries)
        m_entries.removeLast();
    persist();
}

std::optional<SavedPictures::Entry> SavedPictures::leastRecentNotShown(const QSet<QUrl> &shownNow,
                                                                       const std::optional<QUrl> &current) const
{
    const std::optional<QUrl> currentFile = current ? std::optional(standardizedFileURL(*current)) : std::nullopt;
    for (auto it = m_entries.crbegin(); it != m_entries.crend(); ++it) {
        const QUrl file = standardizedFileURL(it->file);
        if (file == currentFile || shownNow.contains(file) || !QFileInfo(file.toLocalFile()).isFile()) continue;
        return *it;
    }
    return std::nullopt;
}

void SavedPictures::persist() const
{
    QJsonArray array;
    for (const Entry &e : m_entries)
        array.append(e.toJsonObject());
    m_defaults->setData(StoreKeys::savedPictures, QJsonDocument(array).toJson(QJsonDocument::Compact));
}

} // namespace Starvane

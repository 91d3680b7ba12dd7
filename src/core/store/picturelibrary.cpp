// SPDX-License-Identifier: GPL-3.0-or-later
#include "picturelibrary.h"

#include "async/cancellation.h"
#include "contracts/wallpapercaching.h"
#include "logging.h"

namespace Starvane {

PictureLibrary::PictureLibrary(Places places, std::shared_ptr<KeyValueStore> defaults,
                               std::shared_ptr<const WallpaperCaching> cache, std::function<QDateTime()> now,
                               QObject *parent)
    : QObject(parent), m_history(std::make_shared<WallpaperHistory>(places.dataDirectory)),
      m_kept(std::make_unique<KeptPictures>(places.keptDirectory)),
      m_saved(std::make_unique<SavedPictures>(std::move(defaults))), m_cache(std::move(cache)), m_now(std::move(now))
{
}

void PictureLibrary::restore(const std::optional<ShownPicture> &current)
{
    m_history->load();
    m_saved->restore();
    m_positions.clear();
    if (current) m_positions.insert(QString(), positionOf(QString(), current->id()));
}

QList<KeptPictures::Picture> PictureLibrary::keptToShow() const
{
    QList<KeptPictures::Picture> kept = m_kept->all();
    kept.removeIf([this](const KeptPictures::Picture &p) { return m_history->isBannedID(p.id); });
    return kept;
}

void PictureLibrary::record(const ShownPicture &picture, const QString &displayKey)
{
    const HubbleImage &image = picture.image;
    bool isYear = false;
    const int year = image.dateCaptured ? image.dateCaptured->toInt(&isYear) : 0;
    const QString file = picture.file.toLocalFile();
    const HistoryEntry entry{image.id,
                             image.title.trimmed(),
                             image.credit,
                             isYear ? year : 0,
                             m_now().toUTC(),
                             displayKey,
                             file,
                             picture.contentHash,
                             m_history->thumbnailPath(image.id),
                             picture.variantURL,
                             image.description.value_or(QString())};
    m_history->record(entry);
    // Every place moved one down; the display that changed stands on its new entry.
    for (int &position : m_positions)
        position = std::min(position + 1, int(m_history->entries().size()) - 1);
    m_positions.insert(displayKey, 0);
    m_saved->remember(picture);
    Q_EMIT changed();
    if (entry.thumbnail.isEmpty()) return;
    // Made off the main thread; until it exists the picture's own file stands in.
    auto makeThumbnail = [cache = m_cache, file, target = entry.thumbnail] {
        if (!cache->saveThumbnail(QUrl::fromLocalFile(file), target, 256))
            qCWarning(lcStore).noquote() << QStringLiteral("Could not make a thumbnail of %1").arg(file);
    };
    spawn(runInBackground(std::move(makeThumbnail)), QStringLiteral("thumbnail"));
}

void PictureLibrary::showedAgain(int index, const QString &displayKey, const ShownPicture &picture)
{
    if (index < 0 || index >= m_history->entries().size()) return;
    m_positions.insert(displayKey, index);
    HistoryEntry entry = m_history->entries().at(index);
    if (entry.file == picture.file.toLocalFile()) return;
    // Fetched again: the entry points at the new file from now on.
    entry.file = picture.file.toLocalFile();
    entry.hash = picture.contentHash;
    if (picture.variantURL.isValid()) entry.variant = picture.variantURL;
    m_history->replace(index, entry);
    m_saved->remember(picture);
    Q_EMIT changed();
}

int PictureLibrary::positionOf(const QString &displayKey, const QString &currentID) const
{
    if (const auto it = m_positions.constFind(displayKey); it != m_positions.cend()) return *it;
    const QList<HistoryEntry> &entries = m_history->entries();
    for (int i = 0; i < entries.size(); ++i) {
        if ((displayKey.isEmpty() || entries[i].display == displayKey) && entries[i].id == currentID) return i;
    }
    return -1;
}

std::optional<int> PictureLibrary::previousIndex(const QString &displayKey, const QString &currentID) const
{
    const QList<HistoryEntry> &entries = m_history->entries();
    for (int i = positionOf(displayKey, currentID) + 1; i < entries.size(); ++i) {
        if (!displayKey.isEmpty() && entries[i].display != displayKey) continue;
        // The same picture twice in a row is no step back.
        if (entries[i].id == currentID || m_history->isBannedID(entries[i].id)) continue;
        return i;
    }
    return std::nullopt;
}

std::optional<QString> PictureLibrary::keep(const ShownPicture &picture)
{
    const HubbleImage &image = picture.image;
    const std::optional<QString> error = m_kept->keep(
        picture.file.toLocalFile(), KeptPictures::Description{image.id, image.title.trimmed(), image.credit,
                                                              image.detailsURL, image.description.value_or(QString())});
    if (error)
        qCWarning(lcStore).noquote() << QStringLiteral("Could not keep %1: %2").arg(image.id, *error);
    else
        Q_EMIT changed();
    return error;
}

bool PictureLibrary::unkeep(const QString &id)
{
    if (!m_kept->unkeep(id)) return false;
    qCInfo(lcStore).noquote() << QStringLiteral("No longer keeping %1").arg(id);
    Q_EMIT changed();
    return true;
}

void PictureLibrary::ban(const QString &id, const QString &hash)
{
    qCInfo(lcStore).noquote() << QStringLiteral("Never again: %1").arg(id);
    m_history->ban(id, hash);
    Q_EMIT changed();
}

bool PictureLibrary::liftBan(const QString &id)
{
    if (!m_history->isBannedID(id)) return false;
    qCInfo(lcStore).noquote() << QStringLiteral("Lifted the ban on %1").arg(id);
    m_history->liftBan(id);
    Q_EMIT changed();
    return true;
}

} // namespace Starvane

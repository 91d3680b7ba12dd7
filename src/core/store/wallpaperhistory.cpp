// SPDX-License-Identifier: GPL-3.0-or-later
#include "wallpaperhistory.h"

#include "filewritequeue.h"
#include "logging.h"
#include "models/hubbleimage.h"
#include "statefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>

namespace Starvane {

namespace {
constexpr int kFormatVersion = 1;
const QString kHistoryFile = QStringLiteral("history.json");
const QString kBansFile = QStringLiteral("bans.json");
const QString kThumbnails = QStringLiteral("Thumbnails");

bool isHexHash(const QString &hash)
{
    if (hash.size() != 64) return false;
    return std::all_of(hash.cbegin(), hash.cend(), [](QChar c) {
        return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
    });
}

} // namespace

QJsonObject HistoryEntry::toJsonObject() const
{
    QJsonObject o{
        {QStringLiteral("id"), id},
        {QStringLiteral("title"), title},
        {QStringLiteral("credit"), credit},
        {QStringLiteral("captureYear"), captureYear},
        {QStringLiteral("shownAt"), shownAt.toUTC().toString(Qt::ISODate)},
        {QStringLiteral("display"), display},
        {QStringLiteral("file"), file},
        {QStringLiteral("hash"), hash},
        {QStringLiteral("thumbnail"), thumbnail},
        {QStringLiteral("variant"), variant.toString()},
    };
    if (!description.isEmpty()) o.insert(QStringLiteral("description"), description);
    return o;
}

HubbleImage HistoryEntry::imageOver(HubbleImage base) const
{
    base.id = id;
    base.title = title;
    base.credit = credit;
    if (captureYear > 0) base.dateCaptured = QString::number(captureYear);
    base.description = description.isEmpty() ? std::nullopt : std::optional(description);
    return base;
}

std::optional<HistoryEntry> HistoryEntry::fromJsonObject(const QJsonObject &o)
{
    HistoryEntry e;
    e.id = o.value(QStringLiteral("id")).toString();
    if (!isSafeArchiveID(e.id)) return std::nullopt;
    e.title = o.value(QStringLiteral("title")).toString();
    e.credit = o.value(QStringLiteral("credit")).toString();
    e.captureYear = o.value(QStringLiteral("captureYear")).toInt();
    e.shownAt = QDateTime::fromString(o.value(QStringLiteral("shownAt")).toString(), Qt::ISODate);
    if (!e.shownAt.isValid()) return std::nullopt;
    e.shownAt = e.shownAt.toUTC();
    e.display = o.value(QStringLiteral("display")).toString();
    // Paths must be absolute: a relative one would resolve against wherever we happen to run.
    e.file = o.value(QStringLiteral("file")).toString();
    if (!e.file.isEmpty() && QFileInfo(e.file).isRelative()) e.file.clear();
    e.hash = o.value(QStringLiteral("hash")).toString();
    if (!isHexHash(e.hash)) e.hash.clear();
    e.thumbnail = o.value(QStringLiteral("thumbnail")).toString();
    if (!e.thumbnail.isEmpty() && QFileInfo(e.thumbnail).isRelative()) e.thumbnail.clear();
    // Missing in files of earlier versions. It is fetched again only from the host the archive names today.
    e.variant = QUrl(o.value(QStringLiteral("variant")).toString());
    if (!e.variant.isValid() || e.variant.isRelative()) e.variant.clear();
    e.description = o.value(QStringLiteral("description")).toString();
    return e;
}

WallpaperHistory::WallpaperHistory(QString directory) : m_directory(std::move(directory)) {}

QString WallpaperHistory::defaultDirectory()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty()) base = QDir::tempPath();
    return QDir::cleanPath(base + QStringLiteral("/Starvane"));
}

QString WallpaperHistory::historyFilePath() const
{
    return m_directory.isEmpty() ? QString() : QDir(m_directory).filePath(kHistoryFile);
}

QString WallpaperHistory::bansFilePath() const
{
    return m_directory.isEmpty() ? QString() : QDir(m_directory).filePath(kBansFile);
}

QString WallpaperHistory::thumbnailPath(const QString &id) const
{
    if (m_directory.isEmpty() || !isSafeArchiveID(id)) return {};
    return QDir(m_directory).filePath(kThumbnails + QLatin1Char('/') + id + QStringLiteral(".jpg"));
}

bool WallpaperHistory::load()
{
    m_entries.clear();
    m_bannedIDs.clear();
    m_bannedHashes.clear();
    if (m_directory.isEmpty()) return true;
    bool clean = true;

    QJsonObject history;
    switch (readStateFile(historyFilePath(), kFormatVersion, &history)) {
    case StateFileRead::missing:
    case StateFileRead::unreadable:
        break;
    case StateFileRead::setAside:
        clean = false;
        break;
    case StateFileRead::ok:
        for (const QJsonValue &v : history.value(QStringLiteral("entries")).toArray()) {
            // One bad entry costs only itself.
            if (const auto entry = HistoryEntry::fromJsonObject(v.toObject())) m_entries.append(*entry);
            if (m_entries.size() == maxEntries) break;
        }
        break;
    }

    QJsonObject bans;
    switch (readStateFile(bansFilePath(), kFormatVersion, &bans)) {
    case StateFileRead::missing:
    case StateFileRead::unreadable:
        break;
    case StateFileRead::setAside:
        clean = false;
        break;
    case StateFileRead::ok:
        for (const QJsonValue &v : bans.value(QStringLiteral("ids")).toArray())
            if (isSafeArchiveID(v.toString()) && !m_bannedIDs.contains(v.toString())) m_bannedIDs.append(v.toString());
        for (const QJsonValue &v : bans.value(QStringLiteral("hashes")).toArray())
            if (isHexHash(v.toString()) && !m_bannedHashes.contains(v.toString())) m_bannedHashes.append(v.toString());
        break;
    }
    // Replaced at once, so the next start does not find the same damage.
    if (!clean) {
        saveHistory();
        saveBans();
    }
    return clean;
}

void WallpaperHistory::record(const HistoryEntry &entry)
{
    m_entries.prepend(entry);
    while (m_entries.size() > maxEntries) {
        const HistoryEntry dropped = m_entries.takeLast();
        const bool stillUsed = std::any_of(m_entries.cbegin(), m_entries.cend(),
                                           [&](const HistoryEntry &e) { return e.thumbnail == dropped.thumbnail; });
        if (!dropped.thumbnail.isEmpty() && !stillUsed && dropped.thumbnail == thumbnailPath(dropped.id))
            QFile::remove(dropped.thumbnail);
    }
    saveHistory();
}

void WallpaperHistory::replace(int index, const HistoryEntry &entry)
{
    if (index < 0 || index >= m_entries.size()) return;
    m_entries[index] = entry;
    saveHistory();
}

void WallpaperHistory::ban(const QString &id, const QString &hash)
{
    if (isSafeArchiveID(id) && !m_bannedIDs.contains(id)) m_bannedIDs.append(id);
    if (isHexHash(hash) && !m_bannedHashes.contains(hash)) m_bannedHashes.append(hash);
    saveBans();
}

void WallpaperHistory::liftBan(const QString &id)
{
    m_bannedIDs.removeAll(id);
    for (const HistoryEntry &e : std::as_const(m_entries))
        if (e.id == id) m_bannedHashes.removeAll(e.hash);
    saveBans();
}

void WallpaperHistory::save(const QString &path, const QJsonObject &object) const
{
    if (path.isEmpty()) return;
    FileWriteQueue::write(path, QJsonDocument(object).toJson(QJsonDocument::Indented));
}

void WallpaperHistory::saveHistory() const
{
    QJsonArray entries;
    for (const HistoryEntry &e : m_entries)
        entries.append(e.toJsonObject());
    save(historyFilePath(),
         QJsonObject{{QStringLiteral("version"), kFormatVersion}, {QStringLiteral("entries"), entries}});
}

void WallpaperHistory::saveBans() const
{
    save(bansFilePath(), QJsonObject{{QStringLiteral("version"), kFormatVersion},
                                     {QStringLiteral("ids"), QJsonArray::fromStringList(m_bannedIDs)},
                                     {QStringLiteral("hashes"), QJsonArray::fromStringList(m_bannedHashes)}});
}

} // namespace Starvane

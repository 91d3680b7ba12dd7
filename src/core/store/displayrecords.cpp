// SPDX-License-Identifier: GPL-3.0-or-later
#include "displayrecords.h"

#include "filewritequeue.h"
#include "logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace Starvane {

namespace {
constexpr int kVersion = 1;
}

DisplayRecords::DisplayRecords(QString dataDirectory) : m_directory(std::move(dataDirectory)) {}

QString DisplayRecords::filePath() const
{
    return QDir(m_directory).filePath(QStringLiteral("displays.json"));
}

std::optional<DisplayRecord> DisplayRecords::record(const QString &key) const
{
    const auto it = m_records.constFind(key);
    if (it == m_records.cend()) return std::nullopt;
    return *it;
}

void DisplayRecords::load()
{
    m_records.clear();
    if (m_directory.isEmpty()) return; // kept in memory only
    FileWriteQueue::flush(); // what this or an earlier instance asked to write
    QFile file(filePath());
    if (!file.exists()) return;
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcStore).noquote() << "Could not read" << file.fileName() << file.errorString();
        return;
    }
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    file.close();
    const QJsonObject root = doc.object();
    if (error.error != QJsonParseError::NoError || !doc.isObject() ||
        root.value(QStringLiteral("version")).toInt() != kVersion ||
        !root.value(QStringLiteral("displays")).isObject()) {
        const QString damaged = file.fileName() + QStringLiteral(".damaged");
        QFile::remove(damaged);
        QFile::rename(file.fileName(), damaged);
        qCWarning(lcStore).noquote() << "Display records could not be read; kept as" << damaged;
        return;
    }
    const QJsonObject displays = root.value(QStringLiteral("displays")).toObject();
    for (auto it = displays.begin(); it != displays.end(); ++it) {
        const QJsonObject o = it.value().toObject();
        const std::optional<HubbleImage> image =
            HubbleImage::fromJsonObject(o.value(QStringLiteral("image")).toObject());
        const QString path = o.value(QStringLiteral("file")).toString();
        // A record whose picture is gone cannot be shown again: the display gets a new one.
        if (!image || path.isEmpty() || !QFileInfo(path).isFile()) continue;
        m_records.insert(
            it.key(), DisplayRecord{o.value(QStringLiteral("name")).toString(), *image, QUrl::fromLocalFile(path),
                                    o.value(QStringLiteral("hash")).toString(),
                                    QDateTime::fromString(o.value(QStringLiteral("shownAt")).toString(), Qt::ISODate)});
    }
}

void DisplayRecords::save() const
{
    if (m_directory.isEmpty()) return;
    QJsonObject displays;
    for (auto it = m_records.cbegin(); it != m_records.cend(); ++it) {
        displays.insert(it.key(), QJsonObject{{QStringLiteral("name"), it->name},
                                              {QStringLiteral("image"), it->image.toJsonObject()},
                                              {QStringLiteral("file"), it->file.toLocalFile()},
                                              {QStringLiteral("hash"), it->contentHash},
                                              {QStringLiteral("shownAt"), it->shownAt.toUTC().toString(Qt::ISODate)}});
    }
    const QJsonObject root{{QStringLiteral("version"), kVersion}, {QStringLiteral("displays"), displays}};
    FileWriteQueue::write(filePath(), QJsonDocument(root).toJson());
}

} // namespace Starvane

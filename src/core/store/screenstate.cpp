// SPDX-License-Identifier: GPL-3.0-or-later
#include "screenstate.h"

#include "filewritequeue.h"
#include "keyvaluestore.h"
#include "statefile.h"
#include "storekeys.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>

namespace Starvane {

namespace {
constexpr int kDisplaysVersion = 1;
}

ScreenState::ScreenState(std::shared_ptr<KeyValueStore> defaults, QString dataDirectory, QObject *parent)
    : QObject(parent), m_defaults(std::move(defaults)), m_directory(std::move(dataDirectory))
{
}

QString ScreenState::displaysFilePath() const
{
    return m_directory.isEmpty() ? QString() : QDir(m_directory).filePath(QStringLiteral("displays.json"));
}

void ScreenState::restore()
{
    // Called before anything observes us: fields are set directly.
    m_current.reset();
    const auto path = m_defaults->string(StoreKeys::currentFilePath);
    if (path && !path->isEmpty() && QFileInfo(*path).isFile()) {
        ShownPicture current;
        current.file = QUrl::fromLocalFile(*path);
        // A record that no longer decodes leaves the file on screen without title or credit.
        if (const auto json = m_defaults->data(StoreKeys::currentImage))
            current.image = HubbleImage::fromJson(*json).value_or(HubbleImage{});
        current.contentHash = m_defaults->string(StoreKeys::currentHash).value_or(QString());
        m_current = current;
    } else {
        m_defaults->remove(StoreKeys::currentFilePath);
        m_defaults->remove(StoreKeys::currentImage);
        m_defaults->remove(StoreKeys::currentHash);
    }

    m_displays.clear();
    if (m_directory.isEmpty()) return;
    QJsonObject root;
    const auto hasDisplays = [](const QJsonObject &o) { return o.value(QStringLiteral("displays")).isObject(); };
    if (readStateFile(displaysFilePath(), kDisplaysVersion, &root, hasDisplays) != StateFileRead::ok) return;
    const QJsonObject displays = root.value(QStringLiteral("displays")).toObject();
    for (auto it = displays.begin(); it != displays.end(); ++it) {
        const QJsonObject o = it.value().toObject();
        const std::optional<ShownPicture> picture = ShownPicture::fromJsonObject(o);
        // A record whose picture is gone cannot be shown again: the display gets a new one.
        if (!picture || !picture->fileExists()) continue;
        m_displays.insert(
            it.key(), DisplayRecord{o.value(QStringLiteral("name")).toString(), *picture,
                                    QDateTime::fromString(o.value(QStringLiteral("shownAt")).toString(), Qt::ISODate)});
    }
}

void ScreenState::persist() const
{
    // A file restored without a readable record has no image record to write.
    if (m_current && !m_current->image.id.isEmpty())
        m_defaults->setData(StoreKeys::currentImage, m_current->image.toJson());
    else
        m_defaults->remove(StoreKeys::currentImage);
    if (m_current)
        m_defaults->setString(StoreKeys::currentFilePath, m_current->file.toLocalFile());
    else
        m_defaults->remove(StoreKeys::currentFilePath);
    if (m_current && !m_current->contentHash.isEmpty())
        m_defaults->setString(StoreKeys::currentHash, m_current->contentHash);
    else
        m_defaults->remove(StoreKeys::currentHash);
}

std::optional<DisplayRecord> ScreenState::display(const QString &key) const
{
    const auto it = m_displays.constFind(key);
    if (it == m_displays.cend()) return std::nullopt;
    return *it;
}

std::optional<ShownPicture> ScreenState::shownOn(const QString &key, bool eachDisplay) const
{
    if (eachDisplay) {
        if (const auto record = display(key); record && record->picture.fileExists()) return record->picture;
    }
    return m_current;
}

void ScreenState::setCurrent(const ShownPicture &picture)
{
    const bool imageChanged = !m_current || m_current->image != picture.image;
    const bool fileChanged = !m_current || m_current->file != picture.file;
    m_current = picture;
    if (imageChanged) Q_EMIT currentImageChanged();
    if (fileChanged) Q_EMIT currentLocalFileURLChanged();
}

void ScreenState::showEverywhere(const ShownPicture &picture)
{
    ++m_generation;
    setCurrent(picture);
}

void ScreenState::showOnDisplays(const QList<std::pair<DisplayTarget, ShownPicture>> &changed,
                                 const QString &primaryKey, const QDateTime &now)
{
    ++m_generation;
    for (const auto &[display, picture] : changed)
        m_displays.insert(display.key, DisplayRecord{display.name, picture, now.toUTC()});
    saveDisplays();
    if (const auto main = display(primaryKey))
        setCurrent(main->picture);
    else if (!changed.isEmpty())
        setCurrent(changed.first().second);
    Q_EMIT displaysChanged();
}

void ScreenState::saveDisplays() const
{
    if (m_directory.isEmpty()) return;
    QJsonObject displays;
    for (auto it = m_displays.cbegin(); it != m_displays.cend(); ++it) {
        QJsonObject o = it->picture.toJsonObject();
        o.insert(QStringLiteral("name"), it->name);
        o.insert(QStringLiteral("shownAt"), it->shownAt.toUTC().toString(Qt::ISODate));
        displays.insert(it.key(), o);
    }
    const QJsonObject root{{QStringLiteral("version"), kDisplaysVersion}, {QStringLiteral("displays"), displays}};
    FileWriteQueue::write(displaysFilePath(), QJsonDocument(root).toJson());
}

} // namespace Starvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "jpegwriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QImageIOPlugin>
#include <QJsonArray>
#include <QJsonObject>
#include <QPluginLoader>

#include <memory>

namespace Starvane {

namespace {
QImageIOPlugin *findJpegPlugin()
{
    // The metadata is read from the files without loading them; only the JPEG plugin is loaded, and
    // when Qt has loaded it already the loader hands back that same instance.
    const QStringList folders = QCoreApplication::libraryPaths();
    for (const QString &folder : folders) {
        const QDir dir(folder + QStringLiteral("/imageformats"));
        const QStringList files = dir.entryList(QDir::Files);
        for (const QString &file : files) {
            QPluginLoader loader(dir.filePath(file));
            const QJsonObject meta = loader.metaData();
            if (meta.value(QStringLiteral("IID")).toString() != QLatin1String(QImageIOHandlerFactoryInterface_iid))
                continue;
            const QJsonArray keys =
                meta.value(QStringLiteral("MetaData")).toObject().value(QStringLiteral("Keys")).toArray();
            if (!keys.contains(QStringLiteral("jpeg"))) continue;
            if (auto *plugin = qobject_cast<QImageIOPlugin *>(loader.instance())) return plugin;
        }
    }
    return nullptr;
}
} // namespace

bool writeJpeg(const QImage &image, QIODevice *device, int quality)
{
    static QImageIOPlugin *const plugin = findJpegPlugin();
    if (!plugin) return image.save(device, "JPEG", quality);
    const std::unique_ptr<QImageIOHandler> handler(plugin->create(device, QByteArrayLiteral("jpeg")));
    if (!handler) return false;
    handler->setOption(QImageIOHandler::Quality, quality);
    return handler->write(image);
}

} // namespace Starvane

// SPDX-License-Identifier: GPL-3.0-or-later
// Bytes per wallpaper change with "Save data" off and on, for one 1920×1080 display: the real archive
// client and cache against a loopback archive that counts every byte it sends. Each picture is offered
// as an original ("large", 6000×3375) and in the archive's four fixed wallpaper sizes.
//   bench_datasaving [CHANGES]     changes per setting (default 3)
#include "archive/hubbleapiclient.h"
#include "archiveserver.h"
#include "awaittask.h"
#include "fakes.h"
#include "integrity/wallpapercache.h"
#include "models/wallpaperlimits.h"
#include "store/keyvaluestore.h"
#include "store/storesettings.h"
#include "store/wallpaperstore.h"
#include "wallpaperarchive.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QImageWriter>
#include <QNetworkAccessManager>
#include <QPainter>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <cstdio>

using namespace Starvane;
using namespace Starvane::Testing;

namespace {

struct Variant
{
    const char *name;
    QSize size;
};
const Variant kVariants[] = {{"large", {6000, 3375}},
                             {"wallpaper_uhd", {3840, 2160}},
                             {"wallpaper_qhd", {2560, 1440}},
                             {"wallpaper5", {2048, 1536}},
                             {"wallpaper4", {1920, 1200}}};

// Fine grain over smooth shapes, so that sizes compress roughly like a photograph rather than a flat colour.
QImage photoLike(int seed)
{
    const QSize size = kVariants[0].size;
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator rng{quint32(seed)};
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<quint32 *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int grain = int(rng.bounded(24));
            const int r = (x * 255 / size.width() + grain) & 0xff, g = (y * 255 / size.height() + grain) & 0xff;
            line[x] = qRgb(r, g, (seed * 40 + grain) & 0xff);
        }
    }
    QPainter p(&image);
    p.setBrush(QColor::fromHsv((seed * 53) % 360, 200, 230));
    p.drawEllipse(QRect(seed * 300 % size.width(), 800, 1600, 1200));
    return image;
}

QByteArray jpeg(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(85);
    writer.write(image);
    return bytes;
}

QByteArray detailPage(const QString &id)
{
    QByteArray html = "<!DOCTYPE html><html><body><h1>" + id.toUtf8() +
                      "</h1><div class=\"credit\"><p>ESA/Hubble &amp; NASA</p></div><ul>";
    for (const Variant &v : kVariants)
        html += "<li><a href=\"{{BASE}}/archives/images/" + QByteArray(v.name) + "/" + id.toUtf8() + ".jpg\">" +
                QByteArray(v.name) + "</a></li>";
    return html + "</ul><table><tr><th class=\"title\" scope=\"row\">Type:</th><td>Observation</td></tr></table>"
                  "</body></html>";
}

qint64 bytesSentSoFar(const ArchiveTestServer &server)
{
    QSet<QString> paths;
    for (const ArchiveTestServer::Request &r : server.requests())
        paths.insert(r.path);
    qint64 total = 0;
    for (const QString &path : paths)
        total += server.bytesSent(path);
    return total;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int changes = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 3;
    ArchiveTestServer server;
    QTemporaryDir dir;
    if (!server.start() || !dir.isValid()) return 1;

    const QStringList ids = publishWallpaperArchive(server, 1, 2 * changes);
    for (int i = 0; i < ids.size(); ++i) {
        const QImage original = photoLike(i + 1);
        server.setResponse(QStringLiteral("/images/%1/").arg(ids[i]),
                           ArchiveTestServer::Response::page(detailPage(ids[i])));
        for (const Variant &v : kVariants) {
            const QImage image = v.size == original.size()
                                     ? original
                                     : original.scaled(v.size, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation)
                                           .copy(QRect(QPoint(0, 0), v.size));
            ArchiveTestServer::Response file = ArchiveTestServer::Response::file(jpeg(image));
            file.contentType = QByteArrayLiteral("image/jpeg");
            server.setResponse(QStringLiteral("/archives/images/%1/%2.jpg").arg(QLatin1String(v.name), ids[i]), file);
        }
    }

    QNetworkAccessManager nam;
    auto client =
        std::make_shared<HubbleAPIClient>(&nam, HubbleAPIClient::maxDownloadBytes, server.baseURL(), server.baseURL());
    auto cache = std::make_shared<WallpaperCache>(QUrl::fromLocalFile(dir.filePath(QStringLiteral("cache"))),
                                                  wallpaperMinimumWidth, wallpaperMinimumHeight,
                                                  wallpaperMinimumAspectRatio, wallpaperMaximumAspectRatio);
    auto applier = std::make_shared<RecordingApplier>();
    applier->largest = QSize(1920, 1080);
    WallpaperStore store(StoreServices{client, cache, applier, std::make_shared<InMemoryKeyValueStore>(), nullptr},
                         StoreOptions{.limits = {}, .shuffleBands = false, .now = {}, .sleep = {}});

    std::printf("display 1920x1080, %d changes per setting\n", changes);
    for (const bool saveData : {false, true}) {
        store.settingsObject().setSaveData(saveData);
        qint64 total = 0;
        for (int n = 0; n < changes; ++n) {
            const qint64 before = bytesSentSoFar(server);
            awaitTask(store.applyNextWallpaper());
            if (!store.currentImage() || store.errorMessage()) {
                std::fprintf(stderr, "change failed: %s\n", qPrintable(store.errorMessage().value_or(QString())));
                return 1;
            }
            const qint64 bytes = bytesSentSoFar(server) - before;
            total += bytes;
            std::printf("  save data %-3s change %d: %9lld bytes (%s, %lldx%lld)\n", saveData ? "on" : "off", n + 1,
                        qlonglong(bytes), qPrintable(store.currentImage()->id),
                        qlonglong(store.currentImage()->width.value_or(0)),
                        qlonglong(store.currentImage()->height.value_or(0)));
        }
        std::printf("save data %-3s: %lld bytes per change on average\n", saveData ? "on" : "off",
                    qlonglong(total / changes));
    }
    return 0;
}

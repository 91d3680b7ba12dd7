// SPDX-License-Identifier: GPL-3.0-or-later
#include "wallpaperarchive.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QPainter>

namespace Starvane::Testing {

namespace {
QString catalogPath(int page)
{
    return page <= 1 ? QStringLiteral("/images/archive/wallpapers/")
                     : QStringLiteral("/images/archive/wallpapers/page/%1/").arg(page);
}

QByteArray catalogEntry(const QString &id, int n)
{
    return QStringLiteral("{\n    id: '%1',\n    title: 'Spiral galaxy NGC %2',\n    width: 3840,\n    height: 2160,\n"
                          "    src: '{{BASE}}/archives/images/thumb300y/%1.jpg',\n    url: '/images/%1/',\n"
                          "    potw: '11 November 2013'\n},\n")
        .arg(id)
        .arg(1000 + n)
        .toUtf8();
}

QByteArray detailPage(const QString &id)
{
    // The recorded page of a real observation, moved onto the test server and renamed.
    QFile f(QStringLiteral(STARVANE_TEST_DATA "/archive/detail-current.html"));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("missing recorded detail page");
    QByteArray html = f.readAll();
    html.replace("https://cdn.esahubble.org", "{{BASE}}");
    html.replace("heic0910a", id.toUtf8());
    return html;
}

QByteArray page(const QByteArray &entries)
{
    return "<!DOCTYPE html><html><head><title>Wallpapers</title></head><body>\n<script>\nvar images = [\n" + entries +
           "];\n</script>\n</body></html>\n";
}
} // namespace

QByteArray makeWallpaperJPEG(QSize size, int seed, int quality)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor::fromHsv((seed * 37) % 360, 120 + (seed * 13) % 100, 60 + (seed * 7) % 160));
    QPainter p(&image);
    // A few shapes so the decoder has real work, placed by the seed so no two files match.
    for (int i = 0; i < 6; ++i) {
        p.setBrush(QColor::fromHsv((seed * 53 + i * 41) % 360, 200, 230));
        p.setPen(Qt::NoPen);
        const int w = size.width(), h = size.height();
        p.drawEllipse(QRect((seed * 97 + i * 311) % w, (seed * 61 + i * 173) % h, w / 8, h / 8));
    }
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    if (!writer.write(image))
        qFatal("cannot encode a test JPEG");
    return bytes;
}

QString wallpaperArchiveID(int index)
{
    return QStringLiteral("potw%1a").arg(index + 1, 4, 10, QLatin1Char('0'));
}

QStringList publishWallpaperArchive(ArchiveTestServer &server, int pages, int perPage, QSize size)
{
    QStringList ids;
    for (int pg = 1; pg <= pages; ++pg) {
        QByteArray entries;
        for (int i = 0; i < perPage; ++i) {
            const int index = (pg - 1) * perPage + i;
            const QString id = wallpaperArchiveID(index);
            ids << id;
            entries += catalogEntry(id, index);
            server.setResponse(QStringLiteral("/images/%1/").arg(id), ArchiveTestServer::Response::page(detailPage(id)));
            ArchiveTestServer::Response file = ArchiveTestServer::Response::file(makeWallpaperJPEG(size, index + 1));
            file.contentType = QByteArrayLiteral("image/jpeg");
            server.setResponse(QStringLiteral("/archives/images/large/%1.jpg").arg(id), file);
        }
        server.setResponse(catalogPath(pg), ArchiveTestServer::Response::page(page(entries)));
    }
    return ids;
}

void publishSingleWallpaper(ArchiveTestServer &server, const QString &id, const QByteArray &jpeg)
{
    server.setResponse(catalogPath(1), ArchiveTestServer::Response::page(page(catalogEntry(id, 0))));
    server.setResponse(QStringLiteral("/images/%1/").arg(id), ArchiveTestServer::Response::page(detailPage(id)));
    ArchiveTestServer::Response file = ArchiveTestServer::Response::file(jpeg);
    file.contentType = QByteArrayLiteral("image/jpeg");
    server.setResponse(QStringLiteral("/archives/images/large/%1.jpg").arg(id), file);
}

} // namespace Starvane::Testing

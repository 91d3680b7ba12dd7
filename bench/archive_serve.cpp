// SPDX-License-Identifier: GPL-3.0-or-later
// A local archive for benchmarks of the real program: prints its origin, serves until stdin closes.
//   bench_archive_serve                 12 ordinary 1920×1080 wallpapers
//   bench_archive_serve PAGES           that many catalog pages of 12 (long runs outlast the memory of recent ones)
//   bench_archive_serve WxH QUALITY     one noisy picture of W×H at that JPEG quality (noise makes it big)
//   bench_archive_serve WxH smooth      one smooth picture of W×H, the size a photograph would have
#include "archiveserver.h"
#include "wallpaperarchive.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QImageWriter>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <iostream>

using namespace Starvane::Testing;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    ArchiveTestServer server;
    if (!server.start())
        return 1;
    const QStringList args = app.arguments();
    if (args.size() >= 3) {
        const QStringList wh = args.at(1).split(QLatin1Char('x'));
        QByteArray bytes;
        if (args.at(2) == QLatin1String("smooth")) {
            bytes = makeWallpaperJPEG(QSize(wh.value(0).toInt(), wh.value(1).toInt()), 1, 92);
            publishSingleWallpaper(server, QStringLiteral("potw0001a"), bytes);
            std::fprintf(stderr, "serving one smooth %s JPEG of %lld bytes\n", qPrintable(args.at(1)),
                         qlonglong(bytes.size()));
            std::printf("%s\n", qPrintable(server.baseURL().toString()));
            std::fflush(stdout);
            std::string line;
            while (std::getline(std::cin, line)) {
            }
            return 0;
        }
        QImage image(wh.value(0).toInt(), wh.value(1).toInt(), QImage::Format_RGB32);
        QRandomGenerator rng(1);
        for (int y = 0; y < image.height(); ++y) {
            auto *line = reinterpret_cast<quint32 *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                line[x] = 0xff000000u | (rng.generate() & 0xffffffu);
        }
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setQuality(args.at(2).toInt());
        if (!writer.write(image))
            return 1;
        publishSingleWallpaper(server, QStringLiteral("potw0001a"), bytes);
        std::fprintf(stderr, "serving one %s JPEG of %lld bytes\n", qPrintable(args.at(1)), qlonglong(bytes.size()));
    } else {
        publishWallpaperArchive(server, args.size() == 2 ? std::max(1, args.at(1).toInt()) : 1, 12);
    }
    std::printf("%s\n", qPrintable(server.baseURL().toString()));
    std::fflush(stdout);
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// The local archive for the real-desktop suite: serves a small wallpaper archive on 127.0.0.1 until
// it is stopped, writes each published picture to OUT_DIR/<id>.jpg (what the screen is compared with)
// and prints the base URL on stdout once it listens.
#include "archiveserver.h"
#include "wallpaperarchive.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT_DIR\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    Starvane::Testing::ArchiveTestServer server;
    if (!out.mkpath(QStringLiteral(".")) || !server.start()) return 1;
    // Wider than the screens (2:1 on 16:9), so the desktop must crop and scale it.
    const QSize size(2400, 1200);
    const QStringList ids = Starvane::Testing::publishWallpaperArchive(server, 1, 6, size);
    for (int i = 0; i < ids.size(); ++i) {
        QFile file(out.filePath(ids[i] + QStringLiteral(".jpg")));
        if (!file.open(QIODevice::WriteOnly) || file.write(Starvane::Testing::makeWallpaperJPEG(size, i + 1)) < 0)
            return 1;
    }
    std::printf("%s\n", qPrintable(server.baseURL().toString()));
    std::fflush(stdout);
    return app.exec();
}

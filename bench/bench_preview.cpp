// SPDX-License-Identifier: GPL-3.0-or-later
// Time of the card's preview decode of an 8000 × 4500 JPEG against a full decode of the same file.
//   bench_preview [runs]
#include "previewimage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImageReader>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Starvane;

namespace {
double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("large.jpg"));
    {
        // Detail everywhere, so the encoder cannot make the file trivially small.
        QImage image(8000, 4500, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                line[x] = qRgb((x * 7 + y) & 255, (x ^ y) & 255, (x * y >> 6) & 255);
        }
        image.save(path, "JPEG", 90);
    }

    std::vector<double> preview, full;
    QSize previewSize, fullSize;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        const QImage p = loadPreviewImage(path);
        preview.push_back(t.nsecsElapsed() / 1e6);
        previewSize = p.size();

        t.restart();
        QImageReader reader(path);
        reader.setAutoTransform(true);
        reader.setAllocationLimit(1024); // 8000 × 4500 × 4 bytes is over Qt's default limit
        const QImage f = reader.read();
        full.push_back(t.nsecsElapsed() / 1e6);
        fullSize = f.size();
    }
    const double mp = median(preview), mf = median(full);
    std::printf("preview %dx%d: median %.1f ms\n", previewSize.width(), previewSize.height(), mp);
    std::printf("full    %dx%d: median %.1f ms\n", fullSize.width(), fullSize.height(), mf);
    std::printf("ratio preview/full: %.3f (target <= 0.5), %d runs\n", mp / mf, runs);
    return mp / mf <= 0.5 ? 0 : 1;
}

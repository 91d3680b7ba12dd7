// SPDX-License-Identifier: GPL-3.0-or-later
// Time of the card's preview decode of an 8000 × 4500 JPEG against a full decode of the same file.
//   bench_preview [runs]
#include "previewimage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QRadialGradient>
#include <QRandomGenerator>
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
        // Photograph-like content: soft glows, a few thousand stars and sensor grain, saved at the
        // quality the archive uses for its large JPEGs.
        QImage image(8000, 4500, QImage::Format_RGB32);
        image.fill(QColor(8, 10, 22));
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor glowColours[] = {QColor(200, 90, 60, 170), QColor(70, 110, 210, 150), QColor(250, 200, 140, 160)};
        const QPointF glowCentres[] = {QPointF(3100, 2000), QPointF(5200, 2700), QPointF(4000, 1900)};
        const qreal glowRadii[] = {2700, 2300, 1250};
        for (int i = 0; i < 3; ++i) {
            QRadialGradient g(glowCentres[i], glowRadii[i]);
            g.setColorAt(0, glowColours[i]);
            g.setColorAt(1, Qt::transparent);
            p.fillRect(image.rect(), g);
        }
        QRandomGenerator rng(11);
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 9000; ++i) {
            p.setBrush(QColor(255, 255, 255, 100 + rng.bounded(155)));
            const qreal r = rng.bounded(1.0) < 0.97 ? 2.0 + rng.bounded(3.0) : 8.0 + rng.bounded(10.0);
            p.drawEllipse(QPointF(rng.bounded(8000.0), rng.bounded(4500.0)), r, r);
        }
        p.end();
        for (int y = 0; y < image.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const int n = int(rng.bounded(9)) - 4;
                const QRgb c = line[x];
                line[x] = qRgb(qBound(0, qRed(c) + n, 255), qBound(0, qGreen(c) + n, 255), qBound(0, qBlue(c) + n, 255));
            }
        }
        image.save(path, "JPEG", 90);
    }
    std::printf("file: 8000x4500 JPEG, %lld bytes\n", QFileInfo(path).size());

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

// SPDX-License-Identifier: GPL-3.0-or-later
// The screen check of the real-desktop suite: which of the archive's pictures does each monitor of a
// screenshot show, as the desktop's "zoom" draws it (scaled to cover the monitor, centred, cropped)?
//   starvane-realdesktop-compare SHOT.png --monitor WxH+X+Y[:TOP:BOTTOM]... [--not PICTURE]... PICTURE...
// TOP and BOTTOM are rows of that monitor left out of the comparison (panels). Prints one line per
// monitor with what was compared (mean difference, worst pixel, share of pixels far off) and, last,
// "shown: NAME..." with the picture found on each monitor; exits 0 only when every monitor shows one.
// ImageMagick took about three seconds per screenshot for this; decoding reduced and comparing here
// takes a fraction of that, which keeps the whole desktop suite short.
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

// A screen matches when the mean difference stays small and almost no pixel is far off: the desktops
// scale with their own filters, so edges of shapes differ by a few steps, never whole areas.
constexpr double maxMean = 6.0;
constexpr int farOff = 48;
constexpr double maxFarShare = 0.01;

struct Monitor
{
    QRect geometry;
    int top = 0, bottom = 0;
};

struct Difference
{
    double mean = 1e9;
    int worst = 255;
    double farShare = 1.0;
    bool matches() const { return mean <= maxMean && farShare <= maxFarShare; }
};

QImage cover(const QString &path, QSize size)
{
    QImageReader reader(path);
    const QSize original = reader.size();
    if (!original.isValid()) return {};
    const QSize scaled = original.scaled(size, Qt::KeepAspectRatioByExpanding);
    const QImage image = reader.read().scaled(scaled, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image.copy(QRect(QPoint((scaled.width() - size.width()) / 2, (scaled.height() - size.height()) / 2), size))
        .convertToFormat(QImage::Format_RGB32);
}

Difference compare(const QImage &shot, const Monitor &m, const QImage &expected)
{
    Difference d;
    qint64 sum = 0, far = 0, count = 0;
    d.worst = 0;
    for (int y = m.top; y < m.geometry.height() - m.bottom; ++y) {
        const auto *s = reinterpret_cast<const QRgb *>(shot.constScanLine(m.geometry.y() + y)) + m.geometry.x();
        const auto *e = reinterpret_cast<const QRgb *>(expected.constScanLine(y));
        for (int x = 0; x < m.geometry.width(); ++x) {
            const int dr = std::abs(qRed(s[x]) - qRed(e[x])), dg = std::abs(qGreen(s[x]) - qGreen(e[x])),
                      db = std::abs(qBlue(s[x]) - qBlue(e[x]));
            const int most = std::max({dr, dg, db});
            sum += dr + dg + db;
            far += most > farOff;
            d.worst = std::max(d.worst, most);
        }
        count += m.geometry.width();
    }
    if (count == 0) return {};
    d.mean = double(sum) / double(3 * count);
    d.farShare = double(far) / double(count);
    return d;
}

bool parseMonitor(const QString &text, Monitor *m)
{
    static const QRegularExpression re(QStringLiteral("^(\\d+)x(\\d+)\\+(\\d+)\\+(\\d+)(?::(\\d+):(\\d+))?$"));
    const QRegularExpressionMatch match = re.match(text);
    if (!match.hasMatch()) return false;
    m->geometry = QRect(match.captured(3).toInt(), match.captured(4).toInt(), match.captured(1).toInt(),
                        match.captured(2).toInt());
    m->top = match.captured(5).toInt();
    m->bottom = match.captured(6).toInt();
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    // No display is needed: images only.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QString shotPath;
    QList<Monitor> monitors;
    QStringList pictures, excluded;
    for (int i = 0; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == QStringLiteral("--monitor") && hasValue) {
            Monitor m;
            if (!parseMonitor(args[++i], &m)) {
                std::fprintf(stderr, "not a monitor: %s\n", qPrintable(args[i]));
                return 2;
            }
            monitors.append(m);
        } else if (args[i] == QStringLiteral("--not") && hasValue) {
            excluded.append(QFileInfo(args[++i]).absoluteFilePath());
        } else if (shotPath.isEmpty()) {
            shotPath = args[i];
        } else {
            pictures.append(args[i]);
        }
    }
    if (shotPath.isEmpty() || monitors.isEmpty() || pictures.isEmpty()) {
        std::fprintf(stderr, "usage: %s SHOT --monitor WxH+X+Y[:TOP:BOTTOM]... [--not PICTURE]... PICTURE...\n",
                     argv[0]);
        return 2;
    }
    const QImage shot = QImage(shotPath).convertToFormat(QImage::Format_RGB32);
    if (shot.isNull()) {
        std::fprintf(stderr, "cannot read the screenshot %s\n", qPrintable(shotPath));
        return 2;
    }
    bool all = true;
    QStringList shown;
    QHash<QString, QImage> rendered; // monitors of one size share their expected pictures
    for (const Monitor &m : monitors) {
        if (!shot.rect().contains(m.geometry)) {
            std::fprintf(stderr, "the screenshot (%dx%d) does not hold the monitor %dx%d+%d+%d\n", shot.width(),
                         shot.height(), m.geometry.width(), m.geometry.height(), m.geometry.x(), m.geometry.y());
            return 2;
        }
        Difference best;
        QString bestName;
        for (const QString &picture : std::as_const(pictures)) {
            if (excluded.contains(QFileInfo(picture).absoluteFilePath())) continue;
            const QString key =
                QStringLiteral("%1 %2x%3").arg(picture).arg(m.geometry.width()).arg(m.geometry.height());
            if (!rendered.contains(key)) rendered.insert(key, cover(picture, m.geometry.size()));
            const QImage expected = rendered.value(key);
            if (expected.isNull()) {
                std::fprintf(stderr, "cannot read the picture %s\n", qPrintable(picture));
                return 2;
            }
            const Difference d = compare(shot, m, expected);
            if (bestName.isEmpty() || d.mean < best.mean) {
                best = d;
                bestName = QFileInfo(picture).fileName();
            }
        }
        const qint64 pixels = qint64(m.geometry.width()) * (m.geometry.height() - m.top - m.bottom);
        std::printf("  %dx%d+%d+%d %s %s: mean difference %.2f/255, worst pixel %d/255, %.3f%% of %lld px off by "
                    "more than %d\n",
                    m.geometry.width(), m.geometry.height(), m.geometry.x(), m.geometry.y(),
                    best.matches() ? "shows" : "closest", qPrintable(bestName), best.mean, best.worst,
                    100.0 * best.farShare, pixels, farOff);
        all = all && best.matches();
        shown.append(best.matches() ? bestName : QStringLiteral("-"));
    }
    std::printf("shown: %s\n", qPrintable(shown.join(QLatin1Char(' '))));
    return all ? 0 : 1;
}

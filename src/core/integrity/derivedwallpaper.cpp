// SPDX-License-Identifier: GPL-3.0-or-later
#include "derivedwallpaper.h"

#include "imagebounds.h"
#include "jpegwriter.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QImageReader>
#include <QPainter>
#include <QRegularExpression>
#include <QSaveFile>
#include <array>
#include <cmath>

namespace Starvane::DerivedWallpaper {

namespace {
// Bump when the drawing changes: copies made by an earlier drawing are then made anew.
constexpr auto drawingVersion = "1";
const QLatin1StringView marker(".derived-");

// Sizes in display pixels, so the caption reads the same on every monitor: small, but clear of the
// panels desktops put along the bottom edge (up to about 64 pixels) and of the screen's corner.
constexpr double titlePixels = 20;
constexpr double creditPixels = 15;
constexpr double rightMargin = 36;
constexpr double bottomMargin = 88;
// A caption never takes more than this share of what the display shows across.
constexpr double widestShare = 0.55;
// Nobody reads a caption longer than this; the rest would only cost time to measure.
constexpr qsizetype longestText = 400;
constexpr int jpegQuality = 92;

QString kindOf(const DerivedLook &look)
{
    if (look.hasCaption()) return look.dimmed ? QStringLiteral("caption-dim") : QStringLiteral("caption");
    return QStringLiteral("dim");
}

/// One line of plain text: control characters and line breaks out, long text cut before measuring.
QString oneLine(QString text, const QString &lineJoin)
{
    text.truncate(longestText);
    QStringList lines;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        QString clean;
        for (const QChar c : line)
            clean += c.isPrint() ? c : QLatin1Char(' ');
        clean = clean.simplified();
        if (!clean.isEmpty()) lines << clean;
    }
    return lines.join(lineJoin);
}

void dim(QImage &image)
{
    std::array<uchar, 256> scaled{};
    for (int v = 0; v < 256; ++v)
        scaled[size_t(v)] = uchar(std::lround(v * darkStyleBrightness));
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            line[x] = qRgb(scaled[size_t(qRed(p))], scaled[size_t(qGreen(p))], scaled[size_t(qBlue(p))]);
        }
    }
}

/// A soft dark halo around the caption's letters, so white text reads on a bright nebula too.
QImage shadowOf(const QImage &letters, int radius)
{
    const int step = std::max(2, radius);
    const QSize small = (letters.size() / step).expandedTo(QSize(1, 1));
    // Scaling down and up again smoothly is a cheap blur, and enough for a shadow.
    QImage shadow = letters.scaled(small, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                        .scaled(letters.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QPainter p(&shadow);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(shadow.rect(), Qt::black);
    return shadow;
}

void drawCaption(QImage &image, const DerivedLook &look, QRect *captionBox)
{
    const QRect visible = visibleArea(image.size(), look.displays);
    if (visible.isEmpty()) return;
    // Picture pixels per display pixel, for the display the caption is sized for.
    double scale = 1.0;
    if (!look.displays.isEmpty() && !look.displays.first().isEmpty())
        scale = double(visibleArea(image.size(), {look.displays.first()}).height()) / look.displays.first().height();
    // A small picture or a narrow crop shrinks the caption rather than let it leave the picture.
    scale = std::min(scale, visible.height() / (4.0 * (bottomMargin + titlePixels + creditPixels)));
    const int titleSize = std::max(6, int(std::lround(titlePixels * scale)));
    const int creditSize = std::max(5, int(std::lround(creditPixels * scale)));
    const int right = int(std::lround(rightMargin * scale));
    const int bottom = int(std::lround(bottomMargin * scale));

    QFont titleFont;
    titleFont.setPixelSize(titleSize);
    titleFont.setWeight(QFont::DemiBold);
    QFont creditFont;
    creditFont.setPixelSize(creditSize);
    const QFontMetrics titleMetrics(titleFont);
    const QFontMetrics creditMetrics(creditFont);
    const int widest = int(visible.width() * widestShare);
    const QString title = titleMetrics.elidedText(oneLine(look.title, QStringLiteral(" ")), Qt::ElideRight, widest);
    const QString credit = creditMetrics.elidedText(oneLine(look.credit, QStringLiteral(", ")), Qt::ElideRight, widest);
    if (title.isEmpty() && credit.isEmpty()) return;

    const int width = std::max(title.isEmpty() ? 0 : titleMetrics.horizontalAdvance(title),
                               credit.isEmpty() ? 0 : creditMetrics.horizontalAdvance(credit));
    const int gap = title.isEmpty() || credit.isEmpty() ? 0 : creditSize / 4;
    const int height =
        (title.isEmpty() ? 0 : titleMetrics.height()) + gap + (credit.isEmpty() ? 0 : creditMetrics.height());
    const QRect text(visible.right() - right - width, visible.bottom() - bottom - height, width, height);
    const int radius = std::max(2, titleSize / 4);
    const QRect box = text.adjusted(-2 * radius, -2 * radius, 2 * radius, 2 * radius) & visible;

    // The letters once, in a layer of their own: in black for the shadow, then in white on top.
    QImage letters(box.size(), QImage::Format_ARGB32_Premultiplied);
    letters.fill(Qt::transparent);
    {
        QPainter p(&letters);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setPen(Qt::white);
        const QRect local = text.translated(-box.topLeft());
        int y = local.top();
        if (!title.isEmpty()) {
            p.setFont(titleFont);
            p.drawText(QRect(local.left(), y, local.width(), titleMetrics.height()), Qt::AlignRight, title);
            y += titleMetrics.height() + gap;
        }
        if (!credit.isEmpty()) {
            p.setFont(creditFont);
            p.drawText(QRect(local.left(), y, local.width(), creditMetrics.height()), Qt::AlignRight, credit);
        }
    }
    // A wide soft shadow darkens a bright sky behind the words; a tight one outlines every letter.
    const QImage soft = shadowOf(letters, radius);
    const QImage tight = shadowOf(letters, std::max(2, radius / 3));
    const QPoint offset(std::max(1, radius / 4), std::max(1, radius / 4));
    QPainter p(&image);
    p.setClipRect(box);
    for (int pass = 0; pass < 2; ++pass)
        p.drawImage(box.topLeft() + offset, soft);
    for (int pass = 0; pass < 3; ++pass)
        p.drawImage(box.topLeft() + offset, tight);
    p.drawImage(box.topLeft(), letters);
    if (captionBox) *captionBox = box;
}
} // namespace

QString pathFor(const QString &original, const DerivedLook &look)
{
    // The picture's size and date too: a file written anew under the same name is another picture.
    const QFileInfo source(original);
    QByteArray identity = QByteArray(drawingVersion) + '\n' + QByteArray(look.dimmed ? "dim" : "") + '\n' +
                          QByteArray::number(source.size()) + '\n' +
                          QByteArray::number(source.lastModified().toMSecsSinceEpoch()) + '\n';
    if (look.hasCaption()) {
        identity += look.title.toUtf8() + '\n' + look.credit.toUtf8() + '\n';
        for (const QSize &display : look.displays)
            identity += QByteArray::number(display.width()) + 'x' + QByteArray::number(display.height()) + '\n';
    }
    const QString digest =
        QString::fromLatin1(QCryptographicHash::hash(identity, QCryptographicHash::Sha256).toHex().left(12));
    return original + marker + kindOf(look) + QLatin1Char('-') + digest + QStringLiteral(".jpg");
}

QString originalOf(const QString &path)
{
    static const QRegularExpression name(
        QStringLiteral("^(.+)\\.derived-(caption|dim|caption-dim)-[0-9a-f]{12}\\.jpg$"));
    const QFileInfo info(path);
    const QRegularExpressionMatch match = name.match(info.fileName());
    if (!match.hasMatch()) return {};
    return QDir(info.path()).filePath(match.captured(1));
}

QRect visibleArea(QSize pictureSize, const QList<QSize> &displays)
{
    if (pictureSize.isEmpty()) return {};
    const double w = pictureSize.width();
    const double h = pictureSize.height();
    double left = 0, top = 0, right = w, bottom = h;
    for (const QSize &display : displays) {
        if (display.isEmpty()) continue;
        const double aspect = double(display.width()) / display.height();
        // Scaled to cover the display, then cut evenly on the two sides that stick out.
        const double keptWidth = std::min(w, h * aspect);
        const double keptHeight = std::min(h, w / aspect);
        left = std::max(left, (w - keptWidth) / 2);
        right = std::min(right, (w + keptWidth) / 2);
        top = std::max(top, (h - keptHeight) / 2);
        bottom = std::min(bottom, (h + keptHeight) / 2);
    }
    const int x0 = int(std::ceil(left)), y0 = int(std::ceil(top));
    const int x1 = int(std::floor(right)), y1 = int(std::floor(bottom));
    if (x1 <= x0 || y1 <= y0) return {};
    return QRect(x0, y0, x1 - x0, y1 - y0);
}

QImage render(QImage picture, const DerivedLook &look, QRect *captionBox)
{
    if (captionBox) *captionBox = {};
    QImage image = std::move(picture).convertToFormat(QImage::Format_RGB32);
    if (image.isNull()) return image;
    // Darkened first: the caption stays as bright as on the light copy.
    if (look.dimmed) dim(image);
    if (look.hasCaption()) drawCaption(image, look, captionBox);
    return image;
}

Made make(const QString &original, const DerivedLook &look)
{
    const QString target = pathFor(original, look);
    // Written atomically: a copy that exists is complete.
    if (QFileInfo(target).isFile()) return {target, {}};
    QImageReader reader(original);
    reader.setAutoTransform(true);
    const QImage picture = readWithinWallpaperBounds(reader, reader.size());
    if (picture.isNull()) return {{}, QStringLiteral("%1 could not be read (%2)").arg(original, reader.errorString())};
    const QImage image = render(picture, look);
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly) || !writeJpeg(image, &file, jpegQuality) || !file.commit())
        return {{}, QStringLiteral("%1 could not be written (%2)").arg(target, file.errorString())};
    return {target, {}};
}

} // namespace Starvane::DerivedWallpaper

// SPDX-License-Identifier: GPL-3.0-or-later
// Desktops with one picture for all displays: each display's own picture, cut to its crop and placed where
// the display sits, combined into one picture that the desktop spans.
#include "desktop/linuxwallpaperapplier.h"

#include "async/cancellation.h"
#include "desktop/x11rootbackend.h"
#include "integrity/derivedwallpaper.h"
#include "integrity/jpegwriter.h"
#include "logging.h"
#include "models/errors.h"
#include "models/fileurls.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QSaveFile>

namespace Starvane {

QCoro::Task<> LinuxWallpaperApplier::showSpanned(QList<DisplayWallpaper> pictures, QList<DisplayTarget> all,
                                                 std::stop_token st)
{
    // One picture for the whole desktop: each display's own crop, placed where the display sits in the
    // virtual screen, and the desktop told to span it. The result lives beside the pictures it is made of.
    const QList<DisplayTarget> targets = displayTargets();
    QRect virtualScreen;
    QByteArray identity;
    struct Part
    {
        DisplayTarget display;
        QString path;
        // Drawn on this display's tile, which is exactly what the display shows.
        DerivedLook caption;
    };
    QList<Part> parts;
    for (const DisplayTarget &display : targets) {
        virtualScreen |= display.devicePixelGeometry;
        for (const DisplayWallpaper &wallpaper : std::as_const(pictures)) {
            if (wallpaper.displayKey != display.key) continue;
            const QString path = QDir::cleanPath(wallpaper.file.toLocalFile());
            DerivedLook caption;
            if (m_look.caption) {
                const WallpaperCaption words = captionFor(path);
                caption.title = words.title;
                caption.credit = words.credit;
            }
            parts.append({display, path, caption});
            identity += path.toUtf8() + '\n' + display.key.toUtf8() + '\n' + caption.title.toUtf8() + '\n' +
                        caption.credit.toUtf8() + '\n';
        }
        const QRect g = display.devicePixelGeometry;
        identity += QByteArray::number(g.x()) + ',' + QByteArray::number(g.y()) + ',' + QByteArray::number(g.width()) +
                    ',' + QByteArray::number(g.height()) + '\n';
    }
    const QString folder = QFileInfo(parts.first().path).absolutePath();
    const QString output = QDir(folder).filePath(
        QStringLiteral("spanned-%1.jpg")
            .arg(QString::fromLatin1(QCryptographicHash::hash(identity, QCryptographicHash::Sha256).toHex().left(16))));
    const DerivedLook dimmed{{}, {}, true, {}};
    const QString darkOutput = wantsDarkCopy() ? DerivedWallpaper::pathFor(output, dimmed) : QString();
    // The error of the combined picture, and of its dark copy.
    auto compose = [parts, virtualScreen, output, darkOutput, dimmed]() -> std::pair<QString, QString> {
        QImage canvas(virtualScreen.size(), QImage::Format_RGB32);
        canvas.fill(Qt::black);
        QPainter painter(&canvas);
        for (const Part &part : parts) {
            QString error;
            QImage tile = X11RootBackend::renderForDisplay(part.path, part.display, &error);
            if (tile.isNull()) return {error.isEmpty() ? part.path : error, {}};
            if (part.caption.hasCaption()) tile = DerivedWallpaper::render(tile, part.caption);
            painter.drawImage(part.display.devicePixelGeometry.topLeft() - virtualScreen.topLeft(), tile);
        }
        painter.end();
        QSaveFile file(output);
        if (!file.open(QIODevice::WriteOnly) || !writeJpeg(canvas, &file, 92) || !file.commit())
            return {file.errorString(), {}};
        if (darkOutput.isEmpty()) return {};
        QSaveFile dark(darkOutput);
        if (!dark.open(QIODevice::WriteOnly) || !writeJpeg(DerivedWallpaper::render(canvas, dimmed), &dark, 92) ||
            !dark.commit())
            return {{}, QStringLiteral("%1 could not be written (%2)").arg(darkOutput, dark.errorString())};
        return {};
    };
    const std::pair<QString, QString> composed = co_await runInBackground(std::move(compose));
    const QString &error = composed.first;
    const QString &darkError = composed.second;
    throwIfCancelled(st);
    noteDressingErrors(darkError.isEmpty() ? QStringList() : QStringList{darkError});
    if (!error.isEmpty()) {
        qCWarning(lcDesktop).noquote() << "Could not write the combined picture" << output << error;
        throw WallpaperApplyError::displayUpdateFailed(
            QStringLiteral("the combined picture for all displays could not be written to %1 (%2)").arg(output, error));
    }
    DesktopPicture spanned = DesktopPicture::spannedAcrossDisplays(output);
    if (!darkOutput.isEmpty() && darkError.isEmpty()) {
        if (m_backend->darkPicture())
            spanned.darkPath = darkOutput;
        else
            spanned.path = darkOutput;
    }
    try {
        co_await m_backend->showPicture(targets.first(), spanned, all);
    } catch (const DesktopBackendError &e) {
        qCWarning(lcDesktop) << "Desktop refused the picture:" << e.text();
        throw WallpaperApplyError::displayUpdateFailed(e.text());
    }
    qCInfo(lcDesktop).noquote() << "Set the combined picture" << output << "of" << parts.size() << "display(s) on"
                                << m_backend->desktopName();
}

} // namespace Starvane

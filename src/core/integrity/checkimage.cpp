// SPDX-License-Identifier: GPL-3.0-or-later
#include "checkimage.h"

#include "models/errors.h"
#include "wallpapercache.h"

#include <QFileInfo>
#include <QUrl>

namespace Starvane {

int runCheckImage(const QStringList &files, QTextStream &out)
{
    if (files.isEmpty()) {
        out << "usage: starvane check-image FILE...\n";
        out.flush();
        return 2;
    }
    // Validation never touches the folder, so an empty location is enough.
    const WallpaperCache cache(QUrl(), wallpaperMinimumWidth, wallpaperMinimumHeight, wallpaperMinimumAspectRatio,
                               wallpaperMaximumAspectRatio);
    int status = 0;
    for (const QString &path : files) {
        out << path << ": ";
        try {
            const ValidatedImage image = cache.validateImage(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
            out << "ok " << image.width << 'x' << image.height << ' ' << image.contentHash << '\n';
        } catch (...) {
            out << ChangeError::from(std::current_exception()).localizedDescription() << '\n';
            status = 1;
        }
        out.flush();
    }
    return status;
}

} // namespace Starvane

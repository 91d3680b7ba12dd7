// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures dressed for the desktop: a caption each display keeps after cropping, a darker copy for the
// dark style. The cached picture itself is never touched; the copies live beside it.
#include "async/cancellation.h"
#include "desktop/linuxwallpaperapplier.h"
#include "integrity/derivedwallpaper.h"
#include "logging.h"
#include "models/fileurls.h"

namespace Starvane {

void LinuxWallpaperApplier::setLook(WallpaperLook look)
{
    // A file's caption never changes, and a change still under way may need the words of its own
    // pictures after a newer one has set its look: they are added to, and only forgotten in bulk.
    constexpr qsizetype captionsKept = 64;
    QHash<QUrl, WallpaperCaption> captions = std::move(m_look.captions);
    if (captions.size() > captionsKept) captions.clear();
    captions.insert(look.captions);
    m_look = std::move(look);
    m_look.captions = std::move(captions);
}

bool LinuxWallpaperApplier::showsDarkStyleItself() const
{
    return m_backend->darkPicture();
}

WallpaperCaption LinuxWallpaperApplier::captionFor(const QString &path) const
{
    return m_look.captions.value(standardizedFileURL(QUrl::fromLocalFile(path)));
}

bool LinuxWallpaperApplier::wantsDarkCopy() const
{
    // A desktop that switches by itself needs the dark copy ahead of the switch.
    return m_look.dimInDarkStyle && (m_look.darkStyle || m_backend->darkPicture());
}

QCoro::Task<QList<DesktopPicture>> LinuxWallpaperApplier::dress(QList<Dressing> pictures)
{
    const bool bothStyles = m_backend->darkPicture();
    const bool dark = wantsDarkCopy();
    QList<std::pair<DerivedLook, QString>> work;
    for (const Dressing &picture : std::as_const(pictures)) {
        DerivedLook look;
        if (m_look.caption) {
            const WallpaperCaption caption = captionFor(picture.path);
            look.title = caption.title;
            look.credit = caption.credit;
            for (const DisplayTarget &display : picture.displays)
                look.displays.append(display.devicePixelGeometry.size());
        }
        work.append({look, picture.path});
    }
    auto make = [work, bothStyles, dark] {
        QList<DesktopPicture> made;
        QStringList errors;
        const auto copy = [&errors](const QString &path, const DerivedLook &look) {
            if (look.isPlain()) return path;
            const DerivedWallpaper::Made result = DerivedWallpaper::make(path, look);
            if (!result.error.isEmpty()) errors << result.error;
            return result.path.isEmpty() ? path : result.path;
        };
        for (const auto &[look, path] : work) {
            DerivedLook dimmed = look;
            dimmed.dimmed = true;
            DesktopPicture picture{path, {}, {}};
            if (bothStyles) {
                picture.path = copy(path, look);
                if (dark) picture.darkPath = copy(path, dimmed);
            } else {
                picture.path = copy(path, dark ? dimmed : look);
            }
            made.append(picture);
        }
        return std::make_pair(made, errors);
    };
    // The caller keeps this applier alive across the wait (it holds a shared pointer).
    const std::pair<QList<DesktopPicture>, QStringList> result = co_await runInBackground(std::move(make));
    noteDressingErrors(result.second);
    co_return result.first;
}

void LinuxWallpaperApplier::noteDressingErrors(const QStringList &errors)
{
    if (errors.isEmpty()) {
        m_dressingFailureLogged = false;
        return;
    }
    if (m_dressingFailureLogged) return;
    m_dressingFailureLogged = true;
    qCWarning(lcDesktop).noquote() << "The wallpaper's copy with its caption or for the dark style could not be"
                                   << "made, so the picture is shown as it is:" << errors.first();
}

} // namespace Starvane

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

namespace Starvane {

/// How bright the dark style's copy is, relative to the picture: darker, never black.
inline constexpr double darkStyleBrightness = 0.7;

/// What a copy of a cached picture adds to it. The copy lives beside the picture and has its size, so
/// the desktop crops it exactly as it would crop the picture.
struct DerivedLook
{
    /// Drawn in a corner; both empty: no caption.
    QString title;
    QString credit;
    /// Darkened for the dark style.
    bool dimmed = false;
    /// The pixel sizes of the displays the desktop fills with the picture (centre-cropping it): the
    /// caption stays inside what every one of them keeps, sized for the first. Empty: the picture is
    /// shown whole at one picture pixel per display pixel.
    QList<QSize> displays;

    bool hasCaption() const { return !title.trimmed().isEmpty() || !credit.trimmed().isEmpty(); }
    bool isPlain() const { return !hasCaption() && !dimmed; }
    bool operator==(const DerivedLook &) const = default;
};

/// Copies of cached pictures with a caption or darkened. Every function may run on any thread (a
/// QGuiApplication must exist for the caption's fonts).
namespace DerivedWallpaper {

/// "<picture's file name>.derived-<what>-<digest>.jpg" in the picture's folder: the name says what it
/// shows, so a copy made once is found again instead of being made anew.
QString pathFor(const QString &original, const DerivedLook &look);
/// The picture a derived copy was made from (its path), or empty when `path` is no derived copy.
QString originalOf(const QString &path);
inline bool isDerived(const QString &path)
{
    return !originalOf(path).isEmpty();
}

/// The part of a picture of `pictureSize` that every display of `displays` shows once the desktop has
/// scaled and centre-cropped it to fill that display. The whole picture without displays.
QRect visibleArea(QSize pictureSize, const QList<QSize> &displays);

/// `picture` with the look applied; `captionBox` (when given) receives where the caption went, shadow
/// included (empty without one).
QImage render(QImage picture, const DerivedLook &look, QRect *captionBox = nullptr);

/// Where a derived copy was put, or why there is none.
struct Made
{
    QString path;
    QString error;
};
/// The copy of `original` with `look`: found when it exists, else made and written atomically. The
/// original is only read.
Made make(const QString &original, const DerivedLook &look);

} // namespace DerivedWallpaper
} // namespace Starvane

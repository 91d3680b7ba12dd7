// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/displaytarget.h"

#include <QCoroTask>
#include <QImage>
#include <functional>

#include <QList>
#include <QRect>
#include <QString>
#include <QVariantMap>
#include <exception>
#include <optional>

namespace Starvane {

/// What a display shows: a local file path and the backend's own scaling options. Empty options
/// mean "our fill-and-crop mode" when a picture is set.
struct DesktopPicture
{
    DesktopPicture(QString path = {}, QVariantMap options = {}, QString darkPath = {})
        : path(std::move(path)), options(std::move(options)), darkPath(std::move(darkPath))
    {
    }

    QString path;
    QVariantMap options;
    /// For desktops that keep a picture of their own for the dark style: that one (empty: `path`).
    QString darkPath;

    /// The combined picture of every display, which the desktop spans over all of them instead of
    /// cropping it to each. Said in GSettings' words, which the other desktops read too.
    static DesktopPicture spannedAcrossDisplays(QString path)
    {
        return DesktopPicture{std::move(path), {{QStringLiteral("picture-options"), QStringLiteral("spanned")}}};
    }
    bool spansDisplays() const { return options.value(QStringLiteral("picture-options")).toString() == u"spanned"; }

    bool operator==(const DesktopPicture &) const = default;
};

/// A refusal from the desktop, with a sentence the user can read (no trailing full stop needed).
class DesktopBackendError : public std::exception
{
public:
    explicit DesktopBackendError(QString text) : m_text(std::move(text)), m_utf8(m_text.toUtf8()) {}
    QString text() const { return m_text; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_text;
    QByteArray m_utf8;
};

/// One way of putting a picture on the desktop. Main thread only.
class DesktopBackend
{
public:
    virtual ~DesktopBackend() = default;

    /// Human name of the desktop, used in messages ("GNOME", "KDE Plasma").
    virtual QString desktopName() const = 0;
    /// True when each display can show its own picture; false for one global picture.
    virtual bool perDisplay() const = 0;

    /// What `display` shows now, or nothing when the desktop does not say. Never throws. Awaited: a
    /// desktop service that is slow to answer must not hold up the event loop.
    virtual QCoro::Task<std::optional<DesktopPicture>> shownPicture(DisplayTarget display) = 0;
    /// Shows `picture` on `display` (on a global backend: everywhere). `allDisplays` is every
    /// connected display, primary first. Throws DesktopBackendError. The applier runs one at a time.
    virtual QCoro::Task<> showPicture(DisplayTarget display, DesktopPicture picture,
                                      QList<DisplayTarget> allDisplays) = 0;

    /// True when the desktop keeps a second picture for its dark style and switches by itself.
    virtual bool darkPicture() const { return false; }

    /// True when the desktop's lock screen can show our picture.
    virtual bool lockScreen() const { return false; }
    /// Shows `path` on the lock screen. Throws DesktopBackendError.
    virtual QCoro::Task<> showLockScreenPicture(QString path);

    /// True while the desktop asks the person whether Starvane may change its picture; the showPicture
    /// that asked waits for the answer meanwhile.
    virtual bool askingForPermission() const { return false; }
    /// Told true when the desktop starts asking, false once it has its answer.
    void setPermissionListener(std::function<void(bool asking)> listener)
    {
        m_permissionListener = std::move(listener);
    }

    /// Backends that paint the picture themselves can take it decoded and fitted in advance: a
    /// thread-safe function that renders `path` for `display`, or none.
    virtual std::function<QImage(const QString &path, const DisplayTarget &display)> renderer() const { return {}; }
    /// Hands over what the renderer made (main thread). The next showPicture of that path uses it.
    virtual void adoptRendered(const QString &, const DisplayTarget &, const QImage &) {}

protected:
    void tellAskingForPermission(bool asking) const
    {
        if (m_permissionListener) m_permissionListener(asking);
    }

private:
    std::function<void(bool)> m_permissionListener;
};

} // namespace Starvane

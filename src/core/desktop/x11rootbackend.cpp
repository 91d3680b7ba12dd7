// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/x11rootbackend.h"

#include "async/cancellation.h"
#include "logging.h"

#include <QImage>
#include <QImageIOHandler>
#include <QImageReader>
#include <QJsonDocument>
#include <QJsonObject>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <mutex>

namespace Starvane {

namespace {
// Xlib reports protocol errors through one process-wide handler, and its default one exits. While we
// probe pixmaps another program may have freed, errors are expected: a trap counts them instead. The
// handler is installed once and never swapped back and forth, because traps run on the main thread and
// on the worker that switches the background at the same time; each thread counts its own errors.
thread_local int t_xErrors = 0;
thread_local int t_openTraps = 0;
XErrorHandler g_outsideTraps = nullptr;

int countingHandler(Display *dpy, XErrorEvent *event)
{
    if (t_openTraps > 0) {
        ++t_xErrors;
        return 0;
    }
    return g_outsideTraps ? g_outsideTraps(dpy, event) : 0;
}

class ErrorTrap
{
public:
    explicit ErrorTrap(Display *dpy) : m_dpy(dpy)
    {
        static std::once_flag installed;
        std::call_once(installed, [] { g_outsideTraps = XSetErrorHandler(countingHandler); });
        XSync(m_dpy, False);
        ++t_openTraps;
        m_errorsBefore = t_xErrors;
    }
    ~ErrorTrap()
    {
        XSync(m_dpy, False);
        --t_openTraps;
    }
    bool failed()
    {
        XSync(m_dpy, False);
        return t_xErrors > m_errorsBefore;
    }
    ErrorTrap(const ErrorTrap &) = delete;
    ErrorTrap &operator=(const ErrorTrap &) = delete;

private:
    Display *m_dpy;
    int m_errorsBefore = 0;
};

struct DisplayConnection
{
    Display *dpy = nullptr;
    explicit DisplayConnection(const QByteArray &name) : dpy(XOpenDisplay(name.isEmpty() ? nullptr : name.constData()))
    {
    }
    ~DisplayConnection()
    {
        if (dpy) XCloseDisplay(dpy);
    }
    DisplayConnection(const DisplayConnection &) = delete;
    DisplayConnection &operator=(const DisplayConnection &) = delete;
};

Atom atom(Display *dpy, const char *name)
{
    return XInternAtom(dpy, name, False);
}

/// The XID stored in a PIXMAP or WINDOW property of the root, or 0.
unsigned long xidProperty(Display *dpy, Window window, const char *name, Atom type)
{
    Atom actualType = None;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    unsigned long result = 0;
    if (XGetWindowProperty(dpy, window, atom(dpy, name), 0, 1, False, type, &actualType, &format, &items, &after,
                           &data) == Success &&
        data) {
        if (actualType == type && format == 32 && items == 1) result = *reinterpret_cast<unsigned long *>(data);
        XFree(data);
    }
    return result;
}

QByteArray bytesProperty(Display *dpy, Window window, const char *name)
{
    Atom actualType = None;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    QByteArray result;
    if (XGetWindowProperty(dpy, window, atom(dpy, name), 0, 1 << 20, False, AnyPropertyType, &actualType, &format,
                           &items, &after, &data) == Success &&
        data) {
        if (format == 8) result = QByteArray(reinterpret_cast<const char *>(data), int(items));
        XFree(data);
    }
    return result;
}

/// Our record: which pixmap it describes and the file shown on each monitor.
struct RootRecord
{
    unsigned long pixmap = 0;
    QJsonObject displays;
};

RootRecord readRecord(Display *dpy, Window root)
{
    const QJsonObject json = QJsonDocument::fromJson(bytesProperty(dpy, root, X11RootBackend::recordProperty)).object();
    return {json.value(QStringLiteral("pixmap")).toString().toULong(),
            json.value(QStringLiteral("displays")).toObject()};
}

bool pixmapAlive(Display *dpy, Pixmap pixmap, unsigned *width = nullptr, unsigned *height = nullptr)
{
    if (!pixmap) return false;
    ErrorTrap trap(dpy);
    Window rootReturn;
    int x, y;
    unsigned w = 0, h = 0, border, depth;
    const Status ok = XGetGeometry(dpy, pixmap, &rootReturn, &x, &y, &w, &h, &border, &depth);
    if (trap.failed() || !ok) return false;
    if (width) *width = w;
    if (height) *height = h;
    return true;
}

/// The file our record says `displayName`'s monitor `display` shows, while the record still describes the screen.
std::optional<DesktopPicture> recordedPicture(const QByteArray &displayName, const QString &display)
{
    DisplayConnection conn(displayName);
    if (!conn.dpy) return std::nullopt;
    const Window root = DefaultRootWindow(conn.dpy);
    const RootRecord record = readRecord(conn.dpy, root);
    // Another program that set the background replaced _XROOTPMAP_ID: our record no longer describes the screen.
    if (!record.pixmap || record.pixmap != xidProperty(conn.dpy, root, "_XROOTPMAP_ID", XA_PIXMAP)) return std::nullopt;
    const QString path = record.displays.value(display).toString();
    if (path.isEmpty()) return std::nullopt;
    return DesktopPicture{path, {}};
}

/// Scales to cover `size` and crops the middle: "fill" in every wallpaper tool.
QImage fillAndCrop(const QImage &image, const QSize &size)
{
    const QImage scaled = image.scaled(size, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    const QRect crop((scaled.width() - size.width()) / 2, (scaled.height() - size.height()) / 2, size.width(),
                     size.height());
    return scaled.copy(crop).convertToFormat(QImage::Format_RGB32);
}

/// Uploads `fitted` into a new pixmap that keeps what the other monitors show, then makes it the root's
/// background in one step. Blocks on the X server: run it off the main thread.
unsigned long switchRootPicture(const QByteArray &displayName, const DisplayTarget &display, const QString &path,
                                const QImage &fitted)
{
    // A connection of its own: RetainPermanent keeps every resource of the connection alive after we
    // close it, and that must be the pixmap only.
    DisplayConnection conn(displayName);
    Display *dpy = conn.dpy;
    if (!dpy) throw DesktopBackendError(QStringLiteral("the X display could not be opened"));

    const int screen = DefaultScreen(dpy);
    const Window root = RootWindow(dpy, screen);
    const unsigned rootWidth = unsigned(DisplayWidth(dpy, screen));
    const unsigned rootHeight = unsigned(DisplayHeight(dpy, screen));
    const int depth = DefaultDepth(dpy, screen);
    Visual *visual = DefaultVisual(dpy, screen);
    if (depth < 24 || visual->c_class != TrueColor)
        throw DesktopBackendError(QStringLiteral("the X screen has %1-bit colour, which is not supported").arg(depth));

    const QRect target = display.devicePixelGeometry.intersected(QRect(0, 0, int(rootWidth), int(rootHeight)));
    if (target.isEmpty())
        throw DesktopBackendError(QStringLiteral("the display %1 lies outside the X screen").arg(display.name));
    const QImage tile = fitted.copy(target.translated(-display.devicePixelGeometry.topLeft()));

    // Keep what the other monitors show: start from the current background when there is one.
    const Pixmap oldRoot = xidProperty(dpy, root, "_XROOTPMAP_ID", XA_PIXMAP);
    unsigned oldWidth = 0, oldHeight = 0;
    const bool keepOld = pixmapAlive(dpy, oldRoot, &oldWidth, &oldHeight);
    // The old pixmap may vanish meanwhile; the trap turns that error into a black area.
    ErrorTrap trap(dpy);
    const Pixmap pixmap = XCreatePixmap(dpy, root, rootWidth, rootHeight, unsigned(depth));
    GC gc = XCreateGC(dpy, pixmap, 0, nullptr);
    XSetForeground(dpy, gc, BlackPixel(dpy, screen));
    if (!keepOld || oldWidth < rootWidth || oldHeight < rootHeight)
        XFillRectangle(dpy, pixmap, gc, 0, 0, rootWidth, rootHeight);
    if (keepOld)
        XCopyArea(dpy, oldRoot, pixmap, gc, 0, 0, std::min(oldWidth, rootWidth), std::min(oldHeight, rootHeight), 0, 0);
    XFlush(dpy);

    // The pixmap is not shown until the switch below, so nobody sees a half-painted background.
    XImage *upload = XCreateImage(dpy, visual, unsigned(depth), ZPixmap, 0,
                                  reinterpret_cast<char *>(const_cast<uchar *>(tile.constBits())),
                                  unsigned(tile.width()), unsigned(tile.height()), 32, int(tile.bytesPerLine()));
    if (!upload) {
        XFreeGC(dpy, gc);
        XFreePixmap(dpy, pixmap);
        throw DesktopBackendError(QStringLiteral("the X server could not take the picture"));
    }
    upload->byte_order = LSBFirst; // QImage::Format_RGB32 is 0xffRRGGBB in host order
    XPutImage(dpy, pixmap, gc, upload, 0, 0, target.x(), target.y(), unsigned(tile.width()), unsigned(tile.height()));
    upload->data = nullptr; // owned by the QImage
    XDestroyImage(upload);
    XFreeGC(dpy, gc);

    // Read what the root shows only now: other programs may have changed it while the pixels travelled.
    const Pixmap shownRoot = xidProperty(dpy, root, "_XROOTPMAP_ID", XA_PIXMAP);
    const Pixmap oldEsetroot = xidProperty(dpy, root, "ESETROOT_PMAP_ID", XA_PIXMAP);
    RootRecord record = readRecord(dpy, root);
    if (record.pixmap != shownRoot) record.displays = {};

    // The switch, in one go: properties, background, repaint.
    const Atom rootAtom = atom(dpy, "_XROOTPMAP_ID");
    const Atom esetrootAtom = atom(dpy, "ESETROOT_PMAP_ID");
    XChangeProperty(dpy, root, rootAtom, XA_PIXMAP, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(&pixmap), 1);
    XChangeProperty(dpy, root, esetrootAtom, XA_PIXMAP, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(&pixmap), 1);

    record.pixmap = pixmap;
    record.displays.insert(display.name, path);
    const QByteArray json = QJsonDocument(QJsonObject{{QStringLiteral("pixmap"), QString::number(pixmap)},
                                                      {QStringLiteral("displays"), record.displays}})
                                .toJson(QJsonDocument::Compact);
    XChangeProperty(dpy, root, atom(dpy, X11RootBackend::recordProperty), atom(dpy, "UTF8_STRING"), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(json.constData()), int(json.size()));

    XSetWindowBackgroundPixmap(dpy, root, pixmap);
    XClearWindow(dpy, root);

    // The Esetroot convention: the program that set the previous background left its client alive
    // to keep the pixmap, and named it in both properties; killing that client frees it (ours included,
    // from the previous change). When the two differ, ESETROOT_PMAP_ID is a leftover that may name a
    // resource of a client still in use, so it is left alone.
    if (oldEsetroot && oldEsetroot == shownRoot && oldEsetroot != pixmap && pixmapAlive(dpy, oldEsetroot)) {
        ErrorTrap trap(dpy);
        XKillClient(dpy, oldEsetroot);
    }
    XSetCloseDownMode(dpy, RetainPermanent);
    return pixmap;
}

} // namespace

X11RootBackend::X11RootBackend(QByteArray displayName) : m_displayName(std::move(displayName)) {}

QCoro::Task<std::optional<DesktopPicture>> X11RootBackend::shownPicture(DisplayTarget display)
{
    // Every conversation with the X server happens off the main thread: a round trip lasts as long as
    // the server takes to get to it, and a server busy with another client's pixels would hold the event loop.
    auto read = [displayName = m_displayName, name = display.name] { return recordedPicture(displayName, name); };
    co_return co_await runInBackground(std::move(read));
}

QImage X11RootBackend::renderForDisplay(const QString &path, const DisplayTarget &display, QString *error)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    // Archive pictures are far larger than a monitor: let the decoder scale down while it reads.
    const QSize source = reader.size();
    const bool rotated = reader.transformation() & QImageIOHandler::TransformationRotate90;
    if (source.isValid() && !rotated) {
        const QSize cover = source.scaled(display.devicePixelGeometry.size(), Qt::KeepAspectRatioByExpanding);
        if (cover.width() < source.width() && !cover.isEmpty()) reader.setScaledSize(cover);
    }
    const QImage image = reader.read();
    if (image.isNull()) {
        if (error) *error = reader.errorString();
        return {};
    }
    return fillAndCrop(image, display.devicePixelGeometry.size());
}

std::function<QImage(const QString &, const DisplayTarget &)> X11RootBackend::renderer() const
{
    return [](const QString &path, const DisplayTarget &display) { return renderForDisplay(path, display); };
}

void X11RootBackend::adoptRendered(const QString &path, const DisplayTarget &display, const QImage &image)
{
    if (m_renderedPath != path) {
        m_rendered.clear();
        m_renderedPath = path;
    }
    if (!image.isNull()) m_rendered.insert(display.name, image);
}

QCoro::Task<> X11RootBackend::showPicture(DisplayTarget display, DesktopPicture picture, QList<DisplayTarget>)
{
    // Decoding a large picture takes a noticeable time: use the copy rendered off the main thread
    // when there is one for this picture and this display's size, else render it off the main thread now.
    QImage fitted;
    if (m_renderedPath == picture.path) fitted = m_rendered.take(display.name);
    if (m_rendered.isEmpty()) m_renderedPath.clear();
    if (fitted.size() != display.devicePixelGeometry.size()) {
        auto render = [path = picture.path, display] {
            QString error;
            QImage image = renderForDisplay(path, display, &error);
            return std::make_pair(image, error);
        };
        const std::pair<QImage, QString> rendered = co_await runInBackground(std::move(render));
        if (rendered.first.isNull())
            throw DesktopBackendError(QStringLiteral("the picture could not be read (%1)").arg(rendered.second));
        fitted = rendered.first;
    }

    auto upload = [displayName = m_displayName, display, path = picture.path, fitted = std::move(fitted)] {
        return switchRootPicture(displayName, display, path, fitted);
    };
    const unsigned long pixmap = co_await runInBackground(std::move(upload));
    qCDebug(lcDesktop).noquote() << "Root pixmap" << Qt::hex << pixmap << "shows" << picture.path << "on"
                                 << display.name;
}

X11DesktopFacts probeX11Desktop(const QByteArray &displayName)
{
    X11DesktopFacts facts;
    DisplayConnection conn(displayName);
    if (!conn.dpy) return facts;
    facts.reachable = true;
    Display *dpy = conn.dpy;
    const Window root = DefaultRootWindow(dpy);
    const Atom typeAtom = atom(dpy, "_NET_WM_WINDOW_TYPE");
    const Atom desktopType = atom(dpy, "_NET_WM_WINDOW_TYPE_DESKTOP");

    // Desktop windows are usually not reparented, so the root's children cover them.
    Window rootReturn, parent;
    Window *children = nullptr;
    unsigned count = 0;
    ErrorTrap trap(dpy);
    if (!XQueryTree(dpy, root, &rootReturn, &parent, &children, &count)) return facts;
    for (unsigned i = 0; i < count && !facts.desktopWindowMapped; ++i) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(dpy, children[i], &attributes) || attributes.map_state != IsViewable) continue;
        Atom actualType = None;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char *data = nullptr;
        if (XGetWindowProperty(dpy, children[i], typeAtom, 0, 16, False, XA_ATOM, &actualType, &format, &items, &after,
                               &data) == Success &&
            data) {
            const auto *types = reinterpret_cast<const unsigned long *>(data);
            for (unsigned long t = 0; t < items; ++t) {
                if (types[t] == desktopType) facts.desktopWindowMapped = true;
            }
            XFree(data);
        }
    }
    if (children) XFree(children);
    return facts;
}

} // namespace Starvane

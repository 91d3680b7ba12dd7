// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/systemevents.h"

#include "desktop/swayipc.h"
#include "logging.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcessEnvironment>
#include <QUrl>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

namespace Starvane {

namespace {
const QString logindService = QStringLiteral("org.freedesktop.login1");
const QString logindPath = QStringLiteral("/org/freedesktop/login1");
const QString logindInterface = QStringLiteral("org.freedesktop.login1.Manager");
} // namespace

class SystemEvents::X11Filter : public QAbstractNativeEventFilter
{
public:
    X11Filter(SystemEvents *owner, xcb_window_t root, xcb_atom_t currentDesktop)
        : m_owner(owner), m_root(root), m_currentDesktop(currentDesktop)
    {
    }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "xcb_generic_event_t") return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
        const auto *property = static_cast<const xcb_property_notify_event_t *>(message);
        if (property->window == m_root && property->atom == m_currentDesktop) m_owner->noteWorkspaceChange();
        return false; // Qt needs root property events too
    }

private:
    SystemEvents *m_owner;
    xcb_window_t m_root;
    xcb_atom_t m_currentDesktop;
};

SystemEvents::SystemEvents(QObject *parent) : QObject(parent), m_systemBus(QString())
{
    m_workspaceSettle.setSingleShot(true);
    m_workspaceSettle.setInterval(workspaceSettleMs);
    connect(&m_workspaceSettle, &QTimer::timeout, this, &SystemEvents::activeWorkspaceChanged);
}

SystemEvents::~SystemEvents()
{
    if (m_x11Filter && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(m_x11Filter.get());
}

void SystemEvents::start()
{
    watchWake(QDBusConnection::systemBus());
    watchX11Workspaces();
    const QString swaySocket = QProcessEnvironment::systemEnvironment().value(QStringLiteral("SWAYSOCK"));
    if (!swaySocket.isEmpty()) watchSwayWorkspaces(swaySocket);
}

void SystemEvents::watchWake(QDBusConnection systemBus)
{
    m_systemBus = systemBus;
    if (!m_systemBus.isConnected()) {
        qCWarning(lcDesktop) << "No system bus: wake from sleep will not be noticed";
        return;
    }
    // Qt refuses a subscription while the name has no owner; try again once logind appears.
    auto *watcher =
        new QDBusServiceWatcher(logindService, m_systemBus, QDBusServiceWatcher::WatchForRegistration, this);
    connect(watcher, &QDBusServiceWatcher::serviceRegistered, this, &SystemEvents::onLogindRegistered);
    subscribeToLogind();
}

void SystemEvents::subscribeToLogind()
{
    if (m_logindSubscribed) return;
    // Naming the service makes Qt deliver only signals sent by the name's current owner: another
    // program on the bus cannot fake a wake-up.
    m_logindSubscribed = m_systemBus.connect(logindService, logindPath, logindInterface,
                                             QStringLiteral("PrepareForSleep"), this, SLOT(onPrepareForSleep(bool)));
    qCDebug(lcDesktop) << "logind PrepareForSleep subscription:" << m_logindSubscribed;
}

void SystemEvents::onLogindRegistered()
{
    if (m_logindSubscribed) {
        m_systemBus.disconnect(logindService, logindPath, logindInterface, QStringLiteral("PrepareForSleep"), this,
                               SLOT(onPrepareForSleep(bool)));
        m_logindSubscribed = false;
    }
    subscribeToLogind();
}

void SystemEvents::onPrepareForSleep(bool sleeping)
{
    if (sleeping) return;
    qCInfo(lcDesktop) << "System woke from sleep";
    Q_EMIT systemDidWake();
}

bool SystemEvents::watchX11Workspaces()
{
    if (m_x11Filter) return true;
    auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (!app) return false;
    auto *x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) return false;
    xcb_connection_t *conn = x11->connection();
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(conn)).data;
    if (!screen) return false;
    const xcb_window_t root = screen->root;

    static constexpr char name[] = "_NET_CURRENT_DESKTOP";
    xcb_intern_atom_reply_t *atomReply =
        xcb_intern_atom_reply(conn, xcb_intern_atom(conn, 0, sizeof(name) - 1, name), nullptr);
    if (!atomReply) return false;
    const xcb_atom_t currentDesktop = atomReply->atom;
    free(atomReply);

    // Qt already listens on the root window: add our mask to its own instead of replacing it.
    xcb_get_window_attributes_reply_t *attributes =
        xcb_get_window_attributes_reply(conn, xcb_get_window_attributes(conn, root), nullptr);
    if (!attributes) return false;
    const uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_PROPERTY_CHANGE;
    free(attributes);
    xcb_change_window_attributes(conn, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(conn);

    m_x11Filter = std::make_unique<X11Filter>(this, root, currentDesktop);
    QCoreApplication::instance()->installNativeEventFilter(m_x11Filter.get());
    return true;
}

void SystemEvents::watchSwayWorkspaces(const QString &socketPath)
{
    delete m_sway;
    m_swayBuffer.clear();
    m_sway = new QLocalSocket(this);
    connect(m_sway, &QLocalSocket::connected, this,
            [this] { m_sway->write(SwayIpc::frame(SwayIpc::subscribe, QByteArrayLiteral("[\"workspace\"]"))); });
    connect(m_sway, &QLocalSocket::readyRead, this, &SystemEvents::readSway);
    connect(m_sway, &QLocalSocket::errorOccurred, this, [](QLocalSocket::LocalSocketError) {
        qCWarning(lcDesktop) << "sway IPC subscription failed: workspace switches will not be noticed";
    });
    m_sway->connectToServer(socketPath);
}

void SystemEvents::readSway()
{
    m_swayBuffer.append(m_sway->readAll());
    while (std::optional<SwayIpc::Message> message = SwayIpc::takeMessage(m_swayBuffer)) {
        if (message->type != SwayIpc::workspaceEvent) continue;
        const QJsonObject event = QJsonDocument::fromJson(message->payload).object();
        if (event.value(QStringLiteral("change")).toString() == u"focus") noteWorkspaceChange();
    }
}

void SystemEvents::noteWorkspaceChange()
{
    m_workspaceSettle.start();
}

void revealInFileManager(const QUrl &file, QDBusConnection bus)
{
    const QUrl folder = QUrl::fromLocalFile(QFileInfo(file.toLocalFile()).absolutePath());
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call.setArguments({QStringList{file.toString(QUrl::FullyEncoded)}, QString()});
    if (!bus.isConnected()) {
        QDesktopServices::openUrl(folder);
        return;
    }
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 3000), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [watcher, folder] {
        if (watcher->isError()) {
            qCDebug(lcDesktop) << "No file manager on the bus:" << watcher->error().message();
            QDesktopServices::openUrl(folder);
        }
        watcher->deleteLater();
    });
}

} // namespace Starvane

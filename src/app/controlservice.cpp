// SPDX-License-Identifier: GPL-3.0-or-later
#include "controlservice.h"

#include "menubarcontentview.h"
#include "store/wallpaperstore.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QLocale>
#include <QTimer>

namespace Starvane {

ControlService::ControlService(WallpaperStore *store, std::function<void()> showWindow, QObject *parent)
    : QObject(parent), m_store(store), m_showWindow(std::move(showWindow))
{
}

bool ControlService::registerOnSessionBus(QString *error)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        *error = QStringLiteral("no session bus: %1").arg(bus.lastError().message());
        return false;
    }
    const auto reply = bus.interface()->registerService(kServiceName, QDBusConnectionInterface::DontQueueService,
                                                        QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        *error = QStringLiteral("%1 is already owned by another instance").arg(kServiceName);
        return false;
    }
    if (!bus.registerObject(kControlPath, this, QDBusConnection::ExportScriptableSlots)) {
        *error = QStringLiteral("could not export %1: %2").arg(kControlPath, bus.lastError().message());
        return false;
    }
    return true;
}

QString ControlService::statusText(const WallpaperStore &store)
{
    QStringList lines;
    if (const auto &image = store.currentImage()) {
        lines << QStringLiteral("Wallpaper: %1 (%2)").arg(image->title.trimmed(), image->id);
        lines << QStringLiteral("Credit: %1").arg(image->credit);
    } else {
        lines << QStringLiteral("Wallpaper: none yet");
    }
    if (const auto &file = store.currentLocalFileURL())
        lines << QStringLiteral("File: %1").arg(file->toLocalFile());
    lines << QStringLiteral("Status: %1").arg(MenuBarContentView::statusSummary(store.settings(), store.isLoading()));
    lines << QStringLiteral("Displays: %1").arg(DisplayScopes::displayName(store.settings().displayScope));
    if (const auto &next = store.nextChangeDate())
        lines << QStringLiteral("Next change: %1").arg(next->toLocalTime().toString(Qt::ISODate));
    else
        lines << QStringLiteral("Next change: none scheduled");
    if (const auto &error = store.errorMessage())
        lines << QStringLiteral("Error: %1").arg(*error);
    return lines.join(QLatin1Char('\n'));
}

void ControlService::Next() { m_store->requestNextWallpaper(); }

void ControlService::Pause()
{
    if (!m_store->settings().isPaused)
        m_store->togglePaused();
}

void ControlService::Resume()
{
    if (m_store->settings().isPaused)
        m_store->togglePaused();
}

void ControlService::TogglePause() { m_store->togglePaused(); }

QString ControlService::Status() { return statusText(*m_store); }

void ControlService::ShowWindow()
{
    if (m_showWindow)
        m_showWindow();
}

void ControlService::Quit()
{
    // Answer the caller first, then leave.
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

} // namespace Starvane

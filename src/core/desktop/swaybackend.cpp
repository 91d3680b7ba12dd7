// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/swaybackend.h"

#include "desktop/dbuscall.h"
#include "desktop/swayipc.h"
#include "logging.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>

namespace Starvane {

SwayBackend::SwayBackend(QString socketPath) : m_socketPath(std::move(socketPath)) {}

QCoro::Task<std::optional<DesktopPicture>> SwayBackend::shownPicture(DisplayTarget display)
{
    const auto it = m_shown.constFind(display.name);
    if (it == m_shown.cend()) co_return std::nullopt;
    co_return DesktopPicture{*it, {}};
}

QCoro::Task<> SwayBackend::showPicture(DisplayTarget display, DesktopPicture picture, QList<DisplayTarget>)
{
    const std::optional<QString> output = SwayIpc::quoted(display.name);
    const std::optional<QString> path = SwayIpc::quoted(picture.path);
    if (!output || !path)
        throw DesktopBackendError(QStringLiteral("sway cannot be given a file name containing quotes, backslashes, "
                                                 "dollar signs or line breaks"));

    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    // A local socket connects at once unless sway's backlog is full; then wait without blocking.
    if (socket.state() == QLocalSocket::ConnectingState)
        co_await nextSignal(&socket, &QLocalSocket::connected, std::chrono::milliseconds(SwayIpc::timeoutMs), {});
    if (socket.state() != QLocalSocket::ConnectedState)
        throw DesktopBackendError(QStringLiteral("sway did not answer on its IPC socket %1").arg(m_socketPath));

    const QString command = QStringLiteral("output %1 bg %2 fill").arg(*output, *path);
    const std::optional<SwayIpc::Message> reply =
        co_await SwayIpc::request(&socket, SwayIpc::runCommand, command.toUtf8());
    if (!reply) throw DesktopBackendError(QStringLiteral("sway did not answer the command in time"));
    const QJsonArray results = QJsonDocument::fromJson(reply->payload).array();
    if (results.isEmpty()) throw DesktopBackendError(QStringLiteral("sway sent an answer that could not be read"));
    for (const QJsonValue &result : results) {
        const QJsonObject object = result.toObject();
        if (!object.value(QStringLiteral("success")).toBool()) {
            const QString error = object.value(QStringLiteral("error")).toString();
            throw DesktopBackendError(QStringLiteral("sway refused the picture (%1)")
                                          .arg(error.isEmpty() ? QStringLiteral("no reason given") : error));
        }
    }
    m_shown.insert(display.name, picture.path);
    qCDebug(lcDesktop).noquote() << "sway output" << display.name << "shows" << picture.path;
}

} // namespace Starvane

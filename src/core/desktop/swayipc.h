// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QCoroTask>
#include <QString>
#include <optional>

class QLocalSocket;

namespace Starvane {

/// The i3/sway IPC framing: "i3-ipc", payload length and message type (both u32, host order), payload.
namespace SwayIpc {
enum MessageType : quint32 { runCommand = 0, subscribe = 2 };
constexpr quint32 eventBit = 0x80000000u;
constexpr quint32 workspaceEvent = eventBit | 0u;
constexpr int timeoutMs = 3000;

QByteArray frame(quint32 type, const QByteArray &payload);

struct Message
{
    quint32 type = 0;
    QByteArray payload;
};
/// Takes one whole message off the front of `buffer`, or nothing while it is incomplete.
/// A buffer that does not start with the magic string is cleared and nothing returned.
std::optional<Message> takeMessage(QByteArray &buffer);

/// Sends one message on a connected socket and awaits its reply, at most our time-out. Events that arrive
/// in between are skipped. Nothing on time-out or a closed socket.
QCoro::Task<std::optional<Message>> request(QLocalSocket *socket, quint32 type, QByteArray payload);

/// `text` quoted for sway's command parser; nothing when it holds characters sway would
/// re-interpret (quotes, backslashes, line breaks, shell expansion).
std::optional<QString> quoted(const QString &text);
} // namespace SwayIpc

} // namespace Starvane

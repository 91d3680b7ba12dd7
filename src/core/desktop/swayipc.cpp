// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/swayipc.h"

#include <QLocalSocket>
#include <cstring>

namespace Starvane::SwayIpc {

namespace {
constexpr char magic[] = "i3-ipc";
constexpr qsizetype magicSize = 6;
constexpr qsizetype headerSize = magicSize + 8;
constexpr quint32 maximumPayload = 64u << 20;
} // namespace

QByteArray frame(quint32 type, const QByteArray &payload)
{
    QByteArray bytes(magic, magicSize);
    const quint32 length = quint32(payload.size());
    bytes.append(reinterpret_cast<const char *>(&length), 4);
    bytes.append(reinterpret_cast<const char *>(&type), 4);
    bytes.append(payload);
    return bytes;
}

std::optional<Message> takeMessage(QByteArray &buffer)
{
    if (buffer.size() >= magicSize && !buffer.startsWith(QByteArrayView(magic, magicSize))) {
        buffer.clear();
        return std::nullopt;
    }
    if (buffer.size() < headerSize) return std::nullopt;
    quint32 length = 0;
    quint32 type = 0;
    std::memcpy(&length, buffer.constData() + magicSize, 4);
    std::memcpy(&type, buffer.constData() + magicSize + 4, 4);
    if (length > maximumPayload) {
        buffer.clear();
        return std::nullopt;
    }
    if (buffer.size() < headerSize + qsizetype(length)) return std::nullopt;
    Message message{type, buffer.mid(headerSize, length)};
    buffer.remove(0, headerSize + length);
    return message;
}

std::optional<Message> request(QLocalSocket &socket, quint32 type, const QByteArray &payload)
{
    socket.write(frame(type, payload));
    if (!socket.waitForBytesWritten(timeoutMs)) return std::nullopt;
    QByteArray buffer;
    for (;;) {
        while (std::optional<Message> message = takeMessage(buffer)) {
            if (!(message->type & eventBit)) return message;
        }
        if (!socket.waitForReadyRead(timeoutMs)) return std::nullopt;
        buffer.append(socket.readAll());
    }
}

std::optional<QString> quoted(const QString &text)
{
    for (const QChar c : text) {
        if (c == u'"' || c == u'\\' || c == u'\n' || c == u'\r' || c == u'$' || c == u'`' || c == u'\'')
            return std::nullopt;
    }
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace Starvane::SwayIpc

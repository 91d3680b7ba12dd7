// SPDX-License-Identifier: GPL-3.0-or-later
#include "logging.h"

#include <QByteArray>
#include <QString>
#include <QtEndian>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace Starvane {
Q_LOGGING_CATEGORY(lcStore, "com.quorvex.Starvane.WallpaperStore")
Q_LOGGING_CATEGORY(lcArchive, "com.quorvex.Starvane.HubbleAPIClient")
Q_LOGGING_CATEGORY(lcCache, "com.quorvex.Starvane.WallpaperCache")
Q_LOGGING_CATEGORY(lcDesktop, "com.quorvex.Starvane.WallpaperApplier")
Q_LOGGING_CATEGORY(lcApp, "com.quorvex.Starvane.App")
Q_LOGGING_CATEGORY(lcUpdate, "com.quorvex.Starvane.UpdateController")
Q_LOGGING_CATEGORY(lcTasks, "com.quorvex.Starvane.Tasks")

namespace {
int syslogPriority(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg: return 7;
    case QtInfoMsg: return 6;
    case QtWarningMsg: return 4;
    case QtCriticalMsg: return 3;
    case QtFatalMsg: return 2;
    }
    return 6;
}

// Binary field form: survives newlines in the value.
void appendField(QByteArray &out, const char *key, const QByteArray &value)
{
    out.append(key);
    out.append('\n');
    char len[8];
    qToLittleEndian<quint64>(quint64(value.size()), len);
    out.append(len, 8);
    out.append(value);
    out.append('\n');
}

int g_journalSocket = -1;
QtMessageHandler g_previousHandler = nullptr;

void journalHandler(QtMsgType type, const QMessageLogContext &ctx, const QString &msg)
{
    const QByteArray record = journalRecord(type, ctx.category, msg);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, "/run/systemd/journal/socket", sizeof(addr.sun_path) - 1);
    const ssize_t sent = ::sendto(g_journalSocket, record.constData(), size_t(record.size()), MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr *>(&addr), sizeof(addr));
    if (sent < 0 && g_previousHandler)
        g_previousHandler(type, ctx, msg);
}
} // namespace

QByteArray journalRecord(QtMsgType type, const char *category, const QString &message)
{
    QByteArray out;
    appendField(out, "MESSAGE", message.toUtf8());
    appendField(out, "PRIORITY", QByteArray::number(syslogPriority(type)));
    appendField(out, "SYSLOG_IDENTIFIER", "starvane");
    if (category)
        appendField(out, "QT_CATEGORY", category);
    return out;
}

void installLogHandler()
{
    if (::isatty(STDERR_FILENO))
        return;
    if (::access("/run/systemd/journal/socket", W_OK) != 0)
        return;
    g_journalSocket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (g_journalSocket < 0)
        return;
    g_previousHandler = qInstallMessageHandler(journalHandler);
}

} // namespace Starvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandline.h"

#include "controlservice.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <QTextStream>

namespace Starvane {

namespace {
constexpr int kCallTimeoutMs = 5000;
}

QString usageText()
{
    return QStringLiteral(
        "Usage: starvane [COMMAND]\n"
        "\n"
        "Keeps the desktop supplied with photographs from the ESA/Hubble archive.\n"
        "Without a command, starts Starvane (or shows the window of the one already running).\n"
        "\n"
        "Commands (sent to the running Starvane):\n"
        "  next                 change the wallpaper now\n"
        "  pause                pause automatic changes\n"
        "  resume               resume automatic changes\n"
        "  status               print the current wallpaper, schedule and any error\n"
        "  show                 open the Starvane window\n"
        "  quit                 quit Starvane\n"
        "\n"
        "  check-image FILE...  check image files as Starvane's cache would and say why one is refused\n"
        "\n"
        "Options:\n"
        "  -h, --help           show this help\n"
        "  -v, --version        show the version\n");
}

Command parseCommandLine(const QStringList &arguments)
{
    Command c;
    const QStringList args = arguments.mid(1);
    if (args.isEmpty())
        return c;
    const QString &first = args.first();
    const auto simple = [&](Command::Kind kind) {
        if (args.size() > 1) {
            c.kind = Command::Kind::invalid;
            c.error = QStringLiteral("'%1' takes no arguments").arg(first);
        } else {
            c.kind = kind;
        }
        return c;
    };
    if (first == QLatin1String("-h") || first == QLatin1String("--help") || first == QLatin1String("help"))
        return simple(Command::Kind::help);
    if (first == QLatin1String("-v") || first == QLatin1String("--version"))
        return simple(Command::Kind::version);
    if (first == QLatin1String("--at-login")) {
        c.atLogin = true;
        return simple(Command::Kind::run);
    }
    if (first == QLatin1String("next"))
        return simple(Command::Kind::next);
    if (first == QLatin1String("pause"))
        return simple(Command::Kind::pause);
    if (first == QLatin1String("resume"))
        return simple(Command::Kind::resume);
    if (first == QLatin1String("status"))
        return simple(Command::Kind::status);
    if (first == QLatin1String("show"))
        return simple(Command::Kind::show);
    if (first == QLatin1String("quit"))
        return simple(Command::Kind::quit);
    if (first == QLatin1String("check-image")) {
        c.files = args.mid(1);
        if (c.files.isEmpty()) {
            c.kind = Command::Kind::invalid;
            c.error = QStringLiteral("'check-image' needs at least one file");
        } else {
            c.kind = Command::Kind::checkImage;
        }
        return c;
    }
    c.kind = Command::Kind::invalid;
    c.error = QStringLiteral("unknown command '%1'").arg(first);
    return c;
}

int sendToRunningInstance(const Command &command, QTextStream &out, QTextStream &err)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(kServiceName).value()) {
        err << "Starvane is not running. Start it with: starvane\n";
        return 1;
    }
    QDBusInterface control(kServiceName, kControlPath, kControlInterface, bus);
    control.setTimeout(kCallTimeoutMs);

    QString method;
    switch (command.kind) {
    case Command::Kind::run:
    case Command::Kind::show: method = QStringLiteral("ShowWindow"); break;
    case Command::Kind::next: method = QStringLiteral("Next"); break;
    case Command::Kind::pause: method = QStringLiteral("Pause"); break;
    case Command::Kind::resume: method = QStringLiteral("Resume"); break;
    case Command::Kind::quit: method = QStringLiteral("Quit"); break;
    case Command::Kind::status: method = QStringLiteral("Status"); break;
    default: err << "starvane: this command is not sent to the running instance\n"; return 1;
    }
    const QDBusMessage reply = control.call(method);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        err << "starvane: the running instance did not answer: " << reply.errorMessage() << "\n";
        return 1;
    }
    if (command.kind == Command::Kind::next) {
        out << "Changing the wallpaper\u2026\n";
    } else if (command.kind == Command::Kind::pause || command.kind == Command::Kind::resume ||
               command.kind == Command::Kind::status) {
        // Pausing does nothing in manual mode, so show what the state now is rather than assume.
        const QDBusReply<QString> status = command.kind == Command::Kind::status ? QDBusReply<QString>(reply)
                                                                                   : QDBusReply<QString>(control.call(QStringLiteral("Status")));
        if (!status.isValid()) {
            err << "starvane: the running instance did not answer: " << status.error().message() << "\n";
            return 1;
        }
        out << status.value() << "\n";
    }
    return 0;
}

} // namespace Starvane

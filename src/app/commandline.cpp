// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandline.h"

#include "controlservice.h"
#include "models/errors.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTextStream>

namespace Starvane {

namespace {
constexpr int kCallTimeoutMs = 5000;
}

namespace {
struct CommandLine
{
    Q_DECLARE_TR_FUNCTIONS(Starvane::CommandLine)
};
} // namespace

QString usageText()
{
    //: The command and option words (next, --json, manual, 5m…) are typed as they are: keep them, and
    //: keep the descriptions lined up in one column.
    return QCoreApplication::translate(
        "Starvane::CommandLine",
        "Usage: starvane [COMMAND]\n"
        "\n"
        "Keeps the desktop supplied with photographs from the ESA/Hubble archive.\n"
        "Without a command, starts Starvane (or shows the window of the one already running).\n"
        "\n"
        "Commands (sent to the running Starvane):\n"
        "  next                 change the wallpaper now\n"
        "  previous             go back to the wallpaper shown before\n"
        "  keep                 keep the wallpaper in the Pictures folder\n"
        "  unkeep               no longer keep the wallpaper\n"
        "  never-again          never show the wallpaper again, and change it now\n"
        "  history [--json]     list the wallpapers shown lately, newest first\n"
        "  pause                pause automatic changes\n"
        "  resume               resume automatic changes\n"
        "  status [--json]      print the current wallpaper, schedule and any error\n"
        "                       (--json: one JSON object, for scripts)\n"
        "  frequency WHEN       change how often: manual, 5m, 15m, hourly or daily\n"
        "  displays WHICH       change which displays: all, main or each (a picture of its own on each)\n"
        "  lock-screen on|off   also use the pictures for the lock screen, or stop\n"
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
    const auto invalid = [&c](const QString &error) {
        c.kind = Command::Kind::invalid;
        c.error = error;
        return c;
    };
    const QStringList args = arguments.mid(1);

    // Options count only before the command; what follows it belongs to the command.
    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    const QCommandLineOption atLogin(QStringLiteral("at-login"));
    parser.addOptions({help, version, atLogin});
    if (!parser.parse(arguments)) {
        const QStringList known{QStringLiteral("-h"), QStringLiteral("--help"), QStringLiteral("-v"),
                                QStringLiteral("--version"), QStringLiteral("--at-login")};
        for (const QString &arg : args)
            if (arg.startsWith(QLatin1Char('-')) && !known.contains(arg))
                return invalid(CommandLine::tr("unknown command '%1'").arg(arg));
        return invalid(parser.errorText());
    }
    if (parser.isSet(help) || parser.isSet(version) || parser.isSet(atLogin)) {
        if (args.size() > 1)
            return invalid(CommandLine::tr("'%1' takes no arguments").arg(args.first()));
        c.kind = parser.isSet(help) ? Command::Kind::help : parser.isSet(version) ? Command::Kind::version
                                                                                    : Command::Kind::run;
        c.atLogin = parser.isSet(atLogin);
        return c;
    }

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return c;
    const QString &name = positional.first();
    const QStringList rest = positional.mid(1);

    static const QHash<QString, Command::Kind> simple{
        {QStringLiteral("help"), Command::Kind::help},   {QStringLiteral("next"), Command::Kind::next},
        {QStringLiteral("pause"), Command::Kind::pause}, {QStringLiteral("resume"), Command::Kind::resume},
        {QStringLiteral("show"), Command::Kind::show},   {QStringLiteral("quit"), Command::Kind::quit},
        {QStringLiteral("previous"), Command::Kind::previous}, {QStringLiteral("keep"), Command::Kind::keep},
        {QStringLiteral("unkeep"), Command::Kind::unkeep}, {QStringLiteral("never-again"), Command::Kind::neverAgain}};
    if (const auto kind = simple.constFind(name); kind != simple.cend()) {
        if (!rest.isEmpty())
            return invalid(CommandLine::tr("'%1' takes no arguments").arg(name));
        c.kind = *kind;
        return c;
    }
    if (name == QLatin1String("status") || name == QLatin1String("history")) {
        QCommandLineParser status;
        const QCommandLineOption json(QStringLiteral("json"));
        status.addOption(json);
        if (!status.parse(QStringList{name} + rest) || !status.positionalArguments().isEmpty())
            return invalid(CommandLine::tr("'%1' takes no arguments but --json").arg(name));
        c.kind = name == QLatin1String("status") ? Command::Kind::status : Command::Kind::history;
        c.json = status.isSet(json);
        return c;
    }
    if (name == QLatin1String("frequency")) {
        if (rest.size() != 1 || !frequencyFromWord(rest.first()))
            return invalid(CommandLine::tr("'frequency' needs one of: manual, 5m, 15m, hourly, daily"));
        c.kind = Command::Kind::frequency;
        c.choice = rest.first();
        return c;
    }
    if (name == QLatin1String("displays")) {
        if (rest.size() != 1 || !displaysFromWord(rest.first()))
            return invalid(CommandLine::tr("'displays' needs one of: all, main, each"));
        c.kind = Command::Kind::displays;
        c.choice = rest.first();
        return c;
    }
    if (name == QLatin1String("lock-screen")) {
        if (rest.size() != 1 || (rest.first() != QLatin1String("on") && rest.first() != QLatin1String("off")))
            return invalid(CommandLine::tr("'lock-screen' needs one of: on, off"));
        c.kind = Command::Kind::lockScreen;
        c.choice = rest.first();
        return c;
    }
    if (name == QLatin1String("check-image")) {
        // Taken as typed: a file may be called "next" or start with a dash.
        c.files = args.mid(args.indexOf(name) + 1);
        if (c.files.isEmpty())
            return invalid(CommandLine::tr("'check-image' needs at least one file"));
        c.kind = Command::Kind::checkImage;
        return c;
    }
    return invalid(CommandLine::tr("unknown command '%1'").arg(name));
}

int sendToRunningInstance(const Command &command, QTextStream &out, QTextStream &err)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(kServiceName).value()) {
        err << CommandLine::tr("Starvane is not running. Start it with: starvane") << "\n";
        return 1;
    }
    QDBusInterface control(kServiceName, kControlPath, kControlInterface, bus);
    control.setTimeout(kCallTimeoutMs);

    QString method;
    switch (command.kind) {
    case Command::Kind::run:
    case Command::Kind::show: method = QStringLiteral("ShowWindow"); break;
    case Command::Kind::next: method = QStringLiteral("Next"); break;
    case Command::Kind::previous: method = QStringLiteral("Previous"); break;
    case Command::Kind::keep: method = QStringLiteral("Keep"); break;
    case Command::Kind::unkeep: method = QStringLiteral("Unkeep"); break;
    case Command::Kind::neverAgain: method = QStringLiteral("NeverAgain"); break;
    case Command::Kind::history: method = QStringLiteral("HistoryJson"); break;
    case Command::Kind::pause: method = QStringLiteral("Pause"); break;
    case Command::Kind::resume: method = QStringLiteral("Resume"); break;
    case Command::Kind::quit: method = QStringLiteral("Quit"); break;
    case Command::Kind::status: method = command.json ? QStringLiteral("StatusJson") : QStringLiteral("Status"); break;
    case Command::Kind::frequency: method = QStringLiteral("SetFrequency"); break;
    case Command::Kind::displays: method = QStringLiteral("SetDisplays"); break;
    case Command::Kind::lockScreen:
        method = QStringLiteral("SetLockScreen");
        break;
    default: err << "starvane: " << CommandLine::tr("this command is not sent to the running instance") << "\n"; return 1;
    }
    const QDBusMessage reply = command.choice.isEmpty() ? control.call(method) : control.call(method, command.choice);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        // A refusal (nothing to go back to, a folder that cannot be written) is the answer itself.
        if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.Failed"))
            err << "starvane: " << reply.errorMessage() << "\n";
        else
            err << "starvane: " << CommandLine::tr("the running instance did not answer: %1").arg(reply.errorMessage()) << "\n";
        return 1;
    }
    const QString answer = reply.arguments().isEmpty() ? QString() : reply.arguments().constFirst().toString();
    if (command.kind == Command::Kind::next || command.kind == Command::Kind::neverAgain) {
        // Offline, the request waits for the network; say so rather than promise a change now.
        const QDBusReply<QString> state = control.call(QStringLiteral("StatusJson"));
        const QJsonObject json =
            state.isValid() ? QJsonDocument::fromJson(state.value().toUtf8()).object() : QJsonObject();
        if (json.value(QStringLiteral("networkHold")).toString() == QLatin1String("offline") &&
            json.value(QStringLiteral("error")).isString())
            out << localizedErrorMessage(json.value(QStringLiteral("error")).toString()) << "\n";
        else
            out << CommandLine::tr("Changing the wallpaper\u2026") << "\n";
    } else if (command.kind == Command::Kind::previous) {
        out << CommandLine::tr("Going back to the previous wallpaper\u2026") << "\n";
    } else if (command.kind == Command::Kind::keep) {
        out << CommandLine::tr("Kept as %1").arg(answer) << "\n";
    } else if (command.kind == Command::Kind::unkeep) {
        out << CommandLine::tr("No longer kept") << "\n";
    } else if (command.kind == Command::Kind::history) {
        if (command.json)
            out << answer << "\n";
        else
            out << historyText(QJsonDocument::fromJson(answer.toUtf8()).object());
    } else if (command.kind != Command::Kind::show && command.kind != Command::Kind::run &&
               command.kind != Command::Kind::quit) {
        // Pausing does nothing in manual mode, so show what the state now is rather than assume
        // (`status --json` has its answer already).
        const QDBusReply<QString> status = command.kind == Command::Kind::status ? QDBusReply<QString>(reply)
                                                                                   : QDBusReply<QString>(control.call(QStringLiteral("Status")));
        if (!status.isValid()) {
            err << "starvane: " << CommandLine::tr("the running instance did not answer: %1").arg(status.error().message()) << "\n";
            return 1;
        }
        out << status.value() << "\n";
    }
    return 0;
}

QString historyText(const QJsonObject &history)
{
    QString text;
    for (const QJsonValue &v : history.value(QStringLiteral("entries")).toArray()) {
        const QJsonObject e = v.toObject();
        const QDateTime shown = QDateTime::fromString(e.value(QStringLiteral("shownAt")).toString(), Qt::ISODate);
        QStringList fields{shown.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                           e.value(QStringLiteral("id")).toString(), e.value(QStringLiteral("title")).toString()};
        if (e.value(QStringLiteral("kept")).toBool()) fields << CommandLine::tr("[kept]");
        if (e.value(QStringLiteral("banned")).toBool()) fields << CommandLine::tr("[never again]");
        text += fields.join(QStringLiteral("  ")) + QLatin1Char('\n');
    }
    return text;
}

} // namespace Starvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandline.h"

#include "controlservice.h"
#include "errortext.h"
#include "models/errors.h"
#include "relativetime.h"

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
#include <QRegularExpression>
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
        "  keep [--display NAME] keep the wallpaper in the Pictures folder\n"
        "  unkeep               no longer keep the wallpaper\n"
        "  never-again          never show the wallpaper again, and change it now\n"
        "  history [--json]     list the wallpapers shown lately, newest first\n"
        "  history show N|ID    show again the wallpaper of line N of 'history' (1: the newest), or by its id\n"
        "  allow-again ID       let a wallpaper marked never-again come back\n"
        "  only-kept on|off     change only among the kept wallpapers, or among all\n"
        "  pause                pause automatic changes\n"
        "  resume               resume automatic changes\n"
        "  status [--json]      print the current wallpaper, schedule and any error\n"
        "                       (--json: one JSON object, for scripts)\n"
        "  frequency WHEN       change how often: manual, 5m, 15m, hourly or daily\n"
        "  displays WHICH       change which displays: all, main or each (a picture of its own on each)\n"
        "  lock-screen on|off   also use the pictures for the lock screen, or stop\n"
        "  save-data on|off     download only what the largest display needs, or the best file\n"
        "  metered on|off       download on metered connections too, or show saved pictures there\n"
        "  notify on|off        announce each new wallpaper with a notification, or not\n"
        "  caption on|off       show the picture's title and credit on the wallpaper, or not\n"
        "  dim-in-dark on|off   dim the wallpaper while the desktop's style is dark, or not\n"
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
    // Keep and Never Again act on one display's picture: the main display's unless one is named.
    if ((name == QLatin1String("keep") || name == QLatin1String("never-again")) && !rest.isEmpty()) {
        QString display;
        if (rest.size() == 2 && rest.first() == QLatin1String("--display"))
            display = rest.at(1);
        else if (rest.size() == 1 && rest.first().startsWith(QLatin1String("--display=")))
            display = rest.first().mid(10);
        if (display.isEmpty())
            return invalid(CommandLine::tr("'%1' takes no arguments but --display NAME (a name of 'starvane "
                                           "status --json')")
                               .arg(name));
        c.kind = name == QLatin1String("keep") ? Command::Kind::keep : Command::Kind::neverAgain;
        c.choice = display;
        return c;
    }
    if (const auto kind = simple.constFind(name); kind != simple.cend()) {
        if (!rest.isEmpty())
            return invalid(CommandLine::tr("'%1' takes no arguments").arg(name));
        c.kind = *kind;
        return c;
    }
    // An archive id as the history and the archive's addresses have them.
    static const QRegularExpression pictureID(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9_-]{0,63}$"));
    if (name == QLatin1String("history") && rest.value(0) == QLatin1String("show")) {
        bool isNumber = false;
        const int number = rest.value(1).toInt(&isNumber);
        if (rest.size() != 2 || (isNumber ? number < 1 : !pictureID.match(rest.at(1)).hasMatch()))
            return invalid(CommandLine::tr("'history show' needs a line number of 'starvane history' (1 is the "
                                           "newest) or a wallpaper's id"));
        c.kind = Command::Kind::historyShow;
        c.choice = rest.at(1);
        return c;
    }
    if (name == QLatin1String("allow-again")) {
        if (rest.size() != 1 || !pictureID.match(rest.first()).hasMatch())
            return invalid(CommandLine::tr("'allow-again' needs the id of a wallpaper (see 'starvane history')"));
        c.kind = Command::Kind::allowAgain;
        c.choice = rest.first();
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
    static const QHash<QString, Command::Kind> switches{{QStringLiteral("lock-screen"), Command::Kind::lockScreen},
                                                        {QStringLiteral("only-kept"), Command::Kind::onlyKept},
                                                        {QStringLiteral("save-data"), Command::Kind::saveData},
                                                        {QStringLiteral("metered"), Command::Kind::metered},
                                                        {QStringLiteral("notify"), Command::Kind::notify},
                                                        {QStringLiteral("caption"), Command::Kind::showCaption},
                                                        {QStringLiteral("dim-in-dark"), Command::Kind::dimInDarkStyle}};
    if (const auto kind = switches.constFind(name); kind != switches.cend()) {
        if (rest.size() != 1 || (rest.first() != QLatin1String("on") && rest.first() != QLatin1String("off")))
            return invalid(CommandLine::tr("'%1' needs one of: on, off").arg(name));
        c.kind = *kind;
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

namespace {
/// A reason the instance sent in English, in the caller's language when we know the text.
QString reasonText(const QString &reason)
{
    return QCoreApplication::translate(kReasonContext, reason.toUtf8().constData());
}

/// What the running instance is asked for `command`: the method and its arguments.
std::pair<QString, QVariantList> callFor(const Command &command)
{
    using Kind = Command::Kind;
    // `status` asks for the state itself: the caller words it, the instance may speak another language.
    static const QHash<Kind, QString> plain{{Kind::run, QStringLiteral("ShowWindow")},
                                            {Kind::show, QStringLiteral("ShowWindow")},
                                            {Kind::next, QStringLiteral("Next")},
                                            {Kind::previous, QStringLiteral("Previous")},
                                            {Kind::keep, QStringLiteral("Keep")},
                                            {Kind::unkeep, QStringLiteral("Unkeep")},
                                            {Kind::neverAgain, QStringLiteral("NeverAgain")},
                                            {Kind::history, QStringLiteral("HistoryJson")},
                                            {Kind::pause, QStringLiteral("Pause")},
                                            {Kind::resume, QStringLiteral("Resume")},
                                            {Kind::quit, QStringLiteral("Quit")},
                                            {Kind::status, QStringLiteral("StatusJson")}};
    static const QHash<Kind, QString> withWord{{Kind::frequency, QStringLiteral("SetFrequency")},
                                               {Kind::displays, QStringLiteral("SetDisplays")},
                                               {Kind::lockScreen, QStringLiteral("SetLockScreen")},
                                               {Kind::allowAgain, QStringLiteral("AllowAgain")}};
    static const QHash<Kind, QString> onOff{{Kind::onlyKept, QStringLiteral("SetOnlyKept")},
                                            {Kind::saveData, QStringLiteral("SetSaveData")},
                                            {Kind::metered, QStringLiteral("SetDownloadOnMetered")},
                                            {Kind::notify, QStringLiteral("SetNotifyOnChange")},
                                            {Kind::showCaption, QStringLiteral("SetShowCaption")},
                                            {Kind::dimInDarkStyle, QStringLiteral("SetDimInDarkStyle")}};
    if (command.kind == Kind::keep && !command.choice.isEmpty()) return {QStringLiteral("KeepOn"), {command.choice}};
    if (command.kind == Kind::neverAgain && !command.choice.isEmpty())
        return {QStringLiteral("NeverAgainOn"), {command.choice}};
    if (plain.contains(command.kind)) return {plain.value(command.kind), {}};
    if (withWord.contains(command.kind)) return {withWord.value(command.kind), {command.choice}};
    if (onOff.contains(command.kind)) return {onOff.value(command.kind), {command.choice == QLatin1String("on")}};
    if (command.kind == Kind::historyShow) {
        bool isNumber = false;
        const int number = command.choice.toInt(&isNumber);
        if (isNumber) return {QStringLiteral("ShowHistoryEntry"), {number - 1}};
        return {QStringLiteral("ShowHistoryPicture"), {command.choice}};
    }
    return {};
}

/// The line that confirms a switch, in the caller's words.
QString switchedText(Command::Kind kind, bool on)
{
    switch (kind) {
    case Command::Kind::onlyKept:
        return on ? CommandLine::tr("The wallpaper now changes only among the kept pictures.")
                  : CommandLine::tr("The wallpaper now changes among all pictures of the archive.");
    case Command::Kind::saveData:
        return on ? CommandLine::tr("Save data is on: downloads are only as large as the largest display needs.")
                  : CommandLine::tr("Save data is off: downloads take the best file.");
    case Command::Kind::metered:
        return on ? CommandLine::tr("Automatic changes download on metered connections too.")
                  : CommandLine::tr("On metered connections, automatic changes show saved pictures.");
    case Command::Kind::notify:
        return on ? CommandLine::tr("Each new wallpaper is announced with a notification.")
                  : CommandLine::tr("New wallpapers are no longer announced.");
    case Command::Kind::showCaption:
        return on ? CommandLine::tr("The wallpaper shows the picture's title and credit.")
                  : CommandLine::tr("The wallpaper shows the picture alone.");
    case Command::Kind::dimInDarkStyle:
        return on ? CommandLine::tr("The wallpaper is dimmed while the desktop's style is dark.")
                  : CommandLine::tr("The wallpaper keeps its brightness in the dark style.");
    default:
        break;
    }
    return {};
}
} // namespace

int sendToRunningInstance(const Command &command, QTextStream &out, QTextStream &err)
{
    const auto [method, arguments] = callFor(command);
    if (method.isEmpty()) {
        err << "starvane: " << CommandLine::tr("this command is not sent to the running instance") << "\n";
        return 1;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(kServiceName).value()) {
        err << CommandLine::tr("Starvane is not running. Start it with: starvane") << "\n";
        return 1;
    }
    QDBusInterface control(kServiceName, kControlPath, kControlInterface, bus);
    control.setTimeout(kCallTimeoutMs);
    const auto statusJson = [&control] {
        const QDBusReply<QString> state = control.call(QStringLiteral("StatusJson"));
        return state.isValid() ? QJsonDocument::fromJson(state.value().toUtf8()).object() : QJsonObject();
    };

    const QDBusMessage reply = control.callWithArgumentList(QDBus::Block, method, arguments);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        // The instance answered: a refusal (nothing to go back to, no lock screen) or nothing to do is
        // the answer itself; a value it does not know is the caller's mistake, as a usage error is.
        const QString name = reply.errorName();
        if (name == kErrorInvalidArgument || name == QLatin1String("org.freedesktop.DBus.Error.InvalidArgs")) {
            err << "starvane: " << reasonText(reply.errorMessage()) << "\n";
            return 2;
        }
        if (name == kErrorRefused || name == kErrorNothingToDo ||
            name == QLatin1String("org.freedesktop.DBus.Error.Failed")) {
            err << "starvane: " << reasonText(reply.errorMessage()) << "\n";
            return 1;
        }
        err << "starvane: " << CommandLine::tr("the running instance did not answer: %1").arg(reply.errorMessage())
            << "\n";
        return 1;
    }
    const QString answer = reply.arguments().isEmpty() ? QString() : reply.arguments().constFirst().toString();
    switch (command.kind) {
    case Command::Kind::next:
    case Command::Kind::neverAgain: {
        // Offline, the request waits for the network; say so rather than promise a change now.
        const QJsonObject json = statusJson();
        if (json.value(QStringLiteral("networkHold")).toString() == QLatin1String("offline") &&
            json.value(QStringLiteral("error")).isString())
            out << ErrorText::fromStatus(json, QDateTime::currentDateTimeUtc()).joined() << "\n";
        else
            out << CommandLine::tr("Changing the wallpaper\u2026") << "\n";
        break;
    }
    case Command::Kind::previous:
        out << CommandLine::tr("Going back to the previous wallpaper\u2026") << "\n";
        break;
    case Command::Kind::historyShow:
        out << CommandLine::tr("Showing that wallpaper again\u2026") << "\n";
        break;
    case Command::Kind::allowAgain:
        out << CommandLine::tr("%1 may be shown again.").arg(command.choice) << "\n";
        break;
    case Command::Kind::keep:
        out << CommandLine::tr("Kept as %1").arg(answer) << "\n";
        break;
    case Command::Kind::unkeep:
        out << CommandLine::tr("No longer kept") << "\n";
        break;
    case Command::Kind::history:
        if (command.json)
            out << answer << "\n";
        else
            out << historyText(QJsonDocument::fromJson(answer.toUtf8()).object());
        break;
    case Command::Kind::onlyKept:
    case Command::Kind::saveData:
    case Command::Kind::metered:
    case Command::Kind::notify:
    case Command::Kind::showCaption:
    case Command::Kind::dimInDarkStyle:
        out << switchedText(command.kind, command.choice == QLatin1String("on")) << "\n";
        break;
    case Command::Kind::status:
        if (command.json) {
            out << answer << "\n";
            break;
        }
        out << StatusReport::statusText(QJsonDocument::fromJson(answer.toUtf8()).object()) << "\n";
        break;
    case Command::Kind::pause:
    case Command::Kind::resume:
    case Command::Kind::frequency:
    case Command::Kind::displays:
    case Command::Kind::lockScreen: {
        // Show what the state now is rather than assume it.
        const QJsonObject json = statusJson();
        if (json.isEmpty()) {
            err << "starvane: "
                << CommandLine::tr("the running instance did not answer: %1").arg(control.lastError().message())
                << "\n";
            return 1;
        }
        out << StatusReport::statusText(json) << "\n";
        break;
    }
    default:
        break;
    }
    return 0;
}

QString historyText(const QJsonObject &history)
{
    QString text;
    int number = 0;
    for (const QJsonValue &v : history.value(QStringLiteral("entries")).toArray()) {
        const QJsonObject e = v.toObject();
        const QDateTime shown = QDateTime::fromString(e.value(QStringLiteral("shownAt")).toString(), Qt::ISODate);
        QStringList fields{QString::number(++number), dateTimeText(shown), e.value(QStringLiteral("id")).toString(),
                           e.value(QStringLiteral("title")).toString()};
        if (e.value(QStringLiteral("kept")).toBool()) fields << CommandLine::tr("[kept]");
        if (e.value(QStringLiteral("banned")).toBool()) fields << CommandLine::tr("[never again]");
        text += fields.join(QStringLiteral("  ")) + QLatin1Char('\n');
    }
    return text;
}

} // namespace Starvane

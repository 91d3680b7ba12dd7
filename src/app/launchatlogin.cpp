// SPDX-License-Identifier: GPL-3.0-or-later
#include "launchatlogin.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace Starvane::LaunchAtLogin {

namespace {
// Characters that make an Exec argument need quotes, and those that must be escaped inside them.
constexpr QStringView kReserved = u" \t\n\"'\\><~|&;$*?#()`";
constexpr QStringView kEscapedInQuotes = u"\"`$\\";

QString quotedArgument(const QString &argument)
{
    QString arg = argument;
    arg.replace(QLatin1Char('%'), QLatin1String("%%")); // a lone "%" would start a field code
    const bool needsQuotes =
        arg.isEmpty() || std::any_of(arg.cbegin(), arg.cend(), [](QChar c) { return kReserved.contains(c); });
    if (!needsQuotes) return arg;
    QString quoted = QStringLiteral("\"");
    for (QChar c : arg) {
        if (kEscapedInQuotes.contains(c)) quoted += QLatin1Char('\\');
        quoted += c;
    }
    return quoted + QLatin1Char('"');
}

/// The general escapes of a string value, which readers undo before they split the command line.
QString escapedValue(const QString &value)
{
    QString out = value;
    out.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    out.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    out.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    return out.replace(QLatin1Char('\r'), QLatin1String("\\r"));
}

/// The translated names and comments of the desktop entry the build made (msgfmt, from
/// translations/desktop), as "Name[de]=…" lines; none when the program carries no such entry.
QByteArray translatedNameAndComment()
{
    QFile entry(QStringLiteral(":/packaging/com.quorvex.Starvane.desktop"));
    if (!entry.open(QIODevice::ReadOnly)) return {};
    QByteArray lines;
    bool mainGroup = false;
    for (const QByteArray &line : entry.readAll().split('\n')) {
        if (line.startsWith('['))
            mainGroup = line == "[Desktop Entry]";
        else if (mainGroup && (line.startsWith("Name[") || line.startsWith("Comment[")) && line.contains("]="))
            lines += line + '\n';
    }
    return lines;
}
} // namespace

QString programPath()
{
    const QString appImage = qEnvironmentVariable("APPIMAGE");
    if (!appImage.isEmpty() && QFileInfo(appImage).isAbsolute()) return appImage;
    return QCoreApplication::applicationFilePath();
}

QString execValue(const QString &program, const QString &arguments)
{
    return escapedValue(quotedArgument(program) + QLatin1Char(' ') + arguments);
}

QString entryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/starvane.desktop");
}

bool isEnabled()
{
    return QFileInfo::exists(entryPath());
}

bool setEnabled(bool enabled, QString *error)
{
    const QString path = entryPath();
    if (!enabled) {
        QFile file(path);
        if (file.exists() && !file.remove()) {
            *error = file.errorString();
            return false;
        }
        return true;
    }
    if (!QDir().mkpath(QFileInfo(path).path())) {
        *error = QStringLiteral("Could not create %1").arg(QFileInfo(path).path());
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    // --at-login: start quietly in the tray instead of opening the window over the new session.
    // The absolute path: a session starts autostart entries with a PATH of its own, which need not
    // hold the folder Starvane was started from.
    const QByteArray exec = execValue(programPath(), QStringLiteral("--at-login")).toUtf8();
    file.write("[Desktop Entry]\n"
               "Type=Application\n"
               "Name=Starvane\n"
               "Comment=Keeps your desktop supplied with photographs from the ESA/Hubble archive\n");
    // The session shows the entry in its own language, as it shows the installed one.
    file.write(translatedNameAndComment());
    file.write("Exec=" + exec + "\n");
    file.write("Icon=com.quorvex.Starvane\n"
               "Terminal=false\n"
               "X-GNOME-Autostart-enabled=true\n");
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace Starvane::LaunchAtLogin

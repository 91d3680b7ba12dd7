// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

class QJsonObject;
class QTextStream;

namespace Starvane {

/// What one invocation of `starvane` asks for.
struct Command
{
    enum class Kind {
        run,
        next,
        previous,
        keep,
        unkeep,
        neverAgain,
        history,
        historyShow,
        allowAgain,
        pause,
        resume,
        status,
        frequency,
        displays,
        lockScreen,
        onlyKept,
        saveData,
        metered,
        notify,
        showCaption,
        dimInDarkStyle,
        show,
        quit,
        checkImage,
        help,
        version,
        invalid
    };
    Kind kind = Kind::run;
    QStringList files;     // check-image
    bool atLogin = false;  // started by the session's autostart: stay in the tray
    bool json = false;     // status --json, history --json
    QString choice;        // frequency, displays, on|off, history show N|ID, allow-again ID: as typed, checked
    QString error;         // invalid
};

Command parseCommandLine(const QStringList &arguments);
QString usageText();

/// Sends a command to the running instance over the session bus and prints its answer.
/// Returns the process exit status: 0 on success, 1 when no instance runs, it refused or had nothing to
/// do, or the call failed; 2 when the instance found the request's value wrong (nothing changed then).
int sendToRunningInstance(const Command &command, QTextStream &out, QTextStream &err);

/// One line per entry of `history --json`'s object: its number for `history show`, date, id, title, then
/// the kept and banned marks.
QString historyText(const QJsonObject &history);

} // namespace Starvane

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
    enum class Kind { run, next, previous, keep, unkeep, neverAgain, history, pause, resume, status, frequency, displays, lockScreen, show, quit, checkImage, help, version, invalid };
    Kind kind = Kind::run;
    QStringList files;     // check-image
    bool atLogin = false;  // started by the session's autostart: stay in the tray
    bool json = false;     // status --json, history --json
    QString choice;        // frequency, displays: the word as typed, already checked
    QString error;         // invalid
};

Command parseCommandLine(const QStringList &arguments);
QString usageText();

/// Sends a command to the running instance over the session bus and prints its answer.
/// Returns the process exit status: 0 on success, 1 when no instance runs or the call failed.
int sendToRunningInstance(const Command &command, QTextStream &out, QTextStream &err);

/// One line per entry of `history --json`'s object: date, id, title, then the kept and banned marks.
QString historyText(const QJsonObject &history);

} // namespace Starvane

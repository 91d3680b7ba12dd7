// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/desktoptool.h"

#include "desktop/dbuscall.h"
#include "desktop/desktopbackend.h"

#include <QDateTime>
#include <QFileInfo>
#include <QProcess>
#include <memory>

namespace Starvane {

namespace {
/// Waits until `process` is no longer running, at most until `deadline`; false when it still runs.
QCoro::Task<bool> processEnded(QProcess *process, std::chrono::steady_clock::time_point deadline)
{
    while (process->state() != QProcess::NotRunning) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) co_return false;
        // stateChanged also arrives when the program could not be started, where finished never does.
        co_await nextSignal(process, &QProcess::stateChanged, left, {});
    }
    co_return true;
}

QString firstLine(const QByteArray &output)
{
    return QString::fromLocal8Bit(output).trimmed().section(QLatin1Char('\n'), 0, 0);
}
} // namespace

QCoro::Task<> runDesktopTool(QString program, QStringList arguments, std::chrono::milliseconds timeout)
{
    const QString name = QFileInfo(program).fileName();
    auto process = std::make_unique<QProcess>();
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->start(program, arguments);
    const bool ended = co_await processEnded(process.get(), std::chrono::steady_clock::now() + timeout);
    if (!ended) {
        process->kill();
        // A killed process is reaped in a moment. Should it linger, it goes away once it has ended:
        // QProcess's destructor would wait for it on this thread.
        const bool reaped = co_await processEnded(process.get(), std::chrono::steady_clock::now() + timeout);
        if (!reaped) {
            QProcess *lingering = process.release();
            QObject::connect(lingering, &QProcess::finished, lingering, &QObject::deleteLater);
        }
        throw DesktopBackendError(QStringLiteral("%1 did not finish in time and was stopped").arg(name));
    }
    if (process->error() == QProcess::FailedToStart)
        throw DesktopBackendError(QStringLiteral("%1 could not be started (%2)").arg(name, process->errorString()));
    if (process->exitStatus() == QProcess::CrashExit) throw DesktopBackendError(QStringLiteral("%1 crashed").arg(name));
    if (process->exitCode() != 0) {
        QString text = QStringLiteral("%1 failed with exit code %2").arg(name).arg(process->exitCode());
        const QString reason = firstLine(process->readAllStandardError());
        if (!reason.isEmpty()) text += QStringLiteral(": ") + reason;
        throw DesktopBackendError(text);
    }
}

QString newestSettingsFile(const QStringList &candidates)
{
    QString newest;
    QDateTime newestTime;
    for (const QString &candidate : candidates) {
        const QFileInfo file(candidate);
        if (file.isFile() && (newest.isEmpty() || file.lastModified() > newestTime)) {
            newest = file.filePath();
            newestTime = file.lastModified();
        }
    }
    return newest;
}

} // namespace Starvane

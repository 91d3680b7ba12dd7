// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktopharness.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>
#include <sys/types.h>
#include <unistd.h>

namespace Starvane::Test {

namespace {
const QString kNetworkManager = QStringLiteral("org.freedesktop.NetworkManager");
}

bool StandInNetworkManager::start(const QString &program, const QString &systemBusAddress, uint state,
                                  uint connectivity, uint metered)
{
    m_address = systemBusAddress;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), systemBusAddress);
    if (!m_process.start(program, {QString::number(state), QString::number(connectivity), QString::number(metered)},
                         env)) {
        m_error = QStringLiteral("could not start %1").arg(program);
        return false;
    }
    QDBusConnection bus = QDBusConnection::connectToBus(systemBusAddress, QStringLiteral("standin-nm-control"));
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        if (bus.isConnected() && bus.interface()->isServiceRegistered(kNetworkManager).value()) return true;
        QThread::msleep(20);
    }
    m_error = QStringLiteral("the stand-in NetworkManager did not appear on the bus");
    return false;
}

bool StandInNetworkManager::set(uint state, uint connectivity, uint metered)
{
    QDBusConnection bus = QDBusConnection::connectToBus(m_address, QStringLiteral("standin-nm-control"));
    for (const auto &[name, value] :
         {std::pair{QStringLiteral("State"), state}, std::pair{QStringLiteral("Connectivity"), connectivity},
          std::pair{QStringLiteral("Metered"), metered}}) {
        QDBusMessage call =
            QDBusMessage::createMethodCall(kNetworkManager, QStringLiteral("/org/freedesktop/NetworkManager"),
                                           QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"));
        call << kNetworkManager << name << QVariant::fromValue(QDBusVariant(QVariant::fromValue(value)));
        const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
        if (reply.type() != QDBusMessage::ReplyMessage) {
            m_error = reply.errorMessage();
            return false;
        }
    }
    return true;
}

QString findProgram(const QString &program)
{
    if (QFileInfo(program).isAbsolute()) return QFileInfo(program).isExecutable() ? program : QString();
    return QStandardPaths::findExecutable(program);
}

ChildProcess::~ChildProcess()
{
    stop();
}

bool ChildProcess::start(const QString &program, const QStringList &arguments, const QProcessEnvironment &env)
{
    m_process = std::make_unique<QProcess>();
    m_process->setProcessEnvironment(env);
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    // A group of its own, so that stopping it also stops what it started.
    // Also make it die with us should the test crash before its destructor runs.
    m_process->setChildProcessModifier([] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    });
    m_process->start(program, arguments);
    return m_process->waitForStarted(5000);
}

void ChildProcess::stop()
{
    if (!m_process || m_process->state() == QProcess::NotRunning) return;
    const qint64 pid = m_process->processId();
    if (pid > 0) ::kill(-pid_t(pid), SIGTERM);
    if (!m_process->waitForFinished(3000)) {
        if (pid > 0) ::kill(-pid_t(pid), SIGKILL);
        m_process->waitForFinished(2000);
    }
}

bool PrivateBus::start(const QProcessEnvironment &env)
{
    const QString daemon = findProgram(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty()) {
        m_error = QStringLiteral("dbus-daemon is not installed (package dbus)");
        return false;
    }
    // No service directories: nothing is activated behind the test's back (an activated service
    // would run with the real home directory).
    m_config = std::make_unique<QTemporaryFile>();
    if (!m_config->open()) {
        m_error = QStringLiteral("no temporary file for the bus configuration");
        return false;
    }
    m_config->write(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)");
    m_config->flush();
    if (!m_daemon.start(daemon,
                        {QStringLiteral("--config-file=") + m_config->fileName(), QStringLiteral("--nofork"),
                         QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")},
                        env)) {
        m_error = QStringLiteral("dbus-daemon did not start");
        return false;
    }
    QByteArray out;
    QDeadlineTimer deadline(5000);
    while (!out.contains('\n') && !deadline.hasExpired()) {
        m_daemon.process().waitForReadyRead(int(deadline.remainingTime()));
        out += m_daemon.process().readAllStandardOutput();
    }
    m_address = QString::fromUtf8(out.trimmed());
    if (m_address.isEmpty()) m_error = QStringLiteral("dbus-daemon printed no address");
    return !m_address.isEmpty();
}

bool XvfbServer::start(const QString &screenSize)
{
    const QString xvfb = findProgram(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) {
        m_error = QStringLiteral("Xvfb is not installed (package xvfb)");
        return false;
    }
    for (int number = 90 + int(::getpid() % 50); number < 400; ++number) {
        if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)) ||
            QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)))
            continue;
        const QString display = QStringLiteral(":%1").arg(number);
        if (!m_server.start(xvfb, {display, QStringLiteral("-screen"), QStringLiteral("0"), screenSize,
                                   QStringLiteral("-noreset"), QStringLiteral("-nolisten"), QStringLiteral("tcp")}))
            continue;
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() && m_server.process().state() == QProcess::Running) {
            if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)) &&
                run(findProgram(QStringLiteral("xdpyinfo")).isEmpty() ? QStringLiteral("xrandr")
                                                                      : QStringLiteral("xdpyinfo"),
                    {QStringLiteral("-display"), display}) == 0) {
                m_display = display;
                return true;
            }
            QThread::msleep(50);
        }
        m_server.stop();
    }
    m_error = QStringLiteral("Xvfb did not start on any free display");
    return false;
}

int XvfbServer::run(const QString &program, const QStringList &arguments, QByteArray *output) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!m_display.isEmpty()) env.insert(QStringLiteral("DISPLAY"), m_display);
    return runTool(program, arguments, env, output);
}

int runTool(const QString &program, const QStringList &arguments, const QProcessEnvironment &env, QByteArray *output,
            int timeoutMs)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    if (!process.waitForStarted(5000)) return -1;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(2000);
        return -1;
    }
    if (output) *output = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QImage makeStripPicture()
{
    QImage strip(3000, 1000, QImage::Format_RGB32);
    strip.fill(Qt::red);
    for (int y = 0; y < 1000; ++y)
        for (int x = 1000; x < 3000; ++x)
            strip.setPixel(x, y, x < 2000 ? qRgb(0, 255, 0) : qRgb(0, 0, 255));
    return strip;
}

QImage makePortraitPicture()
{
    QImage portrait(1000, 2000, QImage::Format_RGB32);
    portrait.fill(Qt::magenta);
    for (int y = 0; y < 1000; ++y)
        for (int x = 0; x < 1000; ++x)
            portrait.setPixel(x, y, qRgb(255, 255, 0));
    return portrait;
}

QString writeStandInFile(const QTemporaryDir &dir, const QString &name)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write("x");
    return path;
}

} // namespace Starvane::Test

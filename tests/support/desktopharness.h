// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QTemporaryDir>

// Real desktop components for tests: a private D-Bus daemon, an Xvfb server, helper processes.
// Each starts with a time-out and is killed by its own pid when the object goes away.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>
#include <memory>

namespace Starvane::Test {

/// Path of `program` on PATH (or the absolute path itself when it exists), empty when missing.
QString findProgram(const QString &program);

/// A child process killed (by pid, with its own process group) when this object dies.
class ChildProcess
{
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    bool start(const QString &program, const QStringList &arguments,
               const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());
    QProcess &process() { return *m_process; }
    void stop();

private:
    std::unique_ptr<QProcess> m_process;
};

/// A dbus-daemon of its own, standing in for the session or the system bus.
class PrivateBus
{
public:
    /// Starts the daemon with `env` (activated services inherit it). False when dbus-daemon is missing or fails.
    bool start(const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());
    QString address() const { return m_address; }
    QString error() const { return m_error; }
    /// The daemon's process, for tests that stop it (SIGSTOP) to play a bus that does not answer.
    qint64 processId() { return m_daemon.process().processId(); }

private:
    std::unique_ptr<QTemporaryFile> m_config;
    ChildProcess m_daemon;
    QString m_address;
    QString m_error;
};

/// The stand-in NetworkManager (a program of the test suite) on a private system bus.
class StandInNetworkManager
{
public:
    // NetworkManager's own numbers, as its D-Bus API defines them.
    enum State : uint { disconnected = 20, connectedSite = 60, connectedGlobal = 70 };
    enum Connectivity : uint { none = 1, portal = 2, limited = 3, full = 4 };
    enum Metered : uint { meteredYes = 1, meteredNo = 2, meteredGuessYes = 3 };

    /// Starts `program` on the bus at `systemBusAddress` and waits until it owns its name.
    bool start(const QString &program, const QString &systemBusAddress, uint state = connectedGlobal,
               uint connectivity = full, uint metered = meteredNo);
    /// Changes the properties; each change is announced with PropertiesChanged.
    bool set(uint state, uint connectivity, uint metered = meteredNo);
    QString error() const { return m_error; }

private:
    ChildProcess m_process;
    QString m_address;
    QString m_error;
};

/// Xvfb on a free display number, with -noreset so that RandR monitors survive their clients.
class XvfbServer
{
public:
    bool start(const QString &screenSize);
    QString display() const { return m_display; }
    QString error() const { return m_error; }
    /// Runs `program arguments` against this display, waiting at most 10 s. Returns the exit code (-1 on failure).
    int run(const QString &program, const QStringList &arguments, QByteArray *output = nullptr) const;

private:
    ChildProcess m_server;
    QString m_display;
    QString m_error;
};

/// Runs a tool to completion with a time-out; returns exit code, or -1 when it could not run or hung.
int runTool(const QString &program, const QStringList &arguments, const QProcessEnvironment &env,
            QByteArray *output = nullptr, int timeoutMs = 10000);

/// 3000×1000 in three 1000-pixel bands, red, green, blue: a fill-and-crop shows which band lands where.
QImage makeStripPicture();
/// 1000×2000, a yellow square over magenta: the crop of a portrait picture.
QImage makePortraitPicture();

/// A small file at `dir`/`name`: desktops that only record a path need the file to exist, not to be a picture.
QString writeStandInFile(const QTemporaryDir &dir, const QString &name);

} // namespace Starvane::Test

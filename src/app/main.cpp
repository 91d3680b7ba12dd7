// SPDX-License-Identifier: GPL-3.0-or-later
#include "appdelegate.h"
#include "async/cancellation.h"
#include "commandline.h"
#include "desktop/linuxwallpaperapplier.h"
#include "identity.h"
#include "integrity/checkimage.h"
#include "latencyprobe.h"
#include "logging.h"
#include "store/filewritequeue.h"
#include "translations.h"
#include "velmoratheme.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

using namespace Starvane;

namespace {
bool anotherInstanceRuns()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface()->isServiceRegistered(kServiceName).value();
}

QCoro::Task<> startApplication(Command command, std::unique_ptr<AppDelegate> *delegateSlot)
{
    std::shared_ptr<WallpaperApplying> applier = co_await createDesktopApplier();
    *delegateSlot = std::make_unique<AppDelegate>(std::move(applier));
    AppDelegate &delegate = **delegateSlot;
    QTextStream out(stdout);
    QTextStream err(stderr);
    QString busError;
    switch (delegate.registerControlService(&busError)) {
    case ControlService::Registration::registered:
        break;
    case ControlService::Registration::anotherInstanceRuns:
        // Lost a race with another launch: that one is the instance now.
        QCoreApplication::exit(command.atLogin ? 0 : sendToRunningInstance(command, out, err));
        co_return;
    case ControlService::Registration::failed:
        err << "starvane: " << busError << "\n"
            << "starvane: "
            << QCoreApplication::translate("Starvane::CommandLine",
                                           "running without command-line control; 'starvane next', 'status' and "
                                           "the like will not reach this instance")
            << "\n";
        err.flush();
        break;
    }
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &delegate, &AppDelegate::applicationWillTerminate);
    delegate.applicationDidFinishLaunching(!command.atLogin);
}

int quitPipe[2] = {-1, -1};

void onQuitSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(quitPipe[1], &byte, 1); // async-signal-safe; full means pending
}

/// A session that ends sends SIGTERM (and a terminal SIGINT or SIGHUP). Left to the default action it
/// would end the program mid-step: a download's part file left behind, state not yet written. The
/// handler only wakes the event loop, which then quits as the Quit command does.
void quitOnTerminationSignals(QCoreApplication &app)
{
    if (::pipe2(quitPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto *notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char byte;
        while (::read(quitPipe[0], &byte, 1) > 0) {
        }
        qCInfo(lcApp) << "Quitting: asked to terminate";
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

int runApplication(int argc, char *argv[], const Command &command)
{
    // Pictures are decoded in large buffers, often on pool threads. A fixed threshold keeps every such
    // buffer in its own mapping, so freeing it returns the memory at once; glibc's default threshold
    // rises after the first big free and then keeps tens of megabytes in the heap after each change.
    ::mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    // Each thread that allocates would otherwise get an arena of its own that keeps pages after the
    // thread is gone; our few threads seldom allocate at the same moment.
    ::mallopt(M_ARENA_MAX, 2);
    // The archive's pages are parsed once per change: the interpreter is quick enough, and the JIT's
    // compiled code would stay resident for the whole session.
    if (!qEnvironmentVariableIsSet("QT_ENABLE_REGEXP_JIT")) qputenv("QT_ENABLE_REGEXP_JIT", "0");
    VelmoraTheme::skipToolkitPlatformTheme();
    QApplication app(argc, argv);
    VelmoraTheme::useDesktopFont();
    applyApplicationIdentity(QStringLiteral(STARVANE_VERSION));
    installTranslations();
    installLogHandler();
    QTextStream out(stdout);
    QTextStream err(stderr);

    // One instance per session: a second launch raises the first one's window and leaves. A session's
    // autostart finding Starvane already running has nothing to show.
    if (anotherInstanceRuns()) return command.atLogin ? 0 : sendToRunningInstance(command, out, err);

    // Everything else waits for the desktop to be known, which takes a few questions to the session
    // bus: they are asked with the event loop running, so a slow bus never freezes the start.
    std::unique_ptr<AppDelegate> delegate;
    QTimer::singleShot(
        0, &app, [&command, &delegate] { spawn(startApplication(command, &delegate), QStringLiteral("start-up")); });
    installLatencyProbeIfRequested();
    quitOnTerminationSignals(app);
    const int status = app.exec();
    FileWriteQueue::flush(); // the last state the store asked to keep
    return status;
}
} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const Command command = parseCommandLine(arguments);

    if (command.kind == Command::Kind::run) return runApplication(argc, argv, command);

    QCoreApplication app(argc, argv);
    applyApplicationIdentity(QStringLiteral(STARVANE_VERSION));
    installTranslations();
    QTextStream out(stdout);
    QTextStream err(stderr);
    switch (command.kind) {
    case Command::Kind::help:
        out << usageText();
        return 0;
    case Command::Kind::version:
        out << "starvane " << QCoreApplication::applicationVersion() << "\n";
        return 0;
    case Command::Kind::invalid:
        // Parsed again now that the translation is in: the first parse chose which application to create.
        err << "starvane: " << parseCommandLine(arguments).error << "\n\n" << usageText();
        return 2;
    case Command::Kind::checkImage:
        return runCheckImage(command.files, out);
    default:
        return sendToRunningInstance(command, out, err);
    }
}

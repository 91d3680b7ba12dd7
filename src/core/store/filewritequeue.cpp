// SPDX-License-Identifier: GPL-3.0-or-later
#include "filewritequeue.h"

#include "logging.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace Starvane {

namespace {

void writeAtomically(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    // Written beside the old file and renamed over it: a crash leaves one or the other, never half.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        qCCritical(lcStore).noquote() << QStringLiteral("Could not write %1: %2").arg(path, file.errorString());
}

class Queue
{
public:
    ~Queue()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_ending = true;
        }
        m_wake.notify_all();
        if (m_worker.joinable()) m_worker.join(); // after the last queued write
    }

    void write(const QString &path, QByteArray content)
    {
        {
            const std::lock_guard lock(m_mutex);
            const auto waiting =
                std::find_if(m_pending.begin(), m_pending.end(), [&](const Write &w) { return w.path == path; });
            if (waiting != m_pending.end())
                waiting->content = std::move(content);
            else
                m_pending.push_back({path, std::move(content)});
            if (!m_worker.joinable()) m_worker = std::thread([this] { run(); });
        }
        m_wake.notify_one();
    }

    void flush()
    {
        std::unique_lock lock(m_mutex);
        m_idle.wait(lock, [this] { return m_pending.empty() && !m_writing; });
    }

private:
    struct Write
    {
        QString path;
        QByteArray content;
    };

    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_ending || !m_pending.empty(); });
            if (m_pending.empty()) return; // ending, and nothing left to write
            const Write next = std::move(m_pending.front());
            m_pending.pop_front();
            m_writing = true;
            lock.unlock();
            writeAtomically(next.path, next.content);
            lock.lock();
            m_writing = false;
            if (m_pending.empty()) m_idle.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Write> m_pending;
    bool m_writing = false;
    bool m_ending = false;
    std::thread m_worker; // started with the first write; a program that writes nothing has no thread
};

Queue &queue()
{
    static Queue instance;
    return instance;
}

} // namespace

void FileWriteQueue::write(const QString &path, QByteArray content)
{
    queue().write(path, std::move(content));
}

void FileWriteQueue::flush()
{
    queue().flush();
}

} // namespace Starvane

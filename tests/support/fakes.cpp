// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes.h"

#include "async/cancellation.h"
#include "models/errors.h"
#include "models/fileurls.h"

#include <QCoroSignal>
#include <QCryptographicHash>
#include <QFile>
#include <QPointer>
#include <QUuid>

namespace Starvane::Testing {

QCoro::Task<> ManualSleeper::sleep(std::chrono::milliseconds delay, std::stop_token st)
{
    requestedMs << delay.count();
    throwIfCancelled(st);
    auto fired = std::make_shared<bool>(false);
    m_sleeping << fired;
    // Polls instead of awaiting the wake signal: QCoro 0.8's signal awaiter touches its own freed
    // frame when the resumed coroutine finishes inside the signal (a cancelled sleep does exactly
    // that), which AddressSanitizer reports as a use after free.
    // The poll outlives a sleeper destroyed at the end of a test; it then leaves without touching it.
    QPointer<ManualSleeper> self(this);
    bool cancelled = false;
    while (!*fired && !st.stop_requested()) {
        try {
            co_await sleepFor(std::chrono::milliseconds(2), st);
        } catch (const CancelledError &) {
            cancelled = true;
        }
        if (!self)
            throw CancelledError();
        if (cancelled)
            break;
    }
    m_sleeping.removeAll(fired);
    throwIfCancelled(st);
}

void ManualSleeper::fireAll()
{
    for (const auto &f : std::as_const(m_sleeping))
        *f = true;
    Q_EMIT wake();
}

HubbleImage makeImage(const QString &id, qint64 width, qint64 height, std::optional<QUrl> fallback)
{
    HubbleImage img;
    img.id = id;
    img.title = QStringLiteral("Title of ") + id;
    img.credit = QStringLiteral("ESA/Hubble & NASA");
    img.dateCaptured = QStringLiteral("2020");
    img.imageURL = QUrl(QStringLiteral("https://cdn.example.test/archives/images/large/%1.jpg").arg(id));
    img.fallbackImageURL = std::move(fallback);
    img.detailsURL = QUrl(QStringLiteral("https://archive.example.test/images/%1/").arg(id));
    img.width = width;
    img.height = height;
    return img;
}

QCoro::Task<QList<HubbleImage>> ScriptedArchive::fetchCatalogPage(int page, double, std::stop_token st)
{
    requestedPages << page;
    throwIfCancelled(st);
    if (!pageHandler)
        co_return QList<HubbleImage>{};
    co_return pageHandler(page);
}

QCoro::Task<HubbleImage> ScriptedArchive::verifyAndEnrichCandidate(HubbleImage candidate, std::stop_token st)
{
    verifiedIDs << candidate.id;
    throwIfCancelled(st);
    if (!verifyHandler)
        co_return candidate;
    co_return verifyHandler(candidate);
}

QCoro::Task<QUrl> ScriptedArchive::downloadImageFile(QUrl url, std::stop_token st)
{
    downloadedURLs << url;
    if (downloadDelay.count() > 0)
        co_await sleepFor(downloadDelay, st);
    throwIfCancelled(st);
    const QByteArray bytes = downloadHandler ? downloadHandler(url) : url.toString().toUtf8();
    const QString path = temporaryDir + QStringLiteral("/hubble-dl-") + QUuid::createUuid().toString(QUuid::WithoutBraces) +
                         QStringLiteral(".tmp");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        throw FileError(f.errorString());
    const QUrl file = QUrl::fromLocalFile(path);
    temporaryFiles << file;
    co_return file;
}

QCoro::Task<> RecordingApplier::applyWallpaper(QUrl file, DisplayScope scope, std::stop_token st)
{
    throwIfCancelled(st);
    calls << Call{file, scope};
    if (!QFile::exists(file.toLocalFile()))
        throw WallpaperApplyError::fileMissing(file);
    if (failWith)
        throw WallpaperApplyError::displayUpdateFailed(*failWith);
    const QUrl std = standardizedFileURL(file);
    if (scope == DisplayScope::mainDisplay)
        shown[0] = std;
    else
        for (auto &s : shown)
            s = std;
    co_return;
}

QCoro::Task<QSet<QUrl>> RecordingApplier::currentDesktopImageURLs()
{
    co_return shownURLs();
}

QSet<QUrl> RecordingApplier::shownURLs() const
{
    QSet<QUrl> out;
    for (const auto &s : shown)
        if (s)
            out.insert(*s);
    return out;
}

QCoro::Task<QList<std::optional<QUrl>>> RecordingApplier::desktopImageURLs(DisplayScope scope)
{
    co_return scope == DisplayScope::mainDisplay ? shown.mid(0, 1) : shown;
}

SavedWallpaper FakeCache::saveValidatedImage(const QUrl &file, const QString &imageID) const
{
    QFile in(file.toLocalFile());
    if (!in.open(QIODevice::ReadOnly))
        throw FileError(in.errorString());
    const QByteArray bytes = in.readAll();
    if (bytes.startsWith("corrupt"))
        throw WallpaperCacheError::truncatedImageData();
    int n;
    {
        QMutexLocker lock(&m_mutex);
        n = ++m_counter;
    }
    QDir().mkpath(m_dir);
    const QString target = m_dir + QStringLiteral("/%1-%2.jpg").arg(imageID).arg(n);
    if (!QFile::copy(file.toLocalFile(), target))
        throw FileError(QStringLiteral("copy failed"));
    return SavedWallpaper{QUrl::fromLocalFile(target), 3840, 2160,
                          QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex())};
}

void FakeCache::pruneOldWallpapers(const QSet<QUrl> &keeping, int) const
{
    QMutexLocker lock(&m_mutex);
    ++m_pruneCalls;
    m_lastKeeping = keeping;
}

int FakeCache::pruneCalls() const
{
    QMutexLocker lock(&m_mutex);
    return m_pruneCalls;
}

QSet<QUrl> FakeCache::lastKeeping() const
{
    QMutexLocker lock(&m_mutex);
    return m_lastKeeping;
}

} // namespace Starvane::Testing

// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes.h"

#include "archive/boundeddownload.h"
#include "async/cancellation.h"
#include "models/errors.h"
#include "models/fileurls.h"

#include <QCoroSignal>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QUuid>
#include <algorithm>

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
        if (!self) throw CancelledError();
        if (cancelled) break;
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

std::shared_ptr<StepGate::Hold> StepGate::holdNext(Step step)
{
    QMutexLocker lock(&m_mutex);
    auto hold = std::make_shared<Hold>(Hold{step});
    m_holds << hold;
    return hold;
}

bool StepGate::hasArrived(const std::shared_ptr<Hold> &hold) const
{
    QMutexLocker lock(&m_mutex);
    return hold->arrived;
}

void StepGate::release(const std::shared_ptr<Hold> &hold)
{
    QMutexLocker lock(&m_mutex);
    hold->released = true;
    m_holds.removeAll(hold);
    m_releasedCondition.wakeAll();
}

void StepGate::releaseAll()
{
    QMutexLocker lock(&m_mutex);
    for (const auto &hold : std::as_const(m_holds))
        hold->released = true;
    m_holds.clear();
    m_releasedCondition.wakeAll();
}

QList<Step> StepGate::callsAfterStop() const
{
    QMutexLocker lock(&m_mutex);
    return m_callsAfterStop;
}

std::shared_ptr<StepGate::Hold> StepGate::arrive(Step step, bool stopped)
{
    QMutexLocker lock(&m_mutex);
    if (stopped) m_callsAfterStop << step;
    for (const auto &hold : std::as_const(m_holds)) {
        if (hold->step == step && !hold->arrived) {
            hold->arrived = true;
            return hold;
        }
    }
    return nullptr;
}

QCoro::Task<> StepGate::pass(std::shared_ptr<StepGate> gate, Step step, std::stop_token st)
{
    if (!gate) {
        throwIfCancelled(st);
        co_return;
    }
    const std::shared_ptr<Hold> hold = gate->arrive(step, st.stop_requested());
    throwIfCancelled(st);
    // Polls, deaf to the token: the held work is taken to have finished already.
    while (hold) {
        {
            QMutexLocker lock(&gate->m_mutex);
            if (hold->released) break;
        }
        co_await sleepFor(std::chrono::milliseconds(2), {});
    }
}

void StepGate::passBlocking(const std::shared_ptr<StepGate> &gate, Step step)
{
    if (!gate) return;
    const std::shared_ptr<Hold> hold = gate->arrive(step, false);
    QMutexLocker lock(&gate->m_mutex);
    while (hold && !hold->released)
        gate->m_releasedCondition.wait(&gate->m_mutex);
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
    co_await StepGate::pass(gate, Step::page, st);
    if (!pageHandler) co_return QList<HubbleImage>{};
    co_return pageHandler(page);
}

QCoro::Task<HubbleImage> ScriptedArchive::verifyForDisplay(HubbleImage candidate, QSize display, std::stop_token st)
{
    m_verifyingFor = display;
    HubbleImage verified = co_await verifyAndEnrichCandidate(std::move(candidate), std::move(st));
    co_return verified;
}

QCoro::Task<HubbleImage> ScriptedArchive::verifyAndEnrichCandidate(HubbleImage candidate, std::stop_token st)
{
    verifiedIDs << candidate.id;
    verifiedFor << std::exchange(m_verifyingFor, QSize());
    co_await StepGate::pass(gate, Step::verify, st);
    if (!verifyHandler) co_return candidate;
    co_return verifyHandler(candidate);
}

QCoro::Task<QUrl> ScriptedArchive::downloadImageFile(QUrl url, std::stop_token st)
{
    downloadedURLs << url;
    struct Ended
    {
        int &count;
        ~Ended() { ++count; }
    } ended{endedDownloads};
    co_await StepGate::pass(gate, Step::download, st);
    if (downloadDelay.count() > 0) co_await sleepFor(downloadDelay, st);
    const QByteArray bytes = downloadHandler ? downloadHandler(url) : url.toString().toUtf8();
    const QString path = temporaryDir + QLatin1Char('/') + temporaryDownloadPrefix +
                         QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral(".tmp");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) throw FileError(f.errorString());
    const QUrl file = QUrl::fromLocalFile(path);
    temporaryFiles << file;
    co_return file;
}

QCoro::Task<> RecordingApplier::prepareWallpaper(QUrl, DisplayScope, std::stop_token st)
{
    co_await StepGate::pass(gate, Step::prepare, st);
}

QCoro::Task<> RecordingApplier::applyWallpaper(QUrl file, DisplayScope scope, std::stop_token st)
{
    while (m_applying)
        co_await sleepFor(std::chrono::milliseconds(2), {});
    m_applying = true;
    struct Done
    {
        bool &applying;
        ~Done() { applying = false; }
    } done{m_applying};
    co_await StepGate::pass(gate, Step::apply, st);
    // Stopped before the desktop changed: the apply is cancelled, as the real appliers do.
    throwIfCancelled(st);
    calls << Call{file, scope, look};
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

QCoro::Task<> RecordingApplier::applyDisplayWallpapers(QList<DisplayWallpaper> pictures, std::stop_token st)
{
    co_await StepGate::pass(gate, Step::apply, st);
    throwIfCancelled(st);
    displayCalls << pictures;
    if (failWith) throw WallpaperApplyError::displayUpdateFailed(*failWith);
    for (const DisplayWallpaper &p : pictures)
        shownOnDisplay.insert(p.displayKey, standardizedFileURL(p.file));
}

QCoro::Task<> RecordingApplier::applyLockScreen(QUrl file, std::stop_token)
{
    lockScreenCalls << file;
    co_return;
}

DisplayTarget makeDisplay(const QString &name, int w, int h, int x, bool primary)
{
    return {name, QRect(x, 0, w, h), QRect(x, 0, w, h), primary, name};
}

QCoro::Task<QSet<QUrl>> RecordingApplier::currentDesktopImageURLs()
{
    co_return shownURLs();
}

QSet<QUrl> RecordingApplier::shownURLs() const
{
    QSet<QUrl> out;
    for (const auto &s : shown)
        if (s) out.insert(*s);
    for (const QUrl &u : shownOnDisplay)
        out.insert(u);
    return out;
}

QCoro::Task<QList<std::optional<QUrl>>> RecordingApplier::desktopImageURLs(DisplayScope scope)
{
    co_return scope == DisplayScope::mainDisplay ? shown.mid(0, 1) : shown;
}

SavedWallpaper FakeCache::saveValidatedImage(const QUrl &file, const QString &imageID, bool forPortraitDisplay) const
{
    StepGate::passBlocking(gate, Step::save);
    QFile in(file.toLocalFile());
    if (!in.open(QIODevice::ReadOnly)) throw FileError(in.errorString());
    const QByteArray bytes = in.readAll();
    if (bytes.startsWith("corrupt")) throw WallpaperCacheError::truncatedImageData();
    // Ids with "tall" in them stand for portrait pictures; as the real cache, this one refuses them
    // before writing anything unless they are for a portrait display.
    const bool tall = bytes.contains("tall");
    if (tall && !forPortraitDisplay) throw WallpaperCacheError::unsuitableAspectRatio(2160, 3840);
    int n;
    {
        QMutexLocker lock(&m_mutex);
        n = ++m_counter;
    }
    QDir().mkpath(m_dir);
    const QString target = m_dir + QStringLiteral("/%1-%2.jpg").arg(imageID).arg(n);
    if (!QFile::copy(file.toLocalFile(), target)) throw FileError(QStringLiteral("copy failed"));
    return SavedWallpaper{QUrl::fromLocalFile(target), tall ? 2160 : 3840, tall ? 3840 : 2160,
                          QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex())};
}

void FakeCache::pruneOldWallpapers(const QSet<QUrl> &keeping, int maxRetained) const
{
    QMutexLocker lock(&m_mutex);
    ++m_pruneCalls;
    m_lastKeeping = keeping;
    if (!prunes) return;
    // Newest first by the save counter in the name.
    QFileInfoList files = QDir(m_dir).entryInfoList(QDir::Files);
    const auto counter = [](const QFileInfo &f) { return f.completeBaseName().section(QLatin1Char('-'), -1).toInt(); };
    std::sort(files.begin(), files.end(),
              [&](const QFileInfo &a, const QFileInfo &b) { return counter(a) > counter(b); });
    for (qsizetype i = maxRetained; i < files.size(); ++i)
        if (!keeping.contains(QUrl::fromLocalFile(files[i].absoluteFilePath())))
            QFile::remove(files[i].absoluteFilePath());
}

bool FakeCache::saveThumbnail(const QUrl &file, const QString &target, int) const
{
    QDir().mkpath(QFileInfo(target).path());
    QFile::remove(target);
    return QFile::copy(file.toLocalFile(), target);
}

QSize FakeCache::pixelSize(const QUrl &file) const
{
    QFile in(file.toLocalFile());
    if (!in.open(QIODevice::ReadOnly)) return {};
    return in.readAll().contains("tall") ? QSize(2160, 3840) : QSize(3840, 2160);
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

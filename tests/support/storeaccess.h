// SPDX-License-Identifier: GPL-3.0-or-later
// Lets tests read and plant the store's private bookkeeping without widening its public interface.
#pragma once

#include "store/wallpaperstore.h"

namespace Starvane {

class WallpaperStoreTestAccess
{
public:
    explicit WallpaperStoreTestAccess(WallpaperStore &s) : m_s(s) {}
    QStringList &recentImageIDs() { return m_s.m_recentImageIDs; }
    QStringList &recentContentHashes() { return m_s.m_recentContentHashes; }
    std::optional<QString> &currentContentHash() { return m_s.m_currentContentHash; }
    int &nextPageNumber() { return m_s.m_nextPageNumber; }
    int &pagesCheckedWithoutUnseen() { return m_s.m_pagesCheckedWithoutUnseen; }
    QList<HubbleImage> &catalogPool() { return m_s.m_catalogPool; }
    bool hasSchedulerTask() const { return m_s.m_schedulerTask.has_value(); }
    bool hasActiveFetchTask() const { return m_s.m_activeFetchTask.has_value(); }
    void persistState() { m_s.persistState(); }
    void setSettings(const AppSettings &v) { m_s.setSettings(v); }
    void setCurrentImage(const std::optional<HubbleImage> &v) { m_s.setCurrentImage(v); }
    void setCurrentLocalFileURL(const std::optional<QUrl> &v) { m_s.setCurrentLocalFileURL(v); }
    void setNextChangeDate(const std::optional<QDateTime> &v) { m_s.setNextChangeDate(v); }
    void setLoading(bool v) { m_s.setLoading(v); }
    void setErrorMessage(const std::optional<QString> &v) { m_s.setErrorMessage(v); }
    static void recordShownImage(QStringList &list, const QString &value)
    {
        WallpaperStore::recordShownImage(list, value);
    }
    static QList<HubbleImage> variedTopOrdering(QList<HubbleImage> images)
    {
        return WallpaperStore::variedTopOrdering(std::move(images));
    }

private:
    WallpaperStore &m_s;
};

} // namespace Starvane

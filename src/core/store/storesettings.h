// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/appsettings.h"

#include <QObject>
#include <memory>

namespace Starvane {

class KeyValueStore;

/// The user's choices: one property each, saved as soon as one really changes, and announced only then.
/// Main thread only.
class StoreSettings : public QObject
{
    Q_OBJECT
public:
    explicit StoreSettings(std::shared_ptr<KeyValueStore> defaults, QObject *parent = nullptr);

    /// Reads the stored choices; what cannot be read keeps its default (and is overwritten by the next save).
    void restore();
    /// Writes the choices (the schedule persists them with the rest of its state).
    void persist() const;

    const AppSettings &values() const { return m_values; }
    ChangeFrequency frequency() const { return m_values.frequency; }
    DisplayScope displayScope() const { return m_values.displayScope; }
    bool isPaused() const { return m_values.isPaused; }
    bool isAutoRotationActive() const { return m_values.isAutoRotationActive(); }
    bool onlyKeptPictures() const { return m_values.onlyKeptPictures; }
    bool downloadOnMetered() const { return m_values.downloadOnMetered; }
    bool saveData() const { return m_values.saveData; }
    bool notifyOnChange() const { return m_values.notifyOnChange; }
    bool showCaption() const { return m_values.showCaption; }
    bool dimInDarkStyle() const { return m_values.dimInDarkStyle; }
    /// The pictures also go to the lock screen.
    bool lockScreen() const { return m_lockScreen; }

    /// False when nothing changed.
    bool set(const AppSettings &values);
    bool setLockScreen(bool enabled);
    // The choices the rest of the store follows through the signals below; each change is logged.
    void setOnlyKeptPictures(bool onlyKept);
    void setDownloadOnMetered(bool enabled);
    void setSaveData(bool enabled);
    void setNotifyOnChange(bool enabled);
    /// The title and credit drawn on the wallpaper.
    void setShowCaption(bool enabled);
    /// A darker wallpaper in the dark style.
    void setDimInDarkStyle(bool enabled);

Q_SIGNALS:
    void changed();
    void isAutoRotationActiveChanged();
    void lockScreenChanged();
    void onlyKeptPicturesChanged();
    void downloadOnMeteredChanged();
    void showCaptionChanged();
    void dimInDarkStyleChanged();

private:
    /// False when nothing changed.
    bool setSwitch(bool AppSettings::*choice, bool value, const char *logLine);

    std::shared_ptr<KeyValueStore> m_defaults;
    AppSettings m_values;
    bool m_lockScreen = false;
};

} // namespace Starvane

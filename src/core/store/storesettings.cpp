// SPDX-License-Identifier: GPL-3.0-or-later
#include "storesettings.h"

#include "keyvaluestore.h"
#include "logging.h"
#include "storekeys.h"

namespace Starvane {

StoreSettings::StoreSettings(std::shared_ptr<KeyValueStore> defaults, QObject *parent)
    : QObject(parent), m_defaults(std::move(defaults))
{
}

void StoreSettings::restore()
{
    if (const auto json = m_defaults->data(StoreKeys::settings)) {
        if (const auto decoded = AppSettings::fromJson(*json)) m_values = *decoded;
    }
    m_lockScreen = m_defaults->integer(StoreKeys::lockScreen) == 1;
}

void StoreSettings::persist() const
{
    m_defaults->setData(StoreKeys::settings, m_values.toJson());
}

bool StoreSettings::set(const AppSettings &values)
{
    if (m_values == values) return false;
    const bool wasActive = isAutoRotationActive();
    m_values = values;
    persist();
    Q_EMIT changed();
    if (wasActive != isAutoRotationActive()) Q_EMIT isAutoRotationActiveChanged();
    return true;
}

bool StoreSettings::setSwitch(bool AppSettings::*choice, bool value, const char *logLine)
{
    AppSettings next = m_values;
    next.*choice = value;
    if (!set(next)) return false;
    qCInfo(lcStore).noquote() << QLatin1String(logLine) << (value ? "true" : "false");
    return true;
}

void StoreSettings::setOnlyKeptPictures(bool onlyKept)
{
    if (setSwitch(&AppSettings::onlyKeptPictures, onlyKept, "Only kept pictures:")) Q_EMIT onlyKeptPicturesChanged();
}

void StoreSettings::setDownloadOnMetered(bool enabled)
{
    if (setSwitch(&AppSettings::downloadOnMetered, enabled, "Updated download on metered connections:"))
        Q_EMIT downloadOnMeteredChanged();
}

void StoreSettings::setSaveData(bool enabled)
{
    setSwitch(&AppSettings::saveData, enabled, "Updated save data:");
}

void StoreSettings::setNotifyOnChange(bool enabled)
{
    setSwitch(&AppSettings::notifyOnChange, enabled, "Updated notify on change:");
}

void StoreSettings::setShowCaption(bool enabled)
{
    if (setSwitch(&AppSettings::showCaption, enabled, "Updated caption on the wallpaper:")) Q_EMIT showCaptionChanged();
}

void StoreSettings::setDimInDarkStyle(bool enabled)
{
    if (setSwitch(&AppSettings::dimInDarkStyle, enabled, "Updated dim in dark style:")) Q_EMIT dimInDarkStyleChanged();
}

bool StoreSettings::setLockScreen(bool enabled)
{
    if (m_lockScreen == enabled) return false;
    m_lockScreen = enabled;
    m_defaults->setInteger(StoreKeys::lockScreen, enabled ? 1 : 0);
    Q_EMIT lockScreenChanged();
    return true;
}

} // namespace Starvane

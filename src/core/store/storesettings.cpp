// SPDX-License-Identifier: GPL-3.0-or-later
#include "storesettings.h"

#include "keyvaluestore.h"
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

bool StoreSettings::setLockScreen(bool enabled)
{
    if (m_lockScreen == enabled) return false;
    m_lockScreen = enabled;
    m_defaults->setInteger(StoreKeys::lockScreen, enabled ? 1 : 0);
    Q_EMIT lockScreenChanged();
    return true;
}

} // namespace Starvane

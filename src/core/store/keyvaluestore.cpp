// SPDX-License-Identifier: GPL-3.0-or-later
#include "keyvaluestore.h"

#include <QSettings>

namespace Starvane {

namespace {
std::optional<QByteArray> asData(const QVariant &v)
{
    if (v.typeId() == QMetaType::QByteArray) return v.toByteArray();
    return std::nullopt;
}

std::optional<QString> asString(const QVariant &v)
{
    if (v.typeId() == QMetaType::QString) return v.toString();
    return std::nullopt;
}

std::optional<QDateTime> asDate(const QVariant &v)
{
    if (v.typeId() == QMetaType::QDateTime && v.toDateTime().isValid()) return v.toDateTime();
    return std::nullopt;
}

qint64 asInteger(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return v.toLongLong();
    case QMetaType::QString: {
        // INI stores numbers as text.
        bool ok = false;
        const qint64 n = v.toString().trimmed().toLongLong(&ok);
        return ok ? n : 0;
    }
    default:
        return 0;
    }
}

std::optional<QStringList> asStringArray(const QVariant &v)
{
    if (v.typeId() == QMetaType::QStringList) return v.toStringList();
    // INI reads a one-element list back as a plain string.
    if (v.typeId() == QMetaType::QString) return QStringList{v.toString()};
    if (v.typeId() == QMetaType::QVariantList) {
        QStringList out;
        for (const QVariant &e : v.toList()) {
            if (e.typeId() != QMetaType::QString) return std::nullopt;
            out << e.toString();
        }
        return out;
    }
    return std::nullopt;
}
} // namespace

std::optional<QByteArray> InMemoryKeyValueStore::data(const QString &key) const
{
    return asData(m_values.value(key));
}
std::optional<QString> InMemoryKeyValueStore::string(const QString &key) const
{
    return asString(m_values.value(key));
}
std::optional<QDateTime> InMemoryKeyValueStore::date(const QString &key) const
{
    return asDate(m_values.value(key));
}
qint64 InMemoryKeyValueStore::integer(const QString &key) const
{
    return asInteger(m_values.value(key));
}
std::optional<QStringList> InMemoryKeyValueStore::stringArray(const QString &key) const
{
    return asStringArray(m_values.value(key));
}

SettingsKeyValueStore::SettingsKeyValueStore()
    : m_settings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Starvane"),
                                             QStringLiteral("Starvane")))
{
}

SettingsKeyValueStore::SettingsKeyValueStore(const QString &filePath)
    : m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat))
{
}

SettingsKeyValueStore::~SettingsKeyValueStore() = default;

std::optional<QByteArray> SettingsKeyValueStore::data(const QString &key) const
{
    return asData(m_settings->value(key));
}
std::optional<QString> SettingsKeyValueStore::string(const QString &key) const
{
    return asString(m_settings->value(key));
}
std::optional<QDateTime> SettingsKeyValueStore::date(const QString &key) const
{
    return asDate(m_settings->value(key));
}
qint64 SettingsKeyValueStore::integer(const QString &key) const
{
    return asInteger(m_settings->value(key));
}
std::optional<QStringList> SettingsKeyValueStore::stringArray(const QString &key) const
{
    if (!m_settings->contains(key)) return std::nullopt;
    const QVariant v = m_settings->value(key);
    // An empty list is written as "@Invalid()" and reads back as an invalid variant.
    if (!v.isValid()) return QStringList{};
    return asStringArray(v);
}

void SettingsKeyValueStore::setData(const QString &key, const QByteArray &value)
{
    m_settings->setValue(key, value);
}
void SettingsKeyValueStore::setString(const QString &key, const QString &value)
{
    m_settings->setValue(key, value);
}
void SettingsKeyValueStore::setDate(const QString &key, const QDateTime &value)
{
    m_settings->setValue(key, value);
}
void SettingsKeyValueStore::setInteger(const QString &key, qint64 value)
{
    m_settings->setValue(key, value);
}
void SettingsKeyValueStore::setStringArray(const QString &key, const QStringList &value)
{
    m_settings->setValue(key, value);
}
void SettingsKeyValueStore::remove(const QString &key)
{
    m_settings->remove(key);
}
bool SettingsKeyValueStore::contains(const QString &key) const
{
    return m_settings->contains(key);
}
void SettingsKeyValueStore::sync()
{
    m_settings->sync();
}
QString SettingsKeyValueStore::fileName() const
{
    return m_settings->fileName();
}

} // namespace Starvane

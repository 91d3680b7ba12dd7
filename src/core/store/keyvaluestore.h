// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <optional>

class QSettings;

namespace Starvane {

/// A persistent key-value store that tells data, string, date, integer and string-array values apart.
/// Readers ask for the kind they expect; a value of another kind reads as absent.
class KeyValueStore
{
public:
    virtual ~KeyValueStore() = default;

    virtual std::optional<QByteArray> data(const QString &key) const = 0;
    virtual std::optional<QString> string(const QString &key) const = 0;
    virtual std::optional<QDateTime> date(const QString &key) const = 0;
    /// 0 when the key is missing or holds no integer.
    virtual qint64 integer(const QString &key) const = 0;
    virtual std::optional<QStringList> stringArray(const QString &key) const = 0;

    virtual void setData(const QString &key, const QByteArray &value) = 0;
    virtual void setString(const QString &key, const QString &value) = 0;
    virtual void setDate(const QString &key, const QDateTime &value) = 0;
    virtual void setInteger(const QString &key, qint64 value) = 0;
    virtual void setStringArray(const QString &key, const QStringList &value) = 0;
    virtual void remove(const QString &key) = 0;
    virtual bool contains(const QString &key) const = 0;
};

/// The in-memory store for tests; keeps each value with its kind.
class InMemoryKeyValueStore : public KeyValueStore
{
public:
    std::optional<QByteArray> data(const QString &key) const override;
    std::optional<QString> string(const QString &key) const override;
    std::optional<QDateTime> date(const QString &key) const override;
    qint64 integer(const QString &key) const override;
    std::optional<QStringList> stringArray(const QString &key) const override;
    void setData(const QString &key, const QByteArray &value) override { m_values.insert(key, value); }
    void setString(const QString &key, const QString &value) override { m_values.insert(key, value); }
    void setDate(const QString &key, const QDateTime &value) override { m_values.insert(key, value); }
    void setInteger(const QString &key, qint64 value) override { m_values.insert(key, value); }
    void setStringArray(const QString &key, const QStringList &value) override { m_values.insert(key, value); }
    void remove(const QString &key) override { m_values.remove(key); }
    bool contains(const QString &key) const override { return m_values.contains(key); }

    /// Raw access so tests can plant values of the wrong kind.
    void setRaw(const QString &key, const QVariant &value) { m_values.insert(key, value); }
    QStringList keys() const { return m_values.keys(); }

private:
    QHash<QString, QVariant> m_values;
};

/// QSettings in its native INI form (~/.config/Starvane/Starvane.conf). INI loses the type of numbers,
/// booleans and one-element or empty lists, so every reader converts from the text it finds.
class SettingsKeyValueStore : public KeyValueStore
{
public:
    /// The user's own file.
    SettingsKeyValueStore();
    /// A given INI file (tests, tools).
    explicit SettingsKeyValueStore(const QString &filePath);
    ~SettingsKeyValueStore() override;

    std::optional<QByteArray> data(const QString &key) const override;
    std::optional<QString> string(const QString &key) const override;
    std::optional<QDateTime> date(const QString &key) const override;
    qint64 integer(const QString &key) const override;
    std::optional<QStringList> stringArray(const QString &key) const override;
    void setData(const QString &key, const QByteArray &value) override;
    void setString(const QString &key, const QString &value) override;
    void setDate(const QString &key, const QDateTime &value) override;
    void setInteger(const QString &key, qint64 value) override;
    void setStringArray(const QString &key, const QStringList &value) override;
    void remove(const QString &key) override;
    bool contains(const QString &key) const override;

    /// Writes pending changes to disk (atomically: temporary file and rename).
    void sync();
    QString fileName() const;

private:
    std::unique_ptr<QSettings> m_settings;
};

} // namespace Starvane

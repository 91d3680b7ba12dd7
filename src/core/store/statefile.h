// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonObject>
#include <QString>
#include <functional>

namespace Starvane {

/// How reading one of our JSON state files went.
enum class StateFileRead {
    /// No such file: a first run.
    missing,
    ok,
    /// The file could not be parsed, or is of another version: it was renamed with ".damaged" (and logged),
    /// so the next start does not trip over it and nothing of it is lost.
    setAside,
    /// It exists but cannot be opened: left where it is for the next start.
    unreadable,
};

/// Reads the JSON object in `path` when it carries "version": `version` and passes `isValid`; anything
/// else is set aside as "<path>.damaged". Waits for writes of the file still queued.
StateFileRead readStateFile(const QString &path, int version, QJsonObject *object,
                            const std::function<bool(const QJsonObject &)> &isValid = {});

} // namespace Starvane

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace Starvane {

/// The languages the user asked for, most wanted first: `LANGUAGE` (a colon-separated list, as gettext
/// reads it), then the system locale's interface languages.
QStringList preferredLanguages();

/// Installs the program's built-in translation for the first of `languages` that has one and makes that
/// language the default for dates and numbers. A right-to-left first language mirrors the layout. Without
/// any match, or with a translation that does not load, the program speaks English. Qt's own texts that
/// people read (shortcuts, standard dialogs) follow in that language from Qt's translations in
/// `qtTranslationsDir` (null: where Qt keeps them) when a usable file is there. Returns the name of the
/// translation installed, or an empty string.
QString installTranslations(const QStringList &languages = preferredLanguages(),
                            const QString &qtTranslationsDir = QString());

} // namespace Starvane

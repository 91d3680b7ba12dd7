// SPDX-License-Identifier: GPL-3.0-or-later
#include "livemenuobjects.h"

#ifdef STARVANE_TEST_HOOKS
#include <QAction>
#include <QApplication>
#include <QMenu>

namespace Starvane {

QJsonObject liveMenuObjects()
{
    // QApplication lists every widget, with a parent or without, so a menu nobody deletes is still seen;
    // our actions always belong to the menu or menu bar they were made for.
    int menus = 0;
    int actions = 0;
    const QWidgetList widgets = QApplication::allWidgets();
    for (const QWidget *widget : widgets) {
        if (qobject_cast<const QMenu *>(widget)) ++menus;
        for (const QObject *child : widget->children())
            if (qobject_cast<const QAction *>(child)) ++actions;
    }
    return {{QStringLiteral("menus"), menus}, {QStringLiteral("actions"), actions}};
}

} // namespace Starvane
#endif

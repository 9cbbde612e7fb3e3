#pragma once

#include <QString>

class QQuickItem;

// The first item named `name` in the visual tree below `root` (root included),
// or null. Repeated items are found too: they are not QObject children.
QQuickItem *findItem(QQuickItem *root, const QString &name);

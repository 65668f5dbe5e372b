#pragma once

#include <QVariantList>
#include <QVariantMap>

#include <functional>

class QObject;
class QQuickItem;

namespace uitest {

// The first object called `name` below `root`, searching children, child items, a window's
// content and a popup's content.
QObject* findNamed(QObject* root, const QString& name);
template <typename T> T* findNamed(QObject* root, const QString& name)
{
    return qobject_cast<T*>(findNamed(root, name));
}

// Every visual item below `root` that `match` accepts, e.g. the delegates of a list.
QList<QQuickItem*> findItems(QQuickItem* root, const std::function<bool(QQuickItem*)>& match);

// Server and process entries shaped like the controller's.
QVariantMap serverEntry(const QString& name, const QString& countryCode, int latency);
QVariantList sampleServers(int count);
QVariantList sampleProcesses(int count);

} // namespace uitest

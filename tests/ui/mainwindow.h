#pragma once

#include <QList>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

class QObject;
class QQuickItem;

namespace uitest {

// The first object called `name` below `root`: QObject children, child items, a window's
// content and a popup's content are all searched.
QObject* findNamed(QObject* root, const QString& name);
template <typename T> T* findNamed(QObject* root, const QString& name)
{
    return qobject_cast<T*>(findNamed(root, name));
}

// Every visual item called `name` below `root`, e.g. the delegates of a list.
QList<QQuickItem*> findAllNamed(QQuickItem* root, const QString& name);

// Server and process entries shaped like the controller's.
QVariantList sampleServers(int count);
QVariantMap serverEntry(const QString& name, const QString& countryCode, int latency);
QVariantList sampleProcesses(int count);

} // namespace uitest

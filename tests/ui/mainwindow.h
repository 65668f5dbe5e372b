#pragma once

#include <QList>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

class Controller;
class QObject;
class QQmlApplicationEngine;
class QQuickItem;
class QQuickWindow;

namespace uitest {

struct MainWindow
{
    QQuickWindow* window = nullptr;
    Controller* controller = nullptr;
};

// Registers the controller type, the "Basic" style and the process-icon provider, loads
// "qrc:/OrvikVPN/qml/Main.qml" and finds the controller, all the way the client does.
// Initial properties are set on the window before it completes.
MainWindow loadMainWindow(QQmlApplicationEngine& engine, const QVariantMap& initialProperties = {});

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

#pragma once

#include <QIcon>
#include <QStringList>
#include <QVariantMap>

#include <memory>

class Controller;
class QLocalServer;
class QQmlApplicationEngine;
class QQuickWindow;
class Tray;

// The client as the executable runs it: the window and its controller, the tray, and what
// ties them to the application's life (the quit, the exit hook, "--connect-saved", the
// instance channel). Tests build the same one, without an instance server.
class Shell
{
public:
    // `initialProperties` are set on the window before it completes.
    Shell(QLocalServer* instanceServer, const QStringList& arguments,
          const QVariantMap& initialProperties = {});
    ~Shell();
    Shell(const Shell&) = delete;
    Shell& operator=(const Shell&) = delete;

    // False when the window did not load; the client then ends.
    bool isLoaded() const { return m_loaded; }
    QQuickWindow* window() const { return m_window; }
    Controller* controller() const { return m_controller; }
    Tray* tray() const { return m_tray.get(); }

    static QIcon icon();
    // Where the quit signals go: the live shell's tray quits the way its "Выйти" does; with
    // no tray (still loading, or already gone) the application quits plainly.
    static void quitFromSignal();

private:
    // The engine owns the window and the controller; the tray goes before them.
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    std::unique_ptr<Tray> m_tray;
    QQuickWindow* m_window = nullptr;
    Controller* m_controller = nullptr;
    bool m_loaded = false;
};

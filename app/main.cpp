#include "app/connectsaved.h"
#include "app/quitsignals.h"
#include "app/singleinstance.h"
#include "app/startup.h"
#include "app/tray.h"
#include "controller/controller.h"
#include "deployment.h"
#include "routing/iconprovider.h"
#include "session/runtimefolders.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QScopeGuard>
#include <QTimer>
#include <QtQml>

#include <cstdlib>

namespace {

// The controller of this run, for the exit() a platform plugin calls when it loses the display:
// the stack below main() is then never unwound.
QPointer<Controller> g_controllerAtExit;

} // namespace

int main(int argc, char* argv[])
{
    startup::setApplicationIdentity();

    QApplication app(argc, argv);
    // Closing the window only hides it; the tray's quit is the one way out.
    QApplication::setQuitOnLastWindowClosed(false);
    QCoreApplication::setApplicationName(QStringLiteral("OrvikVPN"));
    QCoreApplication::setOrganizationName(QStringLiteral("OrvikVPN"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVIK_VERSION));
    const QIcon icon(QStringLiteral(":/OrvikVPN/assets/orvik.ico"));
    QApplication::setWindowIcon(icon);

    switch (startup::ensureElevated()) {
    case startup::Elevation::Relaunched:
        return 0;
    case startup::Elevation::Refused:
        return 1;
    case startup::Elevation::Continue:
        break;
    }

    QLocalSocket instanceSocket;
    QLocalServer instanceServer;
    switch (claimSingleInstance(instanceSocket, instanceServer)) {
    case InstanceClaim::OtherInstanceSignalled:
        return 0;
    case InstanceClaim::ListenFailed:
        return 1;
    case InstanceClaim::Serving:
        break;
    }
    // No other client of this user runs now, so a runtime folder left behind belongs to a
    // client that was killed; it may still hold the profile's secrets. Earlier versions kept
    // them in the temporary folder.
    const QString runtimeParent = runtimeFolderParent();
    if (!runtimeParent.isEmpty())
        removeStaleRuntimeFolders(runtimeParent);
    if (runtimeParent.isEmpty() || QDir(runtimeParent) != QDir(QDir::tempPath()))
        removeStaleRuntimeFolders(QDir::tempPath());

    // A stop signal that arrives while the window is still loading is served once the event
    // loop runs, and then ends the client the tray's way, like any later one.
    Tray* trayForSignals = nullptr;
    installQuitSignalHandlers([&trayForSignals] {
        if (trayForSignals)
            trayForSignals->quit();
        else
            QCoreApplication::quit();
    });

    qmlRegisterType<Controller>("OrvikVPN", 1, 0, "Controller");
    QQuickStyle::setStyle(QStringLiteral("Basic"));

    QQmlApplicationEngine engine;
    engine.addImageProvider(QStringLiteral("processicon"), new IconProvider);
    engine.load(QUrl(QStringLiteral("qrc:/OrvikVPN/qml/Main.qml")));
    if (engine.rootObjects().isEmpty())
        return 1;

    auto* window = qobject_cast<QQuickWindow*>(engine.rootObjects().constFirst());
    Controller* controller =
        window ? window->findChild<Controller*>(QString(), Qt::FindChildrenRecursively) : nullptr;

    // The link field's example names this build's web cabinet; loaded elsewhere (tests,
    // tools) the window keeps its own default. Set before the first frame is drawn; a window
    // without the property is left alone (an initial property it lacks fails the load).
    if (window && window->property("cabinetHost").isValid())
        window->setProperty("cabinetHost", QString::fromLatin1(deployment::kCabinetHost));

    if (window) {
        QObject::connect(&instanceServer, &QLocalServer::newConnection, window,
                         [&instanceServer, window] {
                             // Whatever the caller sent, a connection means "show yourself".
                             if (QLocalSocket* caller = instanceServer.nextPendingConnection()) {
                                 caller->close();
                                 caller->deleteLater();
                             }
                             bringWindowForward(window);
                         });
        window->setIcon(icon);
        startup::setNativeWindowIcons(window);
    }

    Tray tray(icon, window);
    trayForSignals = &tray;
    // The tray dies before the handlers do; a late signal then ends the client plainly.
    const auto forgetTray = qScopeGuard([&trayForSignals] { trayForSignals = nullptr; });

    if (controller) {
        QObject::connect(&app, &QCoreApplication::aboutToQuit, controller, &Controller::shutdown);
        // exit() from the X11 plugin skips aboutToQuit; this stops the cores, removes the
        // runtime folder and leaves a status file that no longer says connected.
        g_controllerAtExit = controller;
        std::atexit([] {
            if (Controller* controller = g_controllerAtExit.data())
                controller->shutdownAtExit();
        });
        if (hasConnectSavedSwitch(QCoreApplication::arguments())) {
            auto* trigger =
                new ConnectSavedTrigger([controller] { return !controller->servers().isEmpty(); },
                                        [controller] { controller->connectVpn(); }, controller);
            QObject::connect(controller, &Controller::serversChanged, trigger,
                             &ConnectSavedTrigger::onServersChanged);
        }
        tray.attachController(controller);
    }

    tray.show();
    return QApplication::exec();
}

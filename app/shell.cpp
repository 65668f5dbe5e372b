#include "app/shell.h"

#include "app/connectsaved.h"
#include "app/startup.h"
#include "app/tray.h"
#include "controller/controller.h"
#include "deployment.h"
#include "routing/iconprovider.h"

#include <QCoreApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QQuickWindow>

#include <cstdlib>

// Generated from the QML_ELEMENT types of the library's "OrvikVPN" module.
void qml_register_types_OrvikVPN();

namespace {

// The tray of the live shell; cleared when the tray dies, so a late signal quits plainly.
QPointer<Tray> g_trayForSignals;

// The controller of this run, for the exit() a platform plugin calls when it loses the display:
// the stack below main() is then never unwound.
QPointer<Controller> g_controllerAtExit;

} // namespace

QIcon Shell::icon()
{
    return QIcon(QStringLiteral(":/OrvikVPN/assets/orvik.ico"));
}

void Shell::quitFromSignal()
{
    if (Tray* tray = g_trayForSignals.data())
        tray->quit();
    else
        QCoreApplication::quit();
}

Shell::Shell(QLocalServer* instanceServer, const QStringList& arguments,
             const QVariantMap& initialProperties)
{
    static const bool registered = [] {
        // The module's registration lives in the static library; calling it keeps the linker
        // from dropping it, since nothing else refers to it.
        qml_register_types_OrvikVPN();
        QQuickStyle::setStyle(QStringLiteral("Basic"));
        return true;
    }();
    Q_UNUSED(registered);

    m_engine = std::make_unique<QQmlApplicationEngine>();
    m_engine->addImageProvider(QStringLiteral("processicon"), new IconProvider);
    if (!initialProperties.isEmpty())
        m_engine->setInitialProperties(initialProperties);
    m_engine->load(QUrl(QStringLiteral("qrc:/OrvikVPN/qml/Main.qml")));
    if (m_engine->rootObjects().isEmpty())
        return;
    m_loaded = true;

    QQuickWindow* window = qobject_cast<QQuickWindow*>(m_engine->rootObjects().constFirst());
    Controller* controller =
        window ? window->findChild<Controller*>(QString(), Qt::FindChildrenRecursively) : nullptr;
    m_window = window;
    m_controller = controller;

    // The link field's example names this build's web cabinet. Set before the first frame is
    // drawn; a window without the property is left alone (an initial property it lacks fails
    // the load).
    if (window && window->property("cabinetHost").isValid())
        window->setProperty("cabinetHost", QString::fromLatin1(deployment::kCabinetHost));

    const QIcon appIcon = icon();
    if (window) {
        if (instanceServer) {
            QObject::connect(
                instanceServer, &QLocalServer::newConnection, window, [instanceServer, window] {
                    // Whatever the caller sent, a connection means "show yourself".
                    if (QLocalSocket* caller = instanceServer->nextPendingConnection()) {
                        caller->close();
                        caller->deleteLater();
                    }
                    bringWindowForward(window);
                });
        }
        window->setIcon(appIcon);
        startup::setNativeWindowIcons(window);
    }

    m_tray = std::make_unique<Tray>(appIcon, window);
    g_trayForSignals = m_tray.get();

    if (controller) {
        QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, controller,
                         &Controller::shutdown);
        // exit() from the X11 plugin skips aboutToQuit; this stops the cores, removes the
        // runtime folder and leaves a status file that no longer says connected.
        g_controllerAtExit = controller;
        static const bool hooked = [] {
            return std::atexit([] {
                       if (Controller* controller = g_controllerAtExit.data())
                           controller->shutdownAtExit();
                   }) == 0;
        }();
        Q_UNUSED(hooked);
        if (hasConnectSavedSwitch(arguments)) {
            auto* trigger =
                new ConnectSavedTrigger([controller] { return !controller->servers().isEmpty(); },
                                        [controller] { controller->connectVpn(); }, controller);
            QObject::connect(controller, &Controller::serversChanged, trigger,
                             &ConnectSavedTrigger::onServersChanged);
        }
        m_tray->attachController(controller);
    }

    m_tray->show();
}

Shell::~Shell() = default;

#include "app/quitsignals.h"
#include "app/shell.h"
#include "app/singleinstance.h"
#include "app/startup.h"
#include "session/runtimefolders.h"

#include <QApplication>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

int main(int argc, char* argv[])
{
    startup::setApplicationIdentity();

    QApplication app(argc, argv);
    // Closing the window only hides it; the tray's quit is the one way out.
    QApplication::setQuitOnLastWindowClosed(false);
    QCoreApplication::setApplicationName(QStringLiteral("OrvikVPN"));
    QCoreApplication::setOrganizationName(QStringLiteral("OrvikVPN"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVIK_VERSION));
    QApplication::setWindowIcon(Shell::icon());

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
    installQuitSignalHandlers(&Shell::quitFromSignal);

    const Shell shell(&instanceServer, QCoreApplication::arguments());
    if (!shell.isLoaded())
        return 1;
    return QApplication::exec();
}

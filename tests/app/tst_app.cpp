#include "app/connectsaved.h"
#include "app/shell.h"
#include "app/singleinstance.h"
#include "controller/controller.h"
#include "tests/support/testenv.h"
#include "tests/support/controllertestaccess.h"
#include "tests/ui/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class AppShellTest : public QObject
{
    Q_OBJECT

private slots:
    void connectSavedSwitch_data();
    void connectSavedSwitch();
    void shellConnectsSavedOnceAfterTheFirstNonEmptyList();
    void triggerDelaysTheConnectionBy300ms();
    void secondClaimSignalsTheFirst();
    void anyConnectionCountsAsAShowRequest();
    void staleServerFileDoesNotBlockAStart();
};

void AppShellTest::connectSavedSwitch_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("present");
    QTest::newRow("none") << QStringList{"/opt/orvik/OrvikVPN"} << false;
    QTest::newRow("switch") << QStringList{"/opt/orvik/OrvikVPN", "--connect-saved"} << true;
    QTest::newRow("twice") << QStringList{"x", "--connect-saved", "--connect-saved"} << true;
    QTest::newRow("after others") << QStringList{"x", "-v", "--connect-saved"} << true;
    QTest::newRow("other case") << QStringList{"x", "--Connect-Saved"} << false;
    QTest::newRow("with value") << QStringList{"x", "--connect-saved=1"} << false;
    QTest::newRow("single dash") << QStringList{"x", "-connect-saved"} << false;
}

void AppShellTest::connectSavedSwitch()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, present);
    QCOMPARE(hasConnectSavedSwitch(arguments), present);
}

void AppShellTest::shellConnectsSavedOnceAfterTheFirstNonEmptyList()
{
    const Shell shell(nullptr, {QStringLiteral("x"), QStringLiteral("--connect-saved")});
    QVERIFY(shell.controller());
    Controller& vpn = *shell.controller();
    const QString idle = vpn.status();
    ControllerTestAccess::setServers(vpn, {}, 0); // an empty list leaves it waiting
    QTest::qWait(400);
    QCOMPARE(vpn.status(), idle);
    // The sample's link does not parse, so every attempt ends at once and shows in the status.
    ControllerTestAccess::setServers(vpn, uitest::sampleServers(2), 0);
    QTRY_COMPARE(vpn.status(), QStringLiteral("Ошибка профиля"));
    vpn.setStatus(idle);
    ControllerTestAccess::setServers(vpn, uitest::sampleServers(3), 0);
    QTest::qWait(400);
    QCOMPARE(vpn.status(), idle);
}

void AppShellTest::triggerDelaysTheConnectionBy300ms()
{
    int connects = 0;
    ConnectSavedTrigger trigger([] { return true; }, [&] { ++connects; });
    QElapsedTimer clock;
    clock.start();
    trigger.onServersChanged();
    QTest::qWait(200);
    QCOMPARE(connects, 0);
    QTRY_COMPARE_WITH_TIMEOUT(connects, 1, 2000);
    QVERIFY2(clock.elapsed() >= 290, qPrintable(QString::number(clock.elapsed())));
}

void AppShellTest::secondClaimSignalsTheFirst()
{
    QLocalSocket firstSocket;
    QLocalServer firstServer;
    QCOMPARE(claimSingleInstance(firstSocket, firstServer), InstanceClaim::Serving);

    QByteArray received;
    connect(&firstServer, &QLocalServer::newConnection, this, [&] {
        QLocalSocket* caller = firstServer.nextPendingConnection();
        connect(caller, &QLocalSocket::readyRead, this,
                [&, caller] { received += caller->readAll(); });
    });

    // The second start blocks this thread in its waits; the kernel queues the connection
    // and the bytes for the first server until the event loop runs again.
    QLocalSocket secondSocket;
    QLocalServer secondServer;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(claimSingleInstance(secondSocket, secondServer),
             InstanceClaim::OtherInstanceSignalled);
    QVERIFY(clock.elapsed() < 1000);
    QVERIFY(!secondServer.isListening());
    QTRY_COMPARE(received, QByteArray("show"));
}

void AppShellTest::anyConnectionCountsAsAShowRequest()
{
    QLocalSocket socket;
    QLocalServer server;
    QCOMPARE(claimSingleInstance(socket, server), InstanceClaim::Serving);
    QSignalSpy connections(&server, &QLocalServer::newConnection);

    QLocalSocket silent;
    silent.connectToServer(instanceServerName());
    QVERIFY(silent.waitForConnected(1000));
    QTRY_COMPARE(connections.count(), 1);
    silent.write("something else entirely");
    QVERIFY(silent.waitForBytesWritten(1000));
    silent.disconnectFromServer();
}

void AppShellTest::staleServerFileDoesNotBlockAStart()
{
    // What a killed client leaves: a socket file nobody listens on.
    const QString name = instanceServerName();
    {
        QLocalServer crashed;
        crashed.setSocketOptions(QLocalServer::UserAccessOption);
        QVERIFY(crashed.listen(name));
        QVERIFY(QFile::exists(name));
        // Leave the file behind the way a crash does: close the descriptor, keep the path.
        QFile::rename(name, name + QStringLiteral(".keep"));
        crashed.close();
        QFile::rename(name + QStringLiteral(".keep"), name);
    }
    QVERIFY(QFile::exists(name));

    QLocalSocket socket;
    QLocalServer server;
    QCOMPARE(claimSingleInstance(socket, server), InstanceClaim::Serving);
    QVERIFY(server.isListening());
    server.close();
}

ORVIK_TEST_MAIN(AppShellTest, QApplication)
#include "tst_app.moc"

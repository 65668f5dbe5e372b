#include "app/connectsaved.h"
#include "app/shell.h"
#include "app/singleinstance.h"
#include "controller/controller.h"
#include "tests/support/controllertestaccess.h"
#include "tests/support/testenv.h"
#include "tests/ui/mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QQuickWindow>
#include <QTest>

class AppShellTest : public QObject
{
    Q_OBJECT

private slots:
    void connectSavedSwitch_data();
    void connectSavedSwitch();
    void shellConnectsSavedOnceAfterTheFirstNonEmptyList();
    void anyInstanceConnectionShowsTheWindow();
};

void AppShellTest::connectSavedSwitch_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("present");
    QTest::newRow("after others") << QStringList{"x", "-v", "--connect-saved"} << true;
    QTest::newRow("other case") << QStringList{"x", "--Connect-Saved"} << false;
    QTest::newRow("with value") << QStringList{"x", "--connect-saved=1"} << false;
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
    // The sample's link does not parse, so an attempt ends at once and shows in the status,
    // 300 ms after the list came.
    QElapsedTimer clock;
    clock.start();
    ControllerTestAccess::setServers(vpn, uitest::sampleServers(2), 0);
    QTRY_COMPARE(vpn.status(), QStringLiteral("Ошибка профиля"));
    QVERIFY2(clock.elapsed() >= 290, qPrintable(QString::number(clock.elapsed())));
    vpn.setStatus(idle);
    ControllerTestAccess::setServers(vpn, uitest::sampleServers(3), 0);
    QTest::qWait(400);
    QCOMPARE(vpn.status(), idle);
}

void AppShellTest::anyInstanceConnectionShowsTheWindow()
{
    QLocalSocket socket;
    QLocalServer server;
    QCOMPARE(claimSingleInstance(socket, server), InstanceClaim::Serving);
    const Shell shell(&server, {});
    QQuickWindow* window = shell.window();
    QVERIFY(window);
    // Whatever the caller says.
    window->hide();
    QLocalSocket caller;
    caller.connectToServer(instanceServerName());
    QVERIFY(caller.waitForConnected(1000));
    caller.write("hello");
    QTRY_VERIFY(window->isVisible());
    QTRY_COMPARE(caller.state(), QLocalSocket::UnconnectedState);
    window->setProperty("allowClose", true);
}

ORVIK_TEST_MAIN(AppShellTest, QApplication)
#include "tst_app.moc"

#include "config/cores.h"
#include "controller/controller.h"
#include "profiles/serverlist.h"
#include "routing/approuting.h"
#include "tests/support/testenv.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

namespace {

QVariantMap entry(const char* name)
{
    return makeServerEntry(
        testenv::parsedProfile(QStringLiteral("hy2://a@%1.example:443#%1").arg(name)));
}

// Records the order in which the controller's change signals arrive.
QStringList* logSignals(Controller& controller)
{
    auto* log = new QStringList;
    const auto add = [log](const char* name) { return [log, name] { log->append(name); }; };
    QObject::connect(&controller, &Controller::connectedChanged, &controller, add("connected"));
    QObject::connect(&controller, &Controller::connectingChanged, &controller, add("connecting"));
    QObject::connect(&controller, &Controller::busyChanged, &controller, add("busy"));
    QObject::connect(&controller, &Controller::processesChanged, &controller, add("processes"));
    QObject::connect(&controller, &Controller::processRouteModeChanged, &controller,
                     add("processRouteMode"));
    QObject::connect(&controller, &QObject::destroyed, [log] { delete log; });
    return log;
}

} // namespace

class ControllerInterfaceTest : public QObject
{
    Q_OBJECT

private slots:
    void hasErrorFollowsStatusPrefix_data() { testenv::addRowsFromFile("status-errors.tsv", 3); }
    void hasErrorFollowsStatusPrefix();
    void disconnectAndShutdownOnlyReemitTheConnectionSignals();
    void selectionAcceptsOnlyNewRowsInsideTheList();
    void routeModeText_data() { testenv::addRowsFromFile("route-modes.tsv", 3); }
    void routeModeText();
    void copyLastErrorLeavesClipboardAloneWhenEmpty();
    void processBypassAvailableFollowsTheCoreFile();
};

void ControllerInterfaceTest::hasErrorFollowsStatusPrefix()
{
    QFETCH(QStringList, row);
    const QString& status = row[1];
    Controller controller;
    QSignalSpy statusSpy(&controller, &Controller::statusChanged);
    controller.setStatus(status);
    controller.setStatus(status); // the same text again is no change
    QCOMPARE(controller.property("hasError").toBool(), row[2] == u'1');
    QCOMPARE(statusSpy.count(), 1);
}

void ControllerInterfaceTest::disconnectAndShutdownOnlyReemitTheConnectionSignals()
{
    Controller controller;
    const QStringList* log = logSignals(controller);
    bool flagsAlwaysEqual = true;
    const auto checkFlags = [&] {
        flagsAlwaysEqual &= controller.isBusy() == controller.isConnecting();
    };
    connect(&controller, &Controller::busyChanged, &controller, checkFlags);
    connect(&controller, &Controller::connectingChanged, &controller, checkFlags);
    QSignalSpy statusSpy(&controller, &Controller::statusChanged);

    controller.disconnectVpn();
    controller.shutdown();
    controller.shutdown();
    const QStringList once{"connected", "busy", "connecting"};
    QCOMPARE(*log, once + once + once);
    QVERIFY(flagsAlwaysEqual);
    QCOMPARE(statusSpy.count(), 0);
    QCOMPARE(controller.status(), QStringLiteral("Отключено"));
}

void ControllerInterfaceTest::selectionAcceptsOnlyNewRowsInsideTheList()
{
    Controller controller;
    QSignalSpy selectedSpy(&controller, &Controller::selectedChanged);
    controller.setSelectedRow(1);
    QCOMPARE(controller.selectedName(), QStringLiteral("Выберите сервер"));
    QCOMPARE(controller.selectedEndpoint(), QString());

    controller.installServerList({entry("one"), entry("two"), entry("three")}, QString());
    QCOMPARE(controller.selectedEndpoint(), QStringLiteral("one.example:443"));
    controller.setProperty("selectedRow", 2);
    for (const int rejected : {2, -1, 3})
        controller.setSelectedRow(rejected);
    QCOMPARE(selectedSpy.count(), 1);
    QCOMPARE(controller.selectedRow(), 2);
    QCOMPARE(controller.selectedName(), QStringLiteral("three"));
}

// The one rule for a stored or written mode; the controller announces only a real change,
// the mode first and then the list that depends on it.
void ControllerInterfaceTest::routeModeText()
{
    QFETCH(QStringList, row);
    const QString &text = row[1], &mode = row[2];
    QCOMPARE(::routeModeText(routeModeFromText(text)), mode);
    QSettings().setValue(QStringLiteral("processRouteMode"), text);
    QCOMPARE(Controller().processRouteMode(), mode);

    QSettings().remove(QStringLiteral("processRouteMode"));
    Controller controller;
    const QStringList* log = logSignals(controller);
    controller.setProperty("processRouteMode", text);
    QCOMPARE(controller.processRouteMode(), mode);
    const QStringList announced{"processRouteMode", "processes"};
    QCOMPARE(*log, mode == QLatin1String("include") ? announced : QStringList());
}

void ControllerInterfaceTest::copyLastErrorLeavesClipboardAloneWhenEmpty()
{
    Controller controller;
    QGuiApplication::clipboard()->setText(QStringLiteral("keep me"));
    controller.copyLastError();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("keep me"));
}

void ControllerInterfaceTest::processBypassAvailableFollowsTheCoreFile()
{
    const QString core = corePath(QCoreApplication::applicationDirPath(), Core::SingBox);
    QVERIFY2(!QFile::exists(core), qPrintable(core));
    Controller controller;
    QVERIFY(!controller.processBypassAvailable());

    QFile file(core);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const bool available = controller.processBypassAvailable();
    QFile::remove(core);
    QVERIFY(available);
}

ORVIK_TEST_MAIN(ControllerInterfaceTest, QApplication)
#include "tst_controller.moc"

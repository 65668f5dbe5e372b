#include "controller/controller.h"
#include "tests/support/testenv.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include "config/cores.h"

namespace {

QVariantMap entry(const QString& name, const QString& uri)
{
    return {{QStringLiteral("name"), name},
            {QStringLiteral("endpoint"), name + QStringLiteral(".example:443")},
            {QStringLiteral("uri"), uri},
            {QStringLiteral("countryCode"), QStringLiteral("VPN")},
            {QStringLiteral("protocol"), QStringLiteral("Hysteria2")},
            {QStringLiteral("latency"), -2},
            {QStringLiteral("pinging"), false},
            {QStringLiteral("checkError"), QString()}};
}

QVariantList threeEntries()
{
    return {entry(QStringLiteral("one"), QStringLiteral("hy2://a@one.example:443#one")),
            entry(QStringLiteral("two"), QStringLiteral("hy2://a@two.example:443#two")),
            entry(QStringLiteral("three"), QStringLiteral("hy2://a@three.example:443#three"))};
}

// Records the order in which the controller's change signals arrive.
class SignalLog : public QObject
{
public:
    explicit SignalLog(Controller& controller)
    {
        const auto add = [this](const char* name) { return [this, name] { log << name; }; };
        connect(&controller, &Controller::connectedChanged, this, add("connected"));
        connect(&controller, &Controller::connectingChanged, this, add("connecting"));
        connect(&controller, &Controller::busyChanged, this, add("busy"));
        connect(&controller, &Controller::statusChanged, this, add("status"));
        connect(&controller, &Controller::selectedChanged, this, add("selected"));
        connect(&controller, &Controller::processesChanged, this, add("processes"));
        connect(&controller, &Controller::processFilterChanged, this, add("processFilter"));
        connect(&controller, &Controller::processRouteModeChanged, this, add("processRouteMode"));
    }

    QStringList log;
};

} // namespace

class ControllerInterfaceTest : public QObject
{
    Q_OBJECT

private slots:
    void metaObjectKeepsItsOrder();
    void initialState();
    void hasErrorFollowsStatusPrefix_data();
    void hasErrorFollowsStatusPrefix();
    void disconnectEmitsInOrderAndKeepsFlagsEqual();
    void selectedDefaultsOnEmptyList();
    void setSelectedRowAcceptsOnlyNewRowsInsideTheList();
    void processRouteModeIsNormalised_data();
    void processRouteModeIsNormalised();
    void processFilterIsKeptUntrimmed();
    void copyLastErrorLeavesClipboardAloneWhenEmpty();
    void shutdownTwiceOnlyReemitsConnectionSignals();
    void processBypassAvailableFollowsTheCoreFile();
};

void ControllerInterfaceTest::metaObjectKeepsItsOrder()
{
    Controller controller;
    const QMetaObject* meta = controller.metaObject();

    const QStringList properties = {"connected",
                                    "connecting",
                                    "hasError",
                                    "busy",
                                    "status",
                                    "subscriptionNotice",
                                    "subscriptionLoading",
                                    "selectedName",
                                    "selectedEndpoint",
                                    "selectedProtocol",
                                    "selectedRow",
                                    "servers",
                                    "processes",
                                    "processFilter",
                                    "processBypassAvailable",
                                    "processRouteMode",
                                    "selectedProcessCount",
                                    "bypassDomains",
                                    "bypassDomainError",
                                    "serverModel"};
    QCOMPARE(meta->propertyCount() - meta->propertyOffset(), properties.size());
    for (int i = 0; i < properties.size(); ++i)
        QCOMPARE(QString::fromLatin1(meta->property(meta->propertyOffset() + i).name()),
                 properties.at(i));
    const QStringList writable = {"selectedRow", "processFilter", "processRouteMode"};
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        QCOMPARE(property.isWritable(), writable.contains(QString::fromLatin1(property.name())));
    }
    QVERIFY(meta->property(meta->indexOfProperty("processBypassAvailable")).isConstant());
    QCOMPARE(meta->property(meta->indexOfProperty("hasError")).notifySignal().name(),
             QByteArray("statusChanged"));
    QCOMPARE(meta->property(meta->indexOfProperty("subscriptionLoading")).notifySignal().name(),
             QByteArray("serversChanged"));
    QCOMPARE(meta->property(meta->indexOfProperty("selectedProcessCount")).notifySignal().name(),
             QByteArray("processesChanged"));

    const QStringList methods = {"connectedChanged",
                                 "connectingChanged",
                                 "busyChanged",
                                 "statusChanged",
                                 "selectedChanged",
                                 "serversChanged",
                                 "processesChanged",
                                 "processFilterChanged",
                                 "processRouteModeChanged",
                                 "bypassDomainsChanged",
                                 "bypassDomainErrorChanged",
                                 "connectVpn",
                                 "disconnectVpn",
                                 "toggleVpn",
                                 "importSubscription",
                                 "refreshSubscription",
                                 "copyLastError",
                                 "pingServer",
                                 "pingAllServers",
                                 "refreshProcesses",
                                 "toggleProcessExclusion",
                                 "toggleProcessSelection",
                                 "addBypassDomain",
                                 "removeBypassDomain",
                                 "processIcon",
                                 "shutdown"};
    QCOMPARE(meta->methodCount() - meta->methodOffset(), methods.size());
    for (int i = 0; i < methods.size(); ++i) {
        const QMetaMethod method = meta->method(meta->methodOffset() + i);
        QCOMPARE(QString::fromLatin1(method.name()), methods.at(i));
        QCOMPARE(method.methodType(), i < 11 ? QMetaMethod::Signal : QMetaMethod::Method);
        QCOMPARE(method.access(), QMetaMethod::Public);
    }
    QCOMPARE(meta->method(meta->indexOfMethod("addBypassDomain(QString)")).returnType(),
             int(QMetaType::Bool));
    QCOMPARE(meta->method(meta->indexOfMethod("processIcon(QString)")).returnType(),
             int(QMetaType::QString));
}

void ControllerInterfaceTest::initialState()
{
    Controller controller;
    QCOMPARE(controller.status(), QStringLiteral("Отключено"));
    QVERIFY(!controller.isConnected());
    QVERIFY(!controller.isConnecting());
    QVERIFY(!controller.isBusy());
    QVERIFY(!controller.hasError());
    QVERIFY(!controller.isSubscriptionLoading());
    QCOMPARE(controller.selectedRow(), 0);
    QVERIFY(controller.servers().isEmpty());
    QCOMPARE(controller.processRouteMode(), QStringLiteral("exclude"));
    QCOMPARE(controller.processIcon(QStringLiteral("chrome.exe")), QStringLiteral("app"));
    QCOMPARE(controller.processIcon(QString()), QStringLiteral("app"));
    QVERIFY(controller.bypassDomainError().isEmpty());
    QVERIFY(controller.lastError().isEmpty());
}

void ControllerInterfaceTest::hasErrorFollowsStatusPrefix_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("hasError");
    QTest::newRow("profile error") << QStringLiteral("Ошибка профиля") << true;
    QTest::newRow("word alone") << QStringLiteral("Ошибка") << true;
    QTest::newRow("traffic error")
        << QStringLiteral("Ошибка: трафик через VPN не проходит") << true;
    QTest::newRow("lower case") << QStringLiteral("ошибка подключения") << false;
    QTest::newRow("word later") << QStringLiteral("Сбой. Ошибка подключения") << false;
    QTest::newRow("leading space") << QStringLiteral(" Ошибка") << false;
    QTest::newRow("connected") << QStringLiteral("Подключено") << false;
    QTest::newRow("empty") << QString() << false;
}

void ControllerInterfaceTest::hasErrorFollowsStatusPrefix()
{
    QFETCH(QString, status);
    QFETCH(bool, hasError);
    Controller controller;
    QSignalSpy statusSpy(&controller, &Controller::statusChanged);

    controller.setStatus(status);
    QCOMPARE(controller.status(), status);
    QCOMPARE(controller.hasError(), hasError);
    QCOMPARE(controller.property("hasError").toBool(), hasError);
    QCOMPARE(statusSpy.count(), 1);

    // The same text again is no change and emits nothing.
    controller.setStatus(status);
    QCOMPARE(statusSpy.count(), 1);

    controller.setStatus(QStringLiteral("Отключено"));
    QVERIFY(!controller.hasError());
}

void ControllerInterfaceTest::disconnectEmitsInOrderAndKeepsFlagsEqual()
{
    Controller controller;
    bool flagsAlwaysEqual = true;
    const auto checkFlags = [&] {
        flagsAlwaysEqual &= controller.isBusy() == controller.isConnecting();
    };
    connect(&controller, &Controller::busyChanged, &controller, checkFlags);
    connect(&controller, &Controller::connectingChanged, &controller, checkFlags);
    SignalLog log(controller);

    controller.disconnectVpn();
    QCOMPARE(log.log, QStringList({"connected", "busy", "connecting"}));
    QVERIFY(flagsAlwaysEqual);
    QVERIFY(!controller.isConnected());
    QVERIFY(!controller.isBusy());
}

void ControllerInterfaceTest::selectedDefaultsOnEmptyList()
{
    Controller controller;
    QCOMPARE(controller.selectedName(), QStringLiteral("Выберите сервер"));
    QCOMPARE(controller.selectedEndpoint(), QString());
    QCOMPARE(controller.selectedProtocol(), QString());

    QSignalSpy selectedSpy(&controller, &Controller::selectedChanged);
    controller.setSelectedRow(0);
    controller.setSelectedRow(1);
    QCOMPARE(selectedSpy.count(), 0);
    QCOMPARE(controller.selectedRow(), 0);
}

void ControllerInterfaceTest::setSelectedRowAcceptsOnlyNewRowsInsideTheList()
{
    Controller controller;
    controller.installServerList(threeEntries(), QString());
    QCOMPARE(controller.selectedName(), QStringLiteral("one"));
    QCOMPARE(controller.selectedEndpoint(), QStringLiteral("one.example:443"));
    QCOMPARE(controller.selectedProtocol(), QStringLiteral("Hysteria2"));

    QSignalSpy selectedSpy(&controller, &Controller::selectedChanged);
    controller.setProperty("selectedRow", 2);
    QCOMPARE(selectedSpy.count(), 1);
    QCOMPARE(controller.selectedRow(), 2);
    QCOMPARE(controller.selectedName(), QStringLiteral("three"));

    for (const int rejected : {2, -1, 3, 100}) {
        controller.setSelectedRow(rejected);
        QCOMPARE(selectedSpy.count(), 1);
        QCOMPARE(controller.selectedRow(), 2);
    }
}

void ControllerInterfaceTest::processRouteModeIsNormalised_data()
{
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("stored");
    QTest::newRow("include") << QStringLiteral("include") << QStringLiteral("include");
    QTest::newRow("capitalised") << QStringLiteral("Include") << QStringLiteral("exclude");
    QTest::newRow("upper case") << QStringLiteral("INCLUDE") << QStringLiteral("exclude");
    QTest::newRow("empty") << QString() << QStringLiteral("exclude");
    QTest::newRow("padded") << QStringLiteral(" include") << QStringLiteral("exclude");
    QTest::newRow("exclude") << QStringLiteral("exclude") << QStringLiteral("exclude");
}

void ControllerInterfaceTest::processRouteModeIsNormalised()
{
    QFETCH(QString, written);
    QFETCH(QString, stored);
    // Every row starts from the default mode: an earlier row's mode is saved and loaded.
    QSettings().remove(QStringLiteral("processRouteMode"));
    Controller controller;
    SignalLog log(controller);

    controller.setProperty("processRouteMode", written);
    QCOMPARE(controller.processRouteMode(), stored);
    // Only a real change is announced, mode first, then the texts that depend on it.
    const QStringList expected = stored == QLatin1String("include")
                                     ? QStringList({"processRouteMode", "processes"})
                                     : QStringList();
    QCOMPARE(log.log, expected);
}

void ControllerInterfaceTest::processFilterIsKeptUntrimmed()
{
    Controller controller;
    SignalLog log(controller);
    controller.setProperty("processFilter", QStringLiteral("  "));
    QCOMPARE(controller.processFilter(), QStringLiteral("  "));
    QCOMPARE(log.log, QStringList({"processFilter", "processes"}));
    controller.setProcessFilter(QStringLiteral("  "));
    QCOMPARE(log.log.size(), 2);
}

void ControllerInterfaceTest::copyLastErrorLeavesClipboardAloneWhenEmpty()
{
    Controller controller;
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("keep me"));
    QVERIFY(controller.lastError().isEmpty());
    controller.copyLastError();
    QCOMPARE(clipboard->text(), QStringLiteral("keep me"));
}

void ControllerInterfaceTest::shutdownTwiceOnlyReemitsConnectionSignals()
{
    Controller controller;
    controller.shutdown();
    const QString statusBefore = controller.status();

    SignalLog log(controller);
    controller.shutdown();
    QCOMPARE(log.log, QStringList({"connected", "busy", "connecting"}));
    QCOMPARE(controller.status(), statusBefore);
    QVERIFY(!controller.isConnected());
    QVERIFY(!controller.isConnecting());
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

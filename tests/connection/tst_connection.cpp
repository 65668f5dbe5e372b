// The controller end to end: real sessions, the stand-in cores of this program's own test
// application folder, and the local HTTPS server standing in for both check endpoints.

#include "app/tray.h"
#include "config/adaptersource.h"
#include "config/cores.h"
#include "controller/controller.h"
#include "profiles/profileuri.h"
#include "profiles/serverlist.h"
#include "routing/bypassdomain.h"
#include "session/httpscheck.h"
#include "session/networkwatch.h"
#include "status/statusfile.h"
#include "tests/support/cleartext.h"
#include "tests/support/httpstestserver.h"
#include "tests/support/standin.h"
#include "tests/support/testenv.h"
#include "tests/support/controllertestaccess.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

const PhysicalAdapter kAdapter{QStringLiteral("eth0"), QStringLiteral("192.168.50.10"),
                               QStringLiteral("192.168.50.1")};
// What the adapter source hands the sessions and the watch; a case changes it to simulate
// a new network.
PhysicalAdapter g_adapter;

const QString kHy2Password = QStringLiteral("Hy2-Secret-Passw0rd");
const QString kVlessId = QStringLiteral("4f2a8c1e-9b7d-4e3a-a1c5-6d8e0f2b3a79");
const QString kUserDomain = QStringLiteral("orvik-test.example");

const QString kConnecting = QStringLiteral("Подключение...");
const QString kVerifying = QStringLiteral("Проверка трафика...");
const QString kConnected = QStringLiteral("Подключено");
const QString kDisconnected = QStringLiteral("Отключено");
const QString kConnectionError = QStringLiteral("Ошибка подключения");
const QString kProfileError = QStringLiteral("Ошибка профиля");
const QString kTrafficError = QStringLiteral("Ошибка: трафик через VPN не проходит");
const QString kNetworkChanged = QStringLiteral("Сеть изменилась. Переподключение...");
const QString kCoreStopped = QStringLiteral("VPN-ядро остановилось. ");
const QString kCoreMissing =
    QStringLiteral("Не найдено VPN-ядро. Восстановите установку приложения.");
const QString kNoAdapter =
    QStringLiteral("Не найдено подключение Wi-Fi или Ethernet с доступом в интернет.");
const QString kCheckFailed = QStringLiteral("HTTPS через VPN не отвечает. ");

QString hy2Uri(const QString& name, int port = 8443)
{
    return QStringLiteral("hy2://%1@127.0.0.1:%2?sni=example.org#%3")
        .arg(kHy2Password, QString::number(port), name);
}

QString vlessUri(const QString& name)
{
    return QStringLiteral("vless://%1@127.0.0.1:443?type=tcp&security=reality&sni=www.example.com"
                          "&pbk=T6Kjg4wccAPAOW4_9cYuSpjpgagEyV4EFAq9fj7R_O4&sid=6ba85179e30d4fc2"
                          "&flow=xtls-rprx-vision#%2")
        .arg(kVlessId, name);
}

const QString kBrokenUri = QStringLiteral("vless://broken");

QVariantMap entryFor(const QString& uri)
{
    ServerProfile profile;
    if (parseProfileUri(uri, profile))
        return makeServerEntry(profile);
    // A line the parser refuses, as a damaged list could hold it.
    return {{QStringLiteral("name"), QStringLiteral("broken")},
            {QStringLiteral("endpoint"), QString()},
            {QStringLiteral("uri"), uri},
            {QStringLiteral("countryCode"), QStringLiteral("VPN")},
            {QStringLiteral("protocol"), QString()},
            {QStringLiteral("latency"), -2},
            {QStringLiteral("pinging"), false},
            {QStringLiteral("checkError"), QString()}};
}

QVariantMap entryAt(const Controller& controller, int row)
{
    return controller.servers().value(row).toMap();
}

QString parserMessage(const QString& uri)
{
    ServerProfile profile;
    QString error;
    parseProfileUri(uri, profile, &error);
    return error;
}

QJsonObject readJson(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

QStringList strings(const QJsonValue& value)
{
    QStringList list;
    for (const QJsonValue& item : value.toArray())
        list.append(item.toString());
    return list;
}

// What a sing-box document says about routing.
struct RoutingSeen
{
    bool tun = false;
    QString final;
    QStringList processes;
    QStringList domains;
};

RoutingSeen routingOf(const QJsonObject& document)
{
    RoutingSeen seen;
    for (const QJsonValue& inbound : document.value(QLatin1String("inbounds")).toArray())
        seen.tun |=
            inbound.toObject().value(QLatin1String("type")).toString() == QLatin1String("tun");
    const QJsonObject route = document.value(QLatin1String("route")).toObject();
    seen.final = route.value(QLatin1String("final")).toString();
    for (const QJsonValue& value : route.value(QLatin1String("rules")).toArray()) {
        const QJsonObject rule = value.toObject();
        if (rule.contains(QLatin1String("process_name")))
            seen.processes = strings(rule.value(QLatin1String("process_name")));
        if (rule.contains(QLatin1String("domain")))
            seen.domains = strings(rule.value(QLatin1String("domain")));
    }
    return seen;
}

// Every change signal of the controller with the state it showed, and a check that the
// status file said the same at each status change.
class Recorder : public QObject
{
public:
    struct Event
    {
        QString name;
        QString status;
        bool connected = false;
        bool connecting = false;
        bool busy = false;
    };

    explicit Recorder(Controller& controller) : m_controller(controller)
    {
        const auto add = [this](const char* name) {
            return [this, name] {
                events.append({QString::fromLatin1(name), m_controller.status(),
                               m_controller.isConnected(), m_controller.isConnecting(),
                               m_controller.isBusy()});
            };
        };
        connect(&controller, &Controller::connectedChanged, this, add("connected"));
        connect(&controller, &Controller::connectingChanged, this, add("connecting"));
        connect(&controller, &Controller::busyChanged, this, add("busy"));
        connect(&controller, &Controller::serversChanged, this, add("servers"));
        connect(&controller, &Controller::selectedChanged, this, add("selected"));
        connect(&controller, &Controller::statusChanged, this, add("status"));
    }

    QStringList statuses() const
    {
        QStringList list;
        for (const Event& event : events) {
            if (event.name == QLatin1String("status"))
                list.append(event.status);
        }
        return list;
    }

    // The connection signals, a status change shown as "status:TEXT".
    QStringList connectionSignals() const
    {
        QStringList list;
        for (const Event& event : events) {
            if (event.name == QLatin1String("status"))
                list.append(QStringLiteral("status:") + event.status);
            else if (event.name != QLatin1String("selected"))
                list.append(event.name);
        }
        return list;
    }

    bool waitForStatus(const QString& status, int milliseconds = 15000) const
    {
        return QTest::qWaitFor([this, status] { return statuses().contains(status); },
                               milliseconds);
    }

    void clear() { events.clear(); }

    QList<Event> events;

private:
    Controller& m_controller;
};

// The stand-in processes started so far that are still alive.
int aliveCores(const QString& records)
{
    int alive = 0;
    for (const standin::Start& start : standin::readStarts(records))
        alive += standin::processGone(start.pid) ? 0 : 1;
    return alive;
}

int startsOf(const QString& records, const QString& core)
{
    int count = 0;
    for (const standin::Start& start : standin::readStarts(records))
        count += start.core == core ? 1 : 0;
    return count;
}

} // namespace

Q_DECLARE_METATYPE(PhysicalAdapter)

class ConnectionTest : public QObject
{
    Q_OBJECT

private:
    QString records() const { return m_records->path(); }
    std::unique_ptr<Controller> startController(const QVariantList& entries);
    // Connects the controller and waits for "Подключено".
    bool connectAndWait(Controller& controller, Recorder& recorder);
    void takeCoreAway(Core core);
    QString recordedSingBox() const { return records() + QStringLiteral("/sing-box.json"); }
    QString link(const QByteArray& path) const
    {
        return QStringLiteral("https://127.0.0.1:%1%2")
            .arg(QString::number(m_server->port()), QString::fromLatin1(path));
    }
    // Imports the body served at `path` and waits for the download to end.
    bool importBody(Controller& controller, const QByteArray& path, const QStringList& uris);

    std::unique_ptr<HttpsTestServer> m_server;
    std::unique_ptr<QTemporaryDir> m_records;
    QString m_movedCore;

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void sameNetwork_data();
    void sameNetwork();

    void connectVerifiesBeforeConnected_data();
    void connectVerifiesBeforeConnected();
    void failureEndsWithoutReconnecting_data();
    void failureEndsWithoutReconnecting();
    void staleVerificationIsIgnored_data();
    void staleVerificationIsIgnored();
    void callsThatDoNotFitAreIgnored();

    void optionChangeRestartsTheTunnel_data();
    void optionChangeRestartsTheTunnel();
    void restartWindow_data();
    void restartWindow();

    void checksRunOneAtATime();
    void connectCancelsChecks();
    void failingServerGetsMinusOne_data();
    void failingServerGetsMinusOne();

    void watchTick_data();
    void watchTick();

    void checksFollowADownloadedList();
    void refreshWhileConnected_data();
    void refreshWhileConnected();
    void noSecretInClearWhileConnected();

    // Last: it asks the application to quit.
    void trayQuitStopsTheCoresFirst();
};

void ConnectionTest::initTestCase()
{
    const QList<QUrl>& urls = httpsCheckUrls();
    m_server = std::make_unique<HttpsTestServer>(QStringList{urls.at(0).host(), urls.at(1).host()});
    QVERIFY2(m_server->start(), qPrintable(m_server->errorText()));
    setAdapterSource([] { return g_adapter; });
}

void ConnectionTest::init()
{
    standin::clearEnvironment();
    m_records = std::make_unique<QTemporaryDir>();
    qputenv(standin::kRecord, records().toLocal8Bit());
    const QList<QUrl>& urls = httpsCheckUrls();
    qputenv(standin::kHosts,
            (standin::hostMapEntry(urls.at(0).host(), 443, m_server->port()) + u',' +
             standin::hostMapEntry(urls.at(1).host(), 443, m_server->port()))
                .toLatin1());
    m_server->setResponse("/generate_204", HttpsTestResponse{204, {}, {}});
    g_adapter = kAdapter;
    QSettings().clear();
    QFile::remove(statusFilePath());
}

void ConnectionTest::cleanup()
{
    if (!m_movedCore.isEmpty()) {
        QFile::rename(m_movedCore + QStringLiteral(".away"), m_movedCore);
        m_movedCore.clear();
    }
    // A failed case must not leave cores running into the next one.
    for (const standin::Start& start : standin::readStarts(records()))
        standin::killProcess(start.pid);
    standin::clearEnvironment();
    m_records.reset();
}

std::unique_ptr<Controller> ConnectionTest::startController(const QVariantList& entries)
{
    auto controller = std::make_unique<Controller>();
    // The saved-subscription step runs from the event loop; let it pass first.
    QCoreApplication::processEvents();
    controller->installServerList(entries, QString());
    emit controller->serversChanged();
    return controller;
}

bool ConnectionTest::connectAndWait(Controller& controller, Recorder& recorder)
{
    controller.connectVpn();
    return recorder.waitForStatus(kConnected);
}

bool ConnectionTest::importBody(Controller& controller, const QByteArray& path,
                                const QStringList& uris)
{
    m_server->setResponse(path, HttpsTestResponse{200, {}, uris.join(u'\n').toUtf8() + '\n'});
    controller.importSubscription(link(path));
    return controller.isSubscriptionLoading() &&
           QTest::qWaitFor([&] { return !controller.isSubscriptionLoading(); }, 20000);
}

void ConnectionTest::takeCoreAway(Core core)
{
    m_movedCore = corePath(QCoreApplication::applicationDirPath(), core);
    QVERIFY(QFile::rename(m_movedCore, m_movedCore + QStringLiteral(".away")));
}

void ConnectionTest::sameNetwork_data()
{
    // clang-format off
    QTest::addColumn<PhysicalAdapter>("current");
    QTest::addColumn<bool>("same");
    const PhysicalAdapter bound = kAdapter;
    QTest::newRow("identical") << bound << true;
    QTest::newRow("gateway only") << PhysicalAdapter{bound.interfaceName, bound.ipv4Address, QStringLiteral("10.0.0.1")} << true;
    QTest::newRow("new IPv4 address") << PhysicalAdapter{bound.interfaceName, QStringLiteral("192.168.50.11"), bound.gateway} << false;
    QTest::newRow("other interface") << PhysicalAdapter{QStringLiteral("wlan0"), bound.ipv4Address, bound.gateway} << false;
    QTest::newRow("name differs in case") << PhysicalAdapter{QStringLiteral("ETH0"), bound.ipv4Address, bound.gateway} << false;
    QTest::newRow("no adapter any more") << PhysicalAdapter{} << false;
    // clang-format on
}

void ConnectionTest::sameNetwork()
{
    QFETCH(PhysicalAdapter, current);
    QFETCH(bool, same);
    QCOMPARE(isSameNetwork(kAdapter, current), same);
}

void ConnectionTest::connectVerifiesBeforeConnected_data()
{
    // clang-format off
    QTest::addColumn<QString>("uri");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QStringList>("cores");
    QTest::newRow("Hysteria2, exclude mode") << hy2Uri(QStringLiteral("Hy2")) << "exclude" << QStringList{"sing-box"};
    QTest::newRow("VLESS, include mode") << vlessUri(QStringLiteral("VLESS")) << "include" << QStringList{"sing-box", "xray"};
    // clang-format on
}

void ConnectionTest::connectVerifiesBeforeConnected()
{
    QFETCH(QString, uri);
    QFETCH(QString, mode);
    QFETCH(QStringList, cores);
    const QStringList apps{QStringLiteral("firefox"), QStringLiteral("telegram-desktop")};
    {
        QSettings store;
        store.setValue(QStringLiteral("processRouteMode"), mode);
        store.setValue(QStringLiteral("selectedProcesses"), apps);
        store.setValue(QStringLiteral("siteBypassDomains"), QStringList{kUserDomain});
    }
    // A late answer makes the stored latency tell a measurement from a guess.
    m_server->setResponse("/generate_204", HttpsTestResponse{204, {}, {}, 150});

    QVariantMap stale = entryFor(uri);
    stale.insert(QStringLiteral("latency"), -1);
    stale.insert(QStringLiteral("checkError"), QStringLiteral("старая ошибка"));
    auto controller = startController({stale});
    const QStringList domains = controller->effectiveBypassDomains();
    QVERIFY2(domains.contains(kUserDomain), qPrintable(domains.join(u' ')));
    Recorder recorder(*controller);
    const int requestsBefore = m_server->requestCount();

    controller->connectVpn();
    QVERIFY(controller->isBusy());
    QVERIFY(recorder.waitForStatus(kConnected));

    QCOMPARE(recorder.connectionSignals(),
             (QStringList{"servers", "busy", "connecting", "connected", "status:" + kConnecting,
                          "status:" + kVerifying, "connected", "busy", "connecting",
                          "status:" + kConnected, "servers"}));
    for (const Recorder::Event& event : recorder.events) {
        QCOMPARE(event.busy, event.connecting);
        QVERIFY(!(event.connected && event.connecting));
        if (event.name == QLatin1String("status"))
            QCOMPARE(event.busy, event.status != kConnected);
    }
    QVERIFY(controller->lastError().isEmpty());
    const QVariantMap entry = entryAt(*controller, 0);
    QVERIFY2(entry.value(QStringLiteral("latency")).toInt() >= 150,
             qPrintable(entry.value(QStringLiteral("latency")).toString()));
    QCOMPARE(entry.value(QStringLiteral("checkError")).toString(), QString());

    // One proof through the tunnel, to the check endpoint by name.
    QCOMPARE(m_server->requestCount(), requestsBefore + 1);
    const HttpsTestRequest request = m_server->requests().constLast();
    QCOMPARE(request.path(), QByteArray("/generate_204"));
    QCOMPARE(request.header("Host"), httpsCheckUrls().at(0).host().toLatin1());

    QStringList started;
    for (const standin::Start& start : standin::readStarts(records()))
        started.append(start.core);
    started.sort();
    QCOMPARE(started, cores);
    const RoutingSeen routing = routingOf(readJson(recordedSingBox()));
    QVERIFY(routing.tun);
    QCOMPARE(routing.final, mode == QLatin1String("include") ? QStringLiteral("direct-out")
                                                             : QStringLiteral("vpn-out"));
    QCOMPARE(routing.processes, apps);
    QCOMPARE(routing.domains, domains);

    QTimer& watch = ControllerTestAccess::watchTimer(*controller);
    QVERIFY(watch.isActive());
    QCOMPARE(watch.interval(), 45000);

    controller->disconnectVpn();
    QCOMPARE(controller->status(), kDisconnected);
    QVERIFY(!watch.isActive());
    QTRY_COMPARE(aliveCores(records()), 0);
}

void ConnectionTest::failureEndsWithoutReconnecting_data()
{
    // clang-format off
    QTest::addColumn<QString>("uri");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("errorStart");
    QTest::addColumn<bool>("wasConnected");

    QTest::newRow("unparsable entry") << kBrokenUri << "" << kProfileError << parserMessage(kBrokenUri) << false;
    QTest::newRow("Xray missing") << vlessUri(QStringLiteral("VLESS")) << "no xray" << kConnectionError << kCoreMissing << false;
    QTest::newRow("core exits after ready") << hy2Uri(QStringLiteral("Hy2")) << "exit later" << kConnectionError << kCoreStopped << true;
    QTest::newRow("check endpoint answers 200") << hy2Uri(QStringLiteral("Hy2")) << "answer 200" << kTrafficError << kCheckFailed << false;
    // clang-format on
}

void ConnectionTest::failureEndsWithoutReconnecting()
{
    QFETCH(QString, uri);
    QFETCH(QString, fault);
    QFETCH(QString, status);
    QFETCH(QString, errorStart);
    QFETCH(bool, wasConnected);

    if (fault == QLatin1String("no xray"))
        takeCoreAway(Core::Xray);
    if (fault == QLatin1String("exit later")) {
        // Long enough to be proven first; the core prints a secret on its way.
        qputenv(standin::kExitAfter, "sing-box:3000");
        qputenv(standin::kPrint, ("sing-box:auth " + kHy2Password).toUtf8());
    }
    if (fault == QLatin1String("answer 200"))
        m_server->setResponse("/generate_204", HttpsTestResponse{200, {}, "hello"});

    auto controller = startController({entryFor(uri)});
    Recorder recorder(*controller);
    controller->connectVpn();
    QVERIFY(recorder.waitForStatus(status, 20000));
    QCOMPARE(recorder.statuses().contains(kConnected), wasConnected);
    QCOMPARE(controller->status(), status);
    QVERIFY(controller->hasError());
    QVERIFY(!controller->isConnected());
    QVERIFY(!controller->isConnecting());
    QVERIFY(!controller->tunnelSession().isRunning());
    QVERIFY(!ControllerTestAccess::watchTimer(*controller).isActive());
    QVERIFY2(controller->lastError().startsWith(errorStart), qPrintable(controller->lastError()));
    QVERIFY(!controller->lastError().contains(kHy2Password));
    if (fault == QLatin1String("exit later"))
        QVERIFY2(controller->lastError().contains(QStringLiteral("auth [скрыто]")),
                 qPrintable(controller->lastError()));
    if (fault == QLatin1String("answer 200"))
        QVERIFY2(controller->lastError().contains(QStringLiteral("HTTP 200")),
                 qPrintable(controller->lastError()));
    if (uri == kBrokenUri) // nothing started, so the connection flags were never touched
        QCOMPARE(recorder.connectionSignals(), QStringList{"status:" + kProfileError});
    QTRY_COMPARE(aliveCores(records()), 0);

    // No second attempt on its own, nor from an option change: nothing runs to restart.
    const int starts = int(standin::readStarts(records()).size());
    recorder.clear();
    ControllerTestAccess::restart(*controller, QStringLiteral("Применение исключений..."));
    QVERIFY(!ControllerTestAccess::reconnectPending(*controller));
    QTest::qWait(1000);
    QCOMPARE(int(standin::readStarts(records()).size()), starts);
    QVERIFY(recorder.statuses().isEmpty());

    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    controller->copyLastError();
    QCOMPARE(QGuiApplication::clipboard()->text(), controller->lastError());

    controller->disconnectVpn();
    QCOMPARE(controller->status(), kDisconnected);
    QVERIFY(!controller->hasError());
}

void ConnectionTest::staleVerificationIsIgnored_data()
{
    // clang-format off
    QTest::addColumn<QString>("action");
    QTest::newRow("disconnect") << "disconnect";
    QTest::newRow("toggle") << "toggle";
    QTest::newRow("shutdown") << "shutdown";
    // clang-format on
}

// A check still on its way when the tunnel goes can never report into the controller.
void ConnectionTest::staleVerificationIsIgnored()
{
    QFETCH(QString, action);
    m_server->setResponse("/generate_204", HttpsTestResponse{204, {}, {}, 800});
    auto controller = startController({entryFor(hy2Uri(QStringLiteral("Hy2")))});
    Recorder recorder(*controller);
    const int requestsBefore = m_server->requestCount();
    controller->connectVpn();
    QVERIFY(recorder.waitForStatus(kVerifying));
    QVERIFY(QTest::qWaitFor([&] { return m_server->requestCount() > requestsBefore; }, 5000));

    if (action == QLatin1String("disconnect"))
        controller->disconnectVpn();
    else if (action == QLatin1String("toggle"))
        controller->toggleVpn();
    else
        controller->shutdown();
    QVERIFY(!controller->isBusy());
    QTRY_COMPARE(aliveCores(records()), 0);
    QTest::qWait(1500);
    QVERIFY(!recorder.statuses().contains(kConnected));
    QVERIFY(!recorder.statuses().contains(kTrafficError));
    QVERIFY(!controller->isConnected());
    QCOMPARE(entryAt(*controller, 0).value(QStringLiteral("latency")).toInt(), -2);
}

void ConnectionTest::callsThatDoNotFitAreIgnored()
{
    auto controller = startController(
        {entryFor(hy2Uri(QStringLiteral("A"))), entryFor(hy2Uri(QStringLiteral("B")))});
    Recorder recorder(*controller);
    QSignalSpy selected(controller.get(), &Controller::selectedChanged);
    ControllerTestAccess::restart(*controller, QStringLiteral("Применение исключений..."));
    QVERIFY(!ControllerTestAccess::reconnectPending(*controller));
    QVERIFY(recorder.events.isEmpty());

    controller->connectVpn();
    QCOMPARE(controller->status(), kConnecting);
    const int eventsWhileConnecting = int(recorder.events.size());
    controller->connectVpn(); // while connecting
    controller->setSelectedRow(1);
    QCOMPARE(int(recorder.events.size()), eventsWhileConnecting);

    QVERIFY(recorder.waitForStatus(kConnected));
    const int eventsConnected = int(recorder.events.size());
    controller->connectVpn(); // while connected: switching needs a disconnect first
    controller->setSelectedRow(1);
    controller->setProperty("selectedRow", 1);
    QCOMPARE(int(recorder.events.size()), eventsConnected);
    QCOMPARE(selected.count(), 0);
    QCOMPARE(controller->selectedRow(), 0);
    QCOMPARE(startsOf(records(), QStringLiteral("sing-box")), 1);

    controller->disconnectVpn();
    controller->setSelectedRow(1);
    QCOMPARE(controller->selectedRow(), 1);
    QCOMPARE(selected.count(), 1);

    // An empty list: nothing to connect to, nothing emitted.
    auto empty = startController({});
    Recorder emptyRecorder(*empty);
    empty->connectVpn();
    QVERIFY(emptyRecorder.events.isEmpty());
}

void ConnectionTest::optionChangeRestartsTheTunnel_data()
{
    // clang-format off
    QTest::addColumn<QString>("startMode");
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("final"); // what the new tunnel is built from
    QTest::addColumn<QStringList>("processes");
    QTest::addColumn<QStringList>("domains");
    const QStringList firefox{"firefox"};
    QTest::newRow("route mode") << "exclude" << "mode include" << "Применение режима приложений..." << "direct-out" << firefox << QStringList{kUserDomain};
    QTest::newRow("application ticked, include mode") << "include" << "tick app" << "Применение списка VPN-приложений..." << "direct-out" << QStringList{"firefox", "orvik-ticked"} << QStringList{kUserDomain};
    QTest::newRow("application unticked, exclude mode") << "exclude" << "untick app" << "Применение исключений..." << "vpn-out" << QStringList{} << QStringList{kUserDomain};
    QTest::newRow("bypass domain added") << "exclude" << "add domain" << "Применение списка сайтов..." << "vpn-out" << firefox << QStringList{kUserDomain, "added.example"};
    QTest::newRow("bypass domain removed") << "include" << "remove domain" << "Применение списка сайтов..." << "direct-out" << firefox << QStringList{};
    // clang-format on
}

void ConnectionTest::optionChangeRestartsTheTunnel()
{
    QFETCH(QString, startMode);
    QFETCH(QString, change);
    QFETCH(QString, message);
    QFETCH(QString, final);
    QFETCH(QStringList, processes);
    QFETCH(QStringList, domains);
    {
        QSettings store;
        store.setValue(QStringLiteral("processRouteMode"), startMode);
        store.setValue(QStringLiteral("selectedProcesses"), QStringList{QStringLiteral("firefox")});
        store.setValue(QStringLiteral("siteBypassDomains"), QStringList{kUserDomain});
    }
    auto controller = startController({entryFor(hy2Uri(QStringLiteral("Hy2")))});
    Recorder recorder(*controller);
    QVERIFY(connectAndWait(*controller, recorder));
    const qint64 firstCore = standin::readStarts(records()).constFirst().pid;
    recorder.clear();

    if (change == QLatin1String("mode include"))
        controller->setProcessRouteMode(QStringLiteral("include"));
    else if (change == QLatin1String("tick app"))
        controller->toggleProcessSelection(QStringLiteral("orvik-ticked"), true);
    else if (change == QLatin1String("untick app"))
        controller->toggleProcessSelection(QStringLiteral("firefox"), false);
    else if (change == QLatin1String("add domain"))
        QVERIFY(controller->addBypassDomain(QStringLiteral("added.example")));
    else
        controller->removeBypassDomain(kUserDomain);

    // The old tunnel is gone before the new one starts.
    QCOMPARE(controller->status(), message);
    QVERIFY(!controller->hasError());
    QVERIFY(ControllerTestAccess::reconnectPending(*controller));
    QTRY_VERIFY(standin::processGone(firstCore));
    QVERIFY(recorder.waitForStatus(kConnected));
    QCOMPARE(recorder.statuses(),
             (QStringList{kDisconnected, message, kConnecting, kVerifying, kConnected}));
    QCOMPARE(startsOf(records(), QStringLiteral("sing-box")), 2);

    // The new tunnel is built from the options as they are now.
    const RoutingSeen routing = routingOf(readJson(recordedSingBox()));
    QCOMPARE(routing.final, final);
    QCOMPARE(routing.processes, processes);
    QCOMPARE(routing.domains, builtinBypassDomains() + domains);
}

void ConnectionTest::restartWindow_data()
{
    // clang-format off
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("finalStatus");
    QTest::addColumn<int>("starts");
    QTest::newRow("second restart") << "restart" << kConnected << 2;
    QTest::newRow("toggle") << "toggle" << kDisconnected << 1;
    QTest::newRow("disconnect") << "disconnect" << kDisconnected << 1;
    QTest::newRow("manual connect") << "connect" << kConnected << 2;
    // clang-format on
}

// What happens inside the 250 ms between the stop and the new start.
void ConnectionTest::restartWindow()
{
    QFETCH(QString, second);
    QFETCH(QString, finalStatus);
    QFETCH(int, starts);
    auto controller = startController({entryFor(hy2Uri(QStringLiteral("Hy2")))});
    Recorder recorder(*controller);
    QVERIFY(connectAndWait(*controller, recorder));
    recorder.clear();

    ControllerTestAccess::restart(*controller, QStringLiteral("Применение списка сайтов..."));
    if (second == QLatin1String("restart"))
        ControllerTestAccess::restart(*controller, kNetworkChanged);
    else if (second == QLatin1String("toggle"))
        controller->toggleVpn();
    else if (second == QLatin1String("disconnect"))
        controller->disconnectVpn();
    else
        controller->connectVpn();

    QTest::qWait(250 + 1000);
    QVERIFY(recorder.waitForStatus(finalStatus));
    QTest::qWait(300);
    QCOMPARE(controller->status(), finalStatus);
    QCOMPARE(startsOf(records(), QStringLiteral("sing-box")), starts);
    QCOMPARE(recorder.statuses().count(kConnecting), starts - 1);
    QVERIFY(!recorder.statuses().contains(kNetworkChanged));
    QVERIFY(!ControllerTestAccess::reconnectPending(*controller));
    QCOMPARE(controller->isConnected(), finalStatus == kConnected);
}

void ConnectionTest::checksRunOneAtATime()
{
    QVariantList entries;
    for (int i = 0; i < 5; ++i)
        entries.append(entryFor(hy2Uri(QStringLiteral("S%1").arg(i), 9000 + i)));
    auto controller = startController(entries);
    Recorder recorder(*controller);
    const int requestsBefore = m_server->requestCount();

    // Sampled all the time the checks run: temporary sessions running, cores alive, and the
    // pauses without a check between two checks.
    int maxSessions = 0;
    int maxCores = 0;
    QElapsedTimer clock;
    clock.start();
    qint64 idleSince = -1;
    QList<qint64> pauses;
    QTimer sampler;
    sampler.setInterval(5);
    connect(&sampler, &QTimer::timeout, this, [&] {
        int running = 0;
        for (TunnelSession* session : controller->findChildren<TunnelSession*>()) {
            if (session != &controller->tunnelSession() && session->isRunning())
                ++running;
        }
        maxSessions = qMax(maxSessions, running);
        maxCores = qMax(maxCores, aliveCores(records()));
        const bool checking = ControllerTestAccess::pingSession(*controller) != nullptr;
        if (!checking && idleSince < 0)
            idleSince = clock.elapsed();
        if (checking && idleSince >= 0) {
            pauses.append(clock.elapsed() - idleSince);
            idleSince = -1;
        }
    });

    controller->pingAllServers();
    for (int i = 0; i < 5; ++i)
        QVERIFY(entryAt(*controller, i).value(QStringLiteral("pinging")).toBool());
    // An entry already queued is not queued again; rows outside the list are not.
    for (const int row : {0, 3, -1, 5})
        controller->pingServer(row);
    QCOMPARE(ControllerTestAccess::pingQueue(*controller).size(), 5);
    QTRY_VERIFY(ControllerTestAccess::pingSession(*controller));
    sampler.start();
    const auto allDone = [&] {
        for (int i = 0; i < 5; ++i) {
            if (entryAt(*controller, i).value(QStringLiteral("pinging")).toBool())
                return false;
        }
        return true;
    };
    QVERIFY(QTest::qWaitFor(allDone, 60000));
    sampler.stop();

    QCOMPARE(maxSessions, 1);
    QCOMPARE(maxCores, 1);
    // 100 ms between one check's end and the next one's start (sampled every 5 ms).
    QCOMPARE(pauses.size(), 4);
    for (const qint64 pause : pauses)
        QVERIFY2(pause >= 90, qPrintable(QString::number(pause)));
    QCOMPARE(startsOf(records(), QStringLiteral("sing-box")), 5);
    QCOMPARE(m_server->requestCount(), requestsBefore + 5);
    // Check mode: no TUN adapter, no routing lists.
    const RoutingSeen routing = routingOf(readJson(recordedSingBox()));
    QVERIFY(!routing.tun);
    QVERIFY(routing.processes.isEmpty());
    QVERIFY(routing.domains.isEmpty());

    for (int i = 0; i < 5; ++i) {
        const QVariantMap entry = entryAt(*controller, i);
        QVERIFY(entry.value(QStringLiteral("latency")).toInt() >= 1);
        QCOMPARE(entry.value(QStringLiteral("checkError")).toString(), QString());
    }
    QVERIFY(ControllerTestAccess::pingQueue(*controller).isEmpty());
    QVERIFY(!ControllerTestAccess::pingSession(*controller));
    QTRY_COMPARE(aliveCores(records()), 0);
    QVERIFY(recorder.statuses().isEmpty());
    QCOMPARE(controller->status(), kDisconnected);
}

void ConnectionTest::connectCancelsChecks()
{
    auto controller = startController({entryFor(hy2Uri(QStringLiteral("A"), 9001)),
                                       entryFor(hy2Uri(QStringLiteral("B"), 9002)),
                                       entryFor(hy2Uri(QStringLiteral("C"), 9003))});
    Recorder recorder(*controller);
    controller->pingAllServers();
    QTRY_VERIFY(ControllerTestAccess::pingSession(*controller));
    QCOMPARE(ControllerTestAccess::pingQueue(*controller).size(), 2);

    controller->connectVpn();
    // Nor can a new check start while the connection is on its way.
    controller->pingServer(1);
    controller->pingAllServers();
    QVERIFY(!ControllerTestAccess::pingSession(*controller));
    QVERIFY(ControllerTestAccess::pingQueue(*controller).isEmpty());
    for (int i = 0; i < 3; ++i) {
        const QVariantMap entry = entryAt(*controller, i);
        QVERIFY(!entry.value(QStringLiteral("pinging")).toBool());
    }
    QVERIFY(recorder.waitForStatus(kConnected));
    // The cancelled check's cores (when they got as far as recording their start) and the
    // connection's: no check starts again, and the cancelled result never reaches the list
    // (the connection wrote row 0's own).
    const int startsAtConnected = startsOf(records(), QStringLiteral("sing-box"));
    QVERIFY(startsAtConnected <= 2);
    QVERIFY(routingOf(readJson(recordedSingBox())).tun);
    QTest::qWait(500);
    QCOMPARE(startsOf(records(), QStringLiteral("sing-box")), startsAtConnected);
    QCOMPARE(entryAt(*controller, 1).value(QStringLiteral("latency")).toInt(), -2);
    QCOMPARE(entryAt(*controller, 2).value(QStringLiteral("latency")).toInt(), -2);
    QCOMPARE(aliveCores(records()), 1);

    // Checks are allowed beside a running connection.
    controller->pingServer(2);
    QVERIFY(QTest::qWaitFor(
        [&] { return !entryAt(*controller, 2).value(QStringLiteral("pinging")).toBool(); }, 20000));
    QVERIFY(entryAt(*controller, 2).value(QStringLiteral("latency")).toInt() >= 1);
    QVERIFY(controller->isConnected());
    QCOMPARE(controller->status(), kConnected);
}

void ConnectionTest::failingServerGetsMinusOne_data()
{
    // clang-format off
    QTest::addColumn<QString>("uri");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("errorStart");

    QTest::newRow("core exits at once") << hy2Uri(QStringLiteral("Hy2")) << "exit" << kCoreStopped;
    QTest::newRow("check endpoint answers 200") << hy2Uri(QStringLiteral("Hy2")) << "answer 200" << kCheckFailed;
    QTest::newRow("unparsable entry") << kBrokenUri << "" << parserMessage(kBrokenUri);
    // clang-format on
}

void ConnectionTest::failingServerGetsMinusOne()
{
    QFETCH(QString, uri);
    QFETCH(QString, fault);
    QFETCH(QString, errorStart);
    if (fault == QLatin1String("exit"))
        qputenv(standin::kExitAtOnce, ("sing-box:bad auth " + kHy2Password).toUtf8());
    if (fault == QLatin1String("answer 200"))
        m_server->setResponse("/generate_204", HttpsTestResponse{200, {}, {}});

    // The failing server first, a good one after it: the queue goes on.
    auto controller =
        startController({entryFor(uri), entryFor(hy2Uri(QStringLiteral("Good"), 9009))});
    controller->setStatus(QStringLiteral("Готово"));
    Recorder recorder(*controller);
    controller->pingServer(0);
    QVERIFY(QTest::qWaitFor(
        [&] { return !entryAt(*controller, 0).value(QStringLiteral("pinging")).toBool(); }, 30000));
    const QVariantMap entry = entryAt(*controller, 0);
    QCOMPARE(entry.value(QStringLiteral("latency")).toInt(), -1);
    const QString error = entry.value(QStringLiteral("checkError")).toString();
    QVERIFY2(error.startsWith(errorStart), qPrintable(error));
    QVERIFY(!error.contains(kHy2Password));

    controller->pingServer(1);
    QVERIFY(QTest::qWaitFor(
        [&] { return !entryAt(*controller, 1).value(QStringLiteral("pinging")).toBool(); }, 30000));
    // A check never touches the connection's state.
    QVERIFY(recorder.statuses().isEmpty());
    QCOMPARE(controller->status(), QStringLiteral("Готово"));
    QVERIFY(controller->lastError().isEmpty());
    QVERIFY(!controller->isConnected());
    QTRY_COMPARE(aliveCores(records()), 0);
}

void ConnectionTest::watchTick_data()
{
    // clang-format off
    QTest::addColumn<PhysicalAdapter>("next");
    QTest::addColumn<bool>("answer204");
    QTest::addColumn<QStringList>("statuses");

    const QStringList restarted{kDisconnected, kNetworkChanged, kConnecting, kVerifying,
                                kConnected};
    QTest::newRow("same adapter: proven again") << kAdapter << true << QStringList{};
    QTest::newRow("new IPv4 address") << PhysicalAdapter{kAdapter.interfaceName, QStringLiteral("192.168.50.77"), kAdapter.gateway} << true << restarted;
    QTest::newRow("adapter lost") << PhysicalAdapter{} << true << QStringList{kDisconnected, kNetworkChanged, kConnecting, kConnectionError};
    QTest::newRow("traffic stopped") << kAdapter << false << QStringList{kTrafficError};
    // clang-format on
}

void ConnectionTest::watchTick()
{
    QFETCH(PhysicalAdapter, next);
    QFETCH(bool, answer204);
    QFETCH(QStringList, statuses);
    auto controller = startController({entryFor(hy2Uri(QStringLiteral("Hy2")))});
    QTimer& watch = ControllerTestAccess::watchTimer(*controller);
    watch.setInterval(400);
    Recorder recorder(*controller);
    QVERIFY(connectAndWait(*controller, recorder));
    recorder.clear();
    const int requestsBefore = m_server->requestCount();

    g_adapter = next;
    if (!answer204)
        m_server->setResponse("/generate_204", HttpsTestResponse{200, {}, {}});

    if (statuses.isEmpty()) {
        // Two ticks, each a new proof through the same tunnel; nothing shown changes.
        QVERIFY(
            QTest::qWaitFor([&] { return m_server->requestCount() >= requestsBefore + 2; }, 5000));
        QVERIFY(recorder.statuses().isEmpty());
        QCOMPARE(controller->status(), kConnected);
        QVERIFY(controller->isConnected());
        QCOMPARE(startsOf(records(), QStringLiteral("sing-box")), 1);
        QVERIFY(watch.isActive());
        return;
    }

    QVERIFY(recorder.waitForStatus(statuses.constLast()));
    QCOMPARE(recorder.statuses(), statuses);
    if (statuses.constLast() == kConnected) {
        QCOMPARE(controller->tunnelSession().adapter(), next);
        QCOMPARE(startsOf(records(), QStringLiteral("sing-box")), 2);
        QVERIFY(watch.isActive());
        return;
    }
    // A failure ends the watch; it does not try again.
    QVERIFY(!watch.isActive());
    QVERIFY(controller->hasError());
    if (!next.isUsable())
        QCOMPARE(controller->lastError(), kNoAdapter);
    QTRY_COMPARE(aliveCores(records()), 0);
    const int starts = int(standin::readStarts(records()).size());
    QTest::qWait(1200);
    QCOMPARE(int(standin::readStarts(records()).size()), starts);
    QCOMPARE(recorder.statuses(), statuses);
}

void ConnectionTest::checksFollowADownloadedList()
{
    auto controller = startController({});
    QElapsedTimer clock;
    qint64 firstCheck = -1;
    connect(controller.get(), &Controller::serversChanged, this, [&] {
        const QVariantList servers = controller->servers();
        if (!clock.isValid() && servers.size() == 3)
            clock.start();
        for (const QVariant& value : servers) {
            if (clock.isValid() && firstCheck < 0 &&
                value.toMap().value(QStringLiteral("pinging")).toBool())
                firstCheck = clock.elapsed();
        }
    });
    QVERIFY(importBody(*controller, "/s/checks",
                       {hy2Uri(QStringLiteral("A"), 9001), hy2Uri(QStringLiteral("B"), 9002),
                        hy2Uri(QStringLiteral("C"), 9003)}));
    QCOMPARE(controller->servers().size(), 3);
    QCOMPARE(controller->status(), QStringLiteral("Готово"));
    QVERIFY(QTest::qWaitFor(
        [&] {
            for (int i = 0; i < 3; ++i) {
                if (entryAt(*controller, i).value(QStringLiteral("latency")).toInt() < 1)
                    return false;
            }
            return true;
        },
        30000));
    // The checks start a moment after the list is shown, not with it.
    QVERIFY2(firstCheck >= 70, qPrintable(QString::number(firstCheck)));
    QCOMPARE(startsOf(records(), QStringLiteral("sing-box")), 3);
}

void ConnectionTest::refreshWhileConnected_data()
{
    // clang-format off
    QTest::addColumn<bool>("serverKept");
    QTest::newRow("connected server still listed") << true;
    QTest::newRow("connected server gone") << false;
    // clang-format on
}

void ConnectionTest::refreshWhileConnected()
{
    QFETCH(bool, serverKept);
    const QString a = hy2Uri(QStringLiteral("A"), 9001);
    const QString b = hy2Uri(QStringLiteral("B"), 9002);
    auto controller = startController({});
    QVERIFY(importBody(*controller, "/s/refresh", {a, b}));
    Recorder recorder(*controller);
    QVERIFY(connectAndWait(*controller, recorder));
    const qint64 connectionCore = standin::readStarts(records()).constLast().pid;
    recorder.clear();

    const QStringList next = serverKept ? QStringList{b, a} : QStringList{b};
    m_server->setResponse("/s/refresh",
                          HttpsTestResponse{200, {}, next.join(u'\n').toUtf8() + '\n'});
    controller->refreshSubscription();
    QVERIFY(controller->isSubscriptionLoading());
    QVERIFY(QTest::qWaitFor([&] { return !controller->isSubscriptionLoading(); }, 20000));
    QCOMPARE(controller->servers().size(), next.size());
    if (serverKept) {
        // No "Готово" over a running tunnel.
        QVERIFY(recorder.statuses().isEmpty());
        QVERIFY(controller->isConnected());
        QVERIFY(controller->tunnelSession().isRunning());
        QVERIFY(!standin::processGone(connectionCore));
        // The selection follows the server to its new row.
        QCOMPARE(controller->selectedRow(), 1);
    } else {
        // The tunnel goes first; with none running the download then reports "Готово".
        QCOMPARE(recorder.statuses(), (QStringList{kDisconnected, QStringLiteral("Готово")}));
        QVERIFY(!controller->isConnected());
        QVERIFY(!controller->tunnelSession().isRunning());
        QTRY_VERIFY(standin::processGone(connectionCore));
    }
}

// After an import, a choice and a connection, nothing under the home holds the link, a profile
// URI or a credential in clear; the core documents live in the temporary folder meanwhile and
// are gone with the tunnel.
void ConnectionTest::noSecretInClearWhileConnected()
{
    const QByteArray path = "/s/7d3f9a1c5e2b4860";
    const QStringList uris{hy2Uri(QStringLiteral("A")), vlessUri(QStringLiteral("B"))};
    auto controller = startController({});
    QVERIFY(importBody(*controller, path, uris));
    controller->setSelectedRow(1);
    Recorder recorder(*controller);
    QVERIFY(connectAndWait(*controller, recorder));

    const QString runtimeFolder =
        QFileInfo(standin::readStarts(records()).constLast().configPath).absolutePath();
    // The runtime folder is under the home searched below: its documents are gone by now.
    QVERIFY(QFileInfo(runtimeFolder).isDir());

    QList<QByteArray> needles = testenv::linkSecrets(link(path));
    for (const QString& uri : uris) {
        ServerProfile profile;
        QVERIFY(parseProfileUri(uri, profile));
        needles += testenv::profileSecrets(profile);
    }
    QStringList hits = testenv::filesContainingAny(testenv::home(), needles);
    QVERIFY2(hits.isEmpty(), qPrintable(hits.join(u'\n')));

    controller->disconnectVpn();
    QVERIFY(!QFileInfo::exists(runtimeFolder));
    QSettings().sync();
    hits = testenv::filesContainingAny(testenv::home(), needles);
    QVERIFY2(hits.isEmpty(), qPrintable(hits.join(u'\n')));
}

// "Выйти" stops the cores before it asks the application to end.
void ConnectionTest::trayQuitStopsTheCoresFirst()
{
    auto controller = startController({entryFor(vlessUri(QStringLiteral("VLESS")))});
    Tray tray(QIcon(), nullptr);
    tray.attachController(controller.get());
    tray.show();
    QCOMPARE(tray.toolTip(), QStringLiteral("OrvikVPN · Отключено"));
    Recorder recorder(*controller);
    QVERIFY(connectAndWait(*controller, recorder));
    QCOMPARE(tray.toggleText(), QStringLiteral("Отключить VPN"));
    QCOMPARE(tray.toolTip(), QStringLiteral("OrvikVPN · Подключено"));
    const QList<standin::Start> starts = standin::readStarts(records());
    QCOMPARE(starts.size(), 2);
    const QString runtimeFolder = QFileInfo(starts.constFirst().configPath).absolutePath();

    tray.quit();
    // Before the event loop could end anything.
    for (const standin::Start& start : starts)
        QVERIFY(standin::processGone(start.pid));
    QVERIFY(!QFileInfo::exists(runtimeFolder));
    QVERIFY(!controller->isConnected());
    QVERIFY(!readJson(statusFilePath()).value(QLatin1String("connected")).toBool());
    QCOMPARE(tray.toggleText(), QStringLiteral("Включить VPN"));
    QCOMPARE(tray.toolTip(), QStringLiteral("OrvikVPN · Отключено"));
}

ORVIK_TEST_MAIN(ConnectionTest, QApplication)
#include "tst_connection.moc"

// The controller end to end: real sessions, the stand-in cores of this program's own test
// application folder, and the local HTTPS server standing in for both check endpoints.

#include "config/adaptersource.h"
#include "controller/controller.h"
#include "profiles/profileuri.h"
#include "profiles/serverlist.h"
#include "routing/bypassdomain.h"
#include "session/httpscheck.h"
#include "session/networkwatch.h"
#include "tests/support/cleartext.h"
#include "tests/support/controllertestaccess.h"
#include "tests/support/httpstestserver.h"
#include "tests/support/standin.h"
#include "tests/support/testenv.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>

namespace {

const PhysicalAdapter kAdapter{QStringLiteral("eth0"), QStringLiteral("192.168.50.10"),
                               QStringLiteral("192.168.50.1")};
// What the adapter source hands out; a case changes it to simulate a new network.
PhysicalAdapter g_adapter;

const QString kUserDomain = QStringLiteral("orvik-test.example");
const QString kReady = QStringLiteral("Готово");
const QString kConnecting = QStringLiteral("Подключение...");
const QString kVerifying = QStringLiteral("Проверка трафика...");
const QString kConnected = QStringLiteral("Подключено");
const QString kDisconnected = QStringLiteral("Отключено");
const QString kConnectionError = QStringLiteral("Ошибка подключения");
const QString kTrafficError = QStringLiteral("Ошибка: трафик через VPN не проходит");
const QString kNetworkChanged = QStringLiteral("Сеть изменилась. Переподключение...");
const QString kSitesApplied = QStringLiteral("Применение списка сайтов...");
const QString kCoreStopped = QStringLiteral("VPN-ядро остановилось. ");

QString hy2Uri(const QString& name, int port = 8443)
{
    return QStringLiteral("hy2://Hy2-Secret-Passw0rd@127.0.0.1:%1?sni=example.org#%2")
        .arg(QString::number(port), name);
}

QString vlessUri(const QString& name)
{
    return QStringLiteral("vless://4f2a8c1e-9b7d-4e3a-a1c5-6d8e0f2b3a79@127.0.0.1:443?type=tcp"
                          "&security=reality&sni=www.example.com&pbk=T6Kjg4wccAPAOW4_9cYuSpjpga"
                          "gEyV4EFAq9fj7R_O4&sid=6ba85179e30d4fc2&flow=xtls-rprx-vision#%1")
        .arg(name);
}

const QString kBrokenUri = QStringLiteral("vless://broken");

QVariantMap entryFor(const QString& uri)
{
    // A line the parser refuses, as a damaged list could hold it, keeps another entry's fields.
    QVariantMap entry = makeServerEntry(
        testenv::parsedProfile(uri == kBrokenUri ? hy2Uri(QStringLiteral("broken")) : uri));
    entry.insert(ServerEntry::uri, uri);
    return entry;
}

QVariant field(const Controller& controller, int row, const QString& key)
{
    return controller.servers().value(row).toMap().value(key);
}

// What the last sing-box document recorded in `records` says about routing.
struct Routing
{
    bool tun = false;
    QString final;
    QStringList processes;
    QStringList domains;
};

Routing routingOf(const QString& records)
{
    QFile file(records + QStringLiteral("/sing-box.json"));
    const QJsonObject document =
        QJsonDocument::fromJson(file.open(QIODevice::ReadOnly) ? file.readAll() : "").object();
    Routing seen;
    for (const QJsonValue& inbound : document.value(QLatin1String("inbounds")).toArray())
        seen.tun |= inbound[QLatin1String("type")].toString() == QLatin1String("tun");
    const QJsonObject route = document.value(QLatin1String("route")).toObject();
    seen.final = route.value(QLatin1String("final")).toString();
    for (const QJsonValue& rule : route.value(QLatin1String("rules")).toArray()) {
        for (const auto& [key, list] :
             {std::pair{"process_name", &seen.processes}, std::pair{"domain", &seen.domains}}) {
            if (rule.toObject().contains(QLatin1String(key)))
                *list = rule[QLatin1String(key)].toVariant().toStringList();
        }
    }
    return seen;
}

// The controller's change signals in order, a status change as "status:TEXT". `consistent`
// drops when one shows busy and connecting apart, or connected while connecting.
class Recorder : public QObject
{
public:
    explicit Recorder(Controller& controller)
    {
        using Signal = void (Controller::*)();
        const std::pair<Signal, const char*> all[] = {
            {&Controller::connectedChanged, "connected"},
            {&Controller::connectingChanged, "connecting"},
            {&Controller::busyChanged, "busy"},
            {&Controller::serversChanged, "servers"},
            {&Controller::statusChanged, "status"}};
        for (const auto& [signal, label] : all) {
            const QString name = QString::fromLatin1(label);
            connect(&controller, signal, this, [this, &controller, name] {
                log.append(name == QLatin1String("status") ? "status:" + controller.status()
                                                           : name);
                consistent &= controller.isBusy() == controller.isConnecting() &&
                              !(controller.isConnected() && controller.isConnecting());
            });
        }
    }

    QStringList statuses() const
    {
        return log.filter(QRegularExpression(QStringLiteral("^status:")))
            .replaceInStrings(QRegularExpression(QStringLiteral("^status:")), QString());
    }

    bool waitForStatus(const QString& status, int milliseconds = 15000) const
    {
        return QTest::qWaitFor([this, status] { return statuses().contains(status); },
                               milliseconds);
    }

    QStringList log;
    bool consistent = true;
};

// Cores still running (of one kind when `core` is given).
int aliveCores(const QString& records, const QString& core = {})
{
    const QList<standin::Start> starts = standin::readStarts(records);
    return int(std::count_if(starts.begin(), starts.end(), [&](const standin::Start& start) {
        return !standin::processGone(start.pid) && (core.isEmpty() || start.core == core);
    }));
}

int singBoxStarts(const QString& records)
{
    const QList<standin::Start> starts = standin::readStarts(records);
    return int(std::count_if(starts.begin(), starts.end(), [](const standin::Start& start) {
        return start.core == QLatin1String("sing-box");
    }));
}

int pinging(const Controller& controller)
{
    const QVariantList servers = controller.servers();
    return int(std::count_if(servers.begin(), servers.end(), [](const QVariant& entry) {
        return entry.toMap().value(ServerEntry::pinging).toBool();
    }));
}

void storeRouting(const QString& mode)
{
    QSettings store;
    store.setValue(QStringLiteral("processRouteMode"), mode);
    store.setValue(QStringLiteral("selectedProcesses"), QStringList{QStringLiteral("firefox")});
    store.setValue(QStringLiteral("siteBypassDomains"), QStringList{kUserDomain});
}

} // namespace

class ConnectionTest : public QObject
{
    Q_OBJECT

private:
    QString records() const { return m_records->path(); }
    std::unique_ptr<Controller> startController(const QVariantList& entries);
    QString link(const QByteArray& path) const
    {
        return QStringLiteral("https://127.0.0.1:%1%2")
            .arg(m_server->port())
            .arg(QLatin1String(path));
    }
    void serve(const QByteArray& path, const QStringList& uris)
    {
        m_server->setResponse(path, HttpsTestResponse{200, {}, uris.join(u'\n').toUtf8() + '\n'});
    }
    bool connectAndWait(Controller& controller, Recorder& recorder)
    {
        controller.connectVpn();
        return recorder.waitForStatus(kConnected);
    }

    std::unique_ptr<HttpsTestServer> m_server;
    std::unique_ptr<QTemporaryDir> m_records;

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void sameNetwork_data() { testenv::addRowsFromFile("same-network.tsv", 5); }
    void sameNetwork();
    void connectVerifiesBeforeConnected_data();
    void connectVerifiesBeforeConnected();
    void afterConnected_data();
    void afterConnected();
    void checksRunOneAtATimeUntilAConnect();
    void refreshWhileConnected_data();
    void refreshWhileConnected();
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
}

void ConnectionTest::cleanup()
{
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

void ConnectionTest::sameNetwork()
{
    QFETCH(QStringList, row); // name, interface, IPv4 address, gateway, same
    QCOMPARE(isSameNetwork(kAdapter, PhysicalAdapter{row[1], row[2], row[3]}), row[4] == "yes");
}

void ConnectionTest::connectVerifiesBeforeConnected_data()
{
    // clang-format off
    QTest::addColumn<QString>("whileVerifying");
    QTest::newRow("proven") << "";
    QTest::newRow("disconnect while verifying") << "disconnectVpn";
    QTest::newRow("toggle while verifying") << "toggleVpn";
    QTest::newRow("shutdown while verifying") << "shutdown";
    // clang-format on
}

// Connected only once a check proved the tunnel; calls that do not fit the state change nothing,
// and a check still on its way when the tunnel goes can never report into the controller.
void ConnectionTest::connectVerifiesBeforeConnected()
{
    QFETCH(QString, whileVerifying);
    // A late answer makes the stored latency tell a measurement from a guess.
    m_server->setResponse("/generate_204", HttpsTestResponse{204, {}, {}, 800});
    QVariantMap failedBefore = entryFor(hy2Uri(QStringLiteral("A")));
    failedBefore.insert(ServerEntry::latency, -1);
    failedBefore.insert(ServerEntry::checkError, QStringLiteral("старая ошибка"));
    auto controller = startController({failedBefore, entryFor(hy2Uri(QStringLiteral("B")))});
    Controller& c = *controller;
    QSignalSpy selected(&c, &Controller::selectedChanged);
    Recorder recorder(c);
    const int requestsBefore = m_server->requestCount();
    c.connectVpn();
    QVERIFY(c.isBusy());
    c.connectVpn();
    c.setSelectedRow(1);
    QVERIFY(recorder.waitForStatus(kVerifying));
    QVERIFY(QTest::qWaitFor([&] { return m_server->requestCount() > requestsBefore; }, 5000));

    if (!whileVerifying.isEmpty()) {
        QVERIFY(QMetaObject::invokeMethod(&c, qPrintable(whileVerifying)));
        // The client ends after a shutdown: its cores are gone before it returns.
        if (whileVerifying == QLatin1String("shutdown"))
            QCOMPARE(aliveCores(records()), 0);
        QVERIFY(!c.isBusy());
        QTRY_COMPARE(aliveCores(records()), 0);
        QTest::qWait(1500);
        QVERIFY(!recorder.statuses().contains(kConnected));
        QVERIFY(!recorder.statuses().contains(kTrafficError));
        QVERIFY(!c.isConnected());
        QCOMPARE(field(c, 0, ServerEntry::latency).toInt(), -1);
        return;
    }
    QVERIFY(recorder.waitForStatus(kConnected));
    QCOMPARE(recorder.log,
             (QStringList{"servers", "busy", "connecting", "connected", "status:" + kConnecting,
                          "status:" + kVerifying, "connected", "busy", "connecting",
                          "status:" + kConnected, "servers"}));
    QVERIFY(recorder.consistent);
    QVERIFY(c.lastError().isEmpty());
    QVERIFY2(field(c, 0, ServerEntry::latency).toInt() >= 800,
             qPrintable(field(c, 0, ServerEntry::latency).toString()));
    QCOMPARE(field(c, 0, ServerEntry::checkError).toString(), QString());
    // One proof, through the tunnel.
    QCOMPARE(m_server->requestCount(), requestsBefore + 1);
    // Switching servers needs a disconnect first.
    c.connectVpn();
    c.setSelectedRow(1);
    QCOMPARE(recorder.log.size(), 11);
    QCOMPARE(selected.count(), 0);
    QCOMPARE(singBoxStarts(records()), 1);

    c.disconnectVpn();
    c.setSelectedRow(1);
    QCOMPARE(selected.count(), 1);
    // An empty list: nothing to connect to, nothing emitted.
    auto empty = startController({});
    Recorder emptyRecorder(*empty);
    empty->connectVpn();
    QVERIFY(emptyRecorder.log.isEmpty());
}

void ConnectionTest::afterConnected_data()
{
    // clang-format off
    QTest::addColumn<QString>("startMode");
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("then"); // inside the 250 ms between a restart's stop and new start
    QTest::addColumn<QStringList>("statuses");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("final"); // the running tunnel's routing at the end
    QTest::addColumn<QStringList>("processes");
    QTest::addColumn<QStringList>("domains");
    const auto restarted = [](const QString& message) { return QStringList{kDisconnected, message, kConnecting, kVerifying, kConnected}; };
    const QStringList stopped{kDisconnected, kSitesApplied, kDisconnected}, firefox{"firefox"}, user{kUserDomain};
    QTest::newRow("route mode") << "exclude" << "mode include" << "" << restarted("Применение режима приложений...") << "" << "direct-out" << firefox << user;
    QTest::newRow("application ticked, include mode") << "include" << "tick app" << "" << restarted("Применение списка VPN-приложений...") << "" << "direct-out" << QStringList{"firefox", "orvik-ticked"} << user;
    QTest::newRow("application unticked, exclude mode") << "exclude" << "untick app" << "" << restarted("Применение исключений...") << "" << "vpn-out" << QStringList{} << user;
    QTest::newRow("bypass domain added") << "exclude" << "add domain" << "" << restarted(kSitesApplied) << "" << "vpn-out" << firefox << QStringList{kUserDomain, "added.example"};
    QTest::newRow("bypass domain removed") << "include" << "remove domain" << "" << restarted(kSitesApplied) << "" << "direct-out" << firefox << QStringList{};
    QTest::newRow("second restart in the window") << "exclude" << "restart" << "restart again" << restarted(kSitesApplied) << "" << "vpn-out" << firefox << user;
    QTest::newRow("manual connect in the window") << "exclude" << "restart" << "connectVpn" << restarted(kSitesApplied) << "" << "vpn-out" << firefox << user;
    QTest::newRow("toggle in the window") << "exclude" << "restart" << "toggleVpn" << stopped << "" << "" << firefox << user;
    QTest::newRow("disconnect in the window") << "exclude" << "restart" << "disconnectVpn" << stopped << "" << "" << firefox << user;
    QTest::newRow("watch, same adapter: proven again") << "exclude" << "" << "" << QStringList{} << "" << "vpn-out" << firefox << user;
    QTest::newRow("watch, new IPv4 address") << "exclude" << "new address" << "" << restarted(kNetworkChanged) << "" << "vpn-out" << firefox << user;
    QTest::newRow("watch, adapter lost") << "exclude" << "adapter lost" << "" << QStringList{kDisconnected, kNetworkChanged, kConnecting, kConnectionError} << "Не найдено подключение Wi-Fi или Ethernet" << "" << firefox << user;
    QTest::newRow("watch, traffic stopped") << "exclude" << "answer 200" << "" << QStringList{kTrafficError} << "HTTPS через VPN не отвечает. " << "" << firefox << user;
    QTest::newRow("core exits after being proven") << "exclude" << "core exits" << "" << QStringList{kConnectionError} << kCoreStopped << "" << firefox << user;
    // clang-format on
}

// What follows a proven connection: option changes and the watch restart it (built from the
// options as they are then), other calls inside the restart's window win over it, and a
// failure ends it for good.
void ConnectionTest::afterConnected()
{
    QFETCH(QString, startMode);
    QFETCH(QString, change);
    QFETCH(QString, then);
    QFETCH(QStringList, statuses);
    QFETCH(QString, error);
    QFETCH(QString, final);
    QFETCH(QStringList, processes);
    QFETCH(QStringList, domains);
    storeRouting(startMode);
    if (change == QLatin1String("core exits")) // late enough to be proven first
        qputenv(standin::kExitAfter, "sing-box:3000");
    auto controller = startController({entryFor(hy2Uri(QStringLiteral("Hy2")))});
    Controller& c = *controller;
    QTimer& watch = ControllerTestAccess::watchTimer(c);
    watch.setInterval(400);
    Recorder recorder(c);
    QVERIFY(connectAndWait(c, recorder));
    recorder.log.clear();
    const int requestsBefore = m_server->requestCount();
    const QHash<QString, std::function<void()>> actions{
        {"mode include", [&] { c.setProcessRouteMode(QStringLiteral("include")); }},
        {"tick app", [&] { c.toggleProcessSelection(QStringLiteral("orvik-ticked"), true); }},
        {"untick app", [&] { c.toggleProcessSelection(QStringLiteral("firefox"), false); }},
        {"add domain", [&] { c.addBypassDomain(QStringLiteral("added.example")); }},
        {"remove domain", [&] { c.removeBypassDomain(kUserDomain); }},
        {"restart", [&] { ControllerTestAccess::restart(c, kSitesApplied); }},
        {"restart again", [&] { ControllerTestAccess::restart(c, kNetworkChanged); }},
        {"new address", [&] { g_adapter.ipv4Address = QStringLiteral("192.168.50.77"); }},
        {"adapter lost", [&] { g_adapter = {}; }},
        {"answer 200", [&] {
             m_server->setResponse("/generate_204", {200, {}, "hello"});
         }}};
    actions.value(change, [] {})();
    if (!then.isEmpty()) {
        QVERIFY(ControllerTestAccess::reconnectPending(c));
        // Otherwise one of the controller's invokables.
        actions.value(then, [&] { QMetaObject::invokeMethod(&c, qPrintable(then)); })();
    }

    const bool up = statuses.isEmpty() || statuses.constLast() == kConnected;
    QVERIFY(statuses.isEmpty()
                ? QTest::qWaitFor([&] { return m_server->requestCount() >= requestsBefore + 2; })
                : recorder.waitForStatus(statuses.constLast(), 20000));
    if (!up) // nothing runs that an option change could restart
        ControllerTestAccess::restart(c, kSitesApplied);
    QTest::qWait(1200);
    QCOMPARE(recorder.statuses(), statuses);
    QVERIFY(!ControllerTestAccess::reconnectPending(c));
    QCOMPARE(c.isConnected(), up);
    QVERIFY(!c.isConnecting());
    QCOMPARE(watch.isActive(), up);
    QVERIFY2(error.isEmpty() ? c.lastError().isEmpty() : c.lastError().startsWith(error),
             qPrintable(c.lastError()));
    QCOMPARE(singBoxStarts(records()), statuses.contains(kVerifying) ? 2 : 1);
    QTRY_COMPARE(aliveCores(records()), up ? 1 : 0);
    if (!error.isEmpty()) {
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        c.copyLastError();
        QCOMPARE(QGuiApplication::clipboard()->text(), c.lastError());
    }
    if (!up)
        return;
    QCOMPARE(c.tunnelSession().adapter(), g_adapter);
    const Routing routing = routingOf(records());
    QVERIFY(routing.tun);
    QCOMPARE(routing.final, final);
    QCOMPARE(routing.processes, processes);
    QCOMPARE(routing.domains, builtinBypassDomains() + domains);
}

// Checks run one at a time with a pause between them and without the routing options; a
// failing server gets -1 and its reason while the queue goes on; they never touch the
// connection's state. A connect cancels them; beside a running tunnel they may run again.
void ConnectionTest::checksRunOneAtATimeUntilAConnect()
{
    // Xray exits at once: the VLESS check fails, the Hysteria2 ones (sing-box alone) pass.
    qputenv(standin::kExitAtOnce, "xray:bad auth");
    storeRouting(QStringLiteral("include"));
    ServerProfile refused;
    QString parseError;
    QVERIFY(!parseProfileUri(kBrokenUri, refused, &parseError));
    const QStringList errors{QString(), parseError, kCoreStopped, QString(), QString()};
    auto controller = startController(
        {entryFor(hy2Uri(QStringLiteral("S0"), 9000)), entryFor(kBrokenUri),
         entryFor(vlessUri(QStringLiteral("V"))), entryFor(hy2Uri(QStringLiteral("S1"), 9001)),
         entryFor(hy2Uri(QStringLiteral("S2"), 9002))});
    Controller& c = *controller;
    c.setStatus(kReady);
    Recorder recorder(c);
    const int requestsBefore = m_server->requestCount();

    // Sampled all the time the checks run: sing-box cores alive (one per session), and the
    // pauses between two checks.
    int maxCores = 0;
    qint64 idleSince = -1;
    QList<qint64> pauses;
    QTimer sampler;
    sampler.setInterval(5);
    connect(&sampler, &QTimer::timeout, this, [&] {
        maxCores = qMax(maxCores, aliveCores(records(), QStringLiteral("sing-box")));
        const bool checking = ControllerTestAccess::pingSession(c) != nullptr;
        if (!checking && idleSince < 0)
            idleSince = QDateTime::currentMSecsSinceEpoch();
        if (checking && idleSince >= 0)
            pauses.append(QDateTime::currentMSecsSinceEpoch() - std::exchange(idleSince, -1));
    });

    c.pingAllServers();
    QCOMPARE(pinging(c), 5);
    // An entry already queued is not queued again; rows outside the list are not.
    for (const int row : {0, 3, -1, 5})
        c.pingServer(row);
    QCOMPARE(ControllerTestAccess::pingQueue(c).size(), 5);
    QTRY_VERIFY(ControllerTestAccess::pingSession(c));
    sampler.start();
    QVERIFY(QTest::qWaitFor([&] { return pinging(c) == 0; }, 60000));
    sampler.stop();
    QCOMPARE(maxCores, 1);
    // 100 ms between one check's end and the next one's start (sampled every 5 ms); the
    // unparsable entry needs no session.
    QCOMPARE(pauses.size(), 3);
    for (const qint64 pause : pauses)
        QVERIFY2(pause >= 90, qPrintable(QString::number(pause)));
    QCOMPARE(m_server->requestCount(), requestsBefore + 3);
    const Routing routing = routingOf(records());
    QVERIFY(!routing.tun && routing.processes.isEmpty() && routing.domains.isEmpty());
    for (int i = 0; i < 5; ++i) {
        const int latency = field(c, i, ServerEntry::latency).toInt();
        const QString error = field(c, i, ServerEntry::checkError).toString();
        QVERIFY2(errors[i].isEmpty() ? latency >= 1 && error.isEmpty()
                                     : latency == -1 && error.startsWith(errors[i]),
                 qPrintable(QString::number(latency) + u' ' + error));
    }
    QTRY_COMPARE(aliveCores(records()), 0);
    QVERIFY(recorder.log.filter(QStringLiteral("status")).isEmpty());
    recorder.log.clear();
    QCOMPARE(c.status(), kReady);
    QVERIFY(c.lastError().isEmpty());

    // The unparsable entry cannot be connected: nothing starts, only the status says why.
    c.setSelectedRow(1);
    c.connectVpn();
    QCOMPARE(recorder.log, QStringList{QStringLiteral("status:Ошибка профиля")});
    QCOMPARE(c.lastError(), errors[1]);
    c.setSelectedRow(0);

    qunsetenv(standin::kExitAtOnce);
    c.pingAllServers();
    QTRY_VERIFY(ControllerTestAccess::pingSession(c));
    c.connectVpn();
    // Nor can a new check start while the connection is on its way.
    c.pingServer(1);
    c.pingAllServers();
    QVERIFY(!ControllerTestAccess::pingSession(c));
    QVERIFY(ControllerTestAccess::pingQueue(c).isEmpty());
    QCOMPARE(pinging(c), 0);
    QVERIFY(recorder.waitForStatus(kConnected));
    // No check starts again: the connection's core is the only one alive, the last one started.
    const int startsAtConnected = singBoxStarts(records());
    QVERIFY(routingOf(records()).tun);
    QTest::qWait(500);
    QCOMPARE(singBoxStarts(records()), startsAtConnected);
    QCOMPARE(aliveCores(records()), 1);

    c.pingServer(4);
    QVERIFY(QTest::qWaitFor([&] { return pinging(c) == 0; }, 20000));
    QCOMPARE(singBoxStarts(records()), startsAtConnected + 1);
    QCOMPARE(c.status(), kConnected);
}

void ConnectionTest::refreshWhileConnected_data()
{
    // clang-format off
    QTest::addColumn<bool>("serverKept");
    QTest::newRow("connected server still listed") << true;
    QTest::newRow("connected server gone") << false;
    // clang-format on
}

// Also: after an import, a choice and a connection, nothing under the home holds the link, a
// profile URI or a credential in clear; the core documents are gone once the tunnel is up.
void ConnectionTest::refreshWhileConnected()
{
    QFETCH(bool, serverKept);
    const QByteArray path = "/s/7d3f9a1c5e2b4860";
    const QString a = hy2Uri(QStringLiteral("A"), 9001);
    const QString b = vlessUri(QStringLiteral("B"));
    auto controller = startController({});
    serve(path, {a, b});
    controller->importSubscription(link(path));
    QVERIFY(QTest::qWaitFor([&] { return controller->servers().size() == 2; }, 20000));
    controller->setSelectedRow(1);
    Recorder recorder(*controller);
    QVERIFY(connectAndWait(*controller, recorder));
    const standin::Start core = standin::readStarts(records()).constLast();
    const QString runtimeFolder = QFileInfo(core.configPath).absolutePath();
    QVERIFY(QFileInfo(runtimeFolder).isDir()); // under the home searched below
    QList<QByteArray> needles = testenv::linkSecrets(link(path));
    for (const QString& uri : {a, b})
        needles += testenv::profileSecrets(testenv::parsedProfile(uri));
    QCOMPARE(testenv::filesContainingAny(testenv::home(), needles), QStringList());
    recorder.log.clear();

    serve(path, serverKept ? QStringList{b, a} : QStringList{a});
    controller->refreshSubscription();
    QVERIFY(QTest::qWaitFor([&] { return !controller->isSubscriptionLoading(); }, 20000));
    QCOMPARE(controller->servers().size(), serverKept ? 2 : 1);
    // Kept: no "Готово" over a running tunnel, and the selection follows the server to its
    // new row. Gone: the tunnel goes first; with none running the download reports "Готово".
    QCOMPARE(recorder.statuses(),
             (serverKept ? QStringList{} : QStringList{kDisconnected, kReady}));
    QCOMPARE(controller->isConnected(), serverKept);
    if (serverKept)
        QCOMPARE(controller->selectedRow(), 0);
    QTRY_COMPARE(standin::processGone(core.pid), !serverKept);
    // A downloaded list is checked a moment later, beside a running tunnel too.
    QVERIFY(QTest::qWaitFor([&] { return pinging(*controller) > 0; }));
    QVERIFY(QTest::qWaitFor([&] { return pinging(*controller) == 0; }, 20000));
    controller->disconnectVpn();
    QVERIFY(!QFileInfo::exists(runtimeFolder));
    QSettings().sync();
    QCOMPARE(testenv::filesContainingAny(testenv::home(), needles), QStringList());
}

ORVIK_TEST_MAIN(ConnectionTest, QApplication)
#include "tst_connection.moc"

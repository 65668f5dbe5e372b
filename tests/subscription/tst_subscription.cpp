// Subscription download, refresh and start-up through the real controller, against the local
// HTTPS server (test CA trusted by this process only) and the real keyring.

#include "config/adaptersource.h"
#include "controller/controller.h"
#include "controller/settings.h"
#include "controller/settingskeys.h"
#include "tests/support/httpstestserver.h"
#include "tests/support/standin.h"
#include "tests/support/testenv.h"
#include "tests/support/controllertestaccess.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <memory>

namespace {

// Profile lines the parser accepts, and lines it refuses with a known message.
const QString kA = QStringLiteral("hy2://pw1@127.0.0.1:443?sni=a.example.net#A");
const QString kA2 = QStringLiteral("hy2://pw1@127.0.0.1:443?sni=a.example.net#A%20renamed");
const QString kB =
    QStringLiteral("trojan://pw2@b.example.net:443?security=tls&sni=b.example.net&type=tcp#B");
const QString kC = QStringLiteral("vless://4f2a8c1e-9b7d-4e3a-a1c5-6d8e0f2b3a79@c.example.net:443"
                                  "?type=tcp&security=tls&sni=c.example.net#C");
const QString kD = QStringLiteral("hysteria2://pw4@d.example.net:443?sni=d.example.net#D");
const QString kSs1 = QStringLiteral("ss://YWVzLTI1Ni1nY206cGFzcw@de.example.net:8388#SS1");
const QString kSs2 = QStringLiteral("ss://YWVzLTI1Ni1nY206cGFzcw@de2.example.net:8388#SS2");
const QString kSs3 = QStringLiteral("ss://other@de3.example.net:8388");
const QString kTrojanNoSni = QStringLiteral("trojan://pw@us.example.net:443?security=tls#No%20SNI");
const QString kSsMessage = QStringLiteral("Неподдерживаемый протокол: ss");
const QString kTrojanMessage = QStringLiteral("Неподдерживаемый профиль Trojan");

const QString kUpdated = QStringLiteral("Подписка обновлена · %1 профилей");
const QString kCached = QStringLiteral("Сохранённые профили. Проверяем обновление...");
const QString kFailed =
    QStringLiteral("Не удалось обновить подписку. Сохранённые профили остаются доступны.");
const QString kNone = QStringLiteral("В подписке нет поддерживаемых профилей. ");

const PhysicalAdapter kAdapter{QStringLiteral("eth0"), QStringLiteral("192.168.50.10"),
                               QStringLiteral("192.168.50.1")};

QByteArray lines(const QStringList& list, const QByteArray& separator = "\n")
{
    QByteArray body;
    for (const QString& line : list)
        body += line.toUtf8() + separator;
    return body;
}

QStringList uris(const Controller& controller)
{
    QStringList list;
    for (const QVariant& entry : controller.servers())
        list.append(entry.toMap().value(QStringLiteral("uri")).toString());
    return list;
}

// Distinct valid lines, padded with a long name so that the body is exactly `size` bytes.
QByteArray bodyOfSize(qsizetype size, int count)
{
    QByteArray body;
    for (int i = 0; i < count; ++i) {
        QByteArray line = "hy2://pw" + QByteArray::number(i) + "@s" + QByteArray::number(i) +
                          ".example.net:443?sni=s.example.net#N";
        const qsizetype lineSize = size / count + (i < size % count ? 1 : 0);
        line += QByteArray(lineSize - 1 - line.size(), 'x');
        body += line + '\n';
    }
    return body;
}

void clearStores()
{
    QSettings store;
    store.clear();
    store.sync();
    QFile::remove(settings::bootstrapStoreLocation());
}

bool waitForDownload(const Controller& controller, int ms = 20000)
{
    return QTest::qWaitFor([&] { return !controller.isSubscriptionLoading(); }, ms);
}

} // namespace

class SubscriptionTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void bodies_data();
    void bodies();
    void failuresKeepTheListAndTheStore_data();
    void failuresKeepTheListAndTheStore();
    void bodyAtTheLimitIsAccepted();
    void sameOriginRedirectIsFollowed();
    void requestCarriesTheClientHeaders();
    void secondImportWhileLoadingIsIgnored();
    void refresh();
    void selectionFollowsTheShownListNotTheStore();
    void startupShowsTheCachedListFirst_data();
    void startupShowsTheCachedListFirst();
    void linkNotRememberedWithoutAKeyring();
    void accountInfoAndScheduledRefresh();

private:
    QString url(const QByteArray& path, const QString& host = QStringLiteral("127.0.0.1")) const
    {
        return QStringLiteral("https://%1:%2%3")
            .arg(host, QString::number(m_server->port()), QString::fromLatin1(path));
    }
    // A controller whose start-up step has run.
    std::unique_ptr<Controller> startController()
    {
        auto controller = std::make_unique<Controller>();
        QCoreApplication::processEvents();
        return controller;
    }
    // Imports `path` served with `body` and waits for the end.
    bool importBody(Controller& controller, const QByteArray& path, const QByteArray& body)
    {
        m_server->setResponse(path, {200, {}, body});
        controller.importSubscription(url(path));
        return waitForDownload(controller);
    }

    std::unique_ptr<HttpsTestServer> m_server;
};

void SubscriptionTest::initTestCase()
{
    m_server = std::make_unique<HttpsTestServer>();
    QVERIFY2(m_server->start(), qPrintable(m_server->errorText()));
}

void SubscriptionTest::init()
{
    clearStores();
    standin::clearEnvironment();
    setAdapterSource([] { return kAdapter; });
}

void SubscriptionTest::cleanup()
{
    setAdapterSource({});
}

void SubscriptionTest::bodies_data()
{
    // clang-format off
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("expectedUris");
    QTest::addColumn<QString>("expectedNotice");

    const QByteArray plain = lines({kA, kB, kC});
    const QString three = kUpdated.arg(3);
    QTest::newRow("plain, LF") << plain << QStringList{kA, kB, kC} << three;
    QTest::newRow("plain, CRLF, blank lines, comments, padding") << "  #profile-title: x\r\n\r\n" + lines({kA, QStringLiteral("   "), QStringLiteral("# comment ://"), kB}, "\r\n") + "\r\n\t" << QStringList{kA, kB} << kUpdated.arg(2);
    QTest::newRow("base64") << plain.toBase64() << QStringList{kA, kB, kC} << three;
    QTest::newRow("exact duplicates dropped, first wins") << lines({kA, kB, QStringLiteral("  ") + kA + QStringLiteral(" "), kA, kB}) << QStringList{kA, kB} << kUpdated.arg(2);
    QTest::newRow("same server, other name: two entries") << lines({kA, kA2}) << QStringList{kA, kA2} << kUpdated.arg(2);
    QTest::newRow("some rejected: distinct messages in order") << lines({kSs1, kA, kSs2, kTrojanNoSni, kSs3, kB}) << QStringList{kA, kB} << QStringLiteral("Часть профилей не добавлена: ") + kSsMessage + QStringLiteral("; ") + kTrojanMessage;
    QTest::newRow("all rejected") << lines({kTrojanNoSni, kSs1, kSs2, kTrojanNoSni}) << QStringList{} << kNone + kTrojanMessage + QStringLiteral("; ") + kSsMessage;
    QTest::newRow("empty body") << QByteArray() << QStringList{} << kNone;
    // clang-format on
}

void SubscriptionTest::bodies()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, expectedUris);
    QFETCH(QString, expectedNotice);

    auto controller = startController();
    QSignalSpy selected(controller.get(), &Controller::selectedChanged);
    QVERIFY(importBody(*controller, "/sub/body", body));

    QCOMPARE(uris(*controller), expectedUris);
    QCOMPARE(controller->subscriptionNotice(), expectedNotice);
    QVERIFY(!controller->hasError());
    // Link and body are kept only once they produced a list; the link as requested, the body
    // exactly as received.
    const bool listed = !expectedUris.isEmpty();
    QCOMPARE(settings::readSecret(settingskeys::subscription),
             listed ? url("/sub/body").toUtf8() : QByteArray());
    QCOMPARE(settings::readSecret(settingskeys::subscriptionCache), listed ? body : QByteArray());
    QCOMPARE(controller->status(), listed ? QStringLiteral("Готово") : QStringLiteral("Отключено"));
    QCOMPARE(selected.size(), listed ? 1 : 0);
    QCOMPARE(controller->selectedRow(), 0);
}

void SubscriptionTest::failuresKeepTheListAndTheStore_data()
{
    // clang-format off
    QTest::addColumn<HttpsTestResponse>("response");
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("expectedDetail");
    QTest::addColumn<QByteArray>("neverRequested");

    const QString failing = QStringLiteral("/sub/failing");
    const QString detail = QStringLiteral("Ошибка обновления подписки, HTTP ");
    // Would give a list if it were read.
    const QByteArray good = lines({kC, kD});

    QTest::newRow("HTTP 404") << HttpsTestResponse{404, {}, "no such subscription"} << failing << detail + QStringLiteral("404") << QByteArray();
    QTest::newRow("HTTP 500 with profiles in the body") << HttpsTestResponse{500, {}, good} << failing << detail + QStringLiteral("500") << QByteArray();
    QTest::newRow("body one byte over 1 MiB") << HttpsTestResponse{200, {}, bodyOfSize(1048577, 5000)} << failing << detail + QStringLiteral("200") << QByteArray();
    QTest::newRow("redirect to another host") << HttpsTestResponse{302, {{"Location", "https://localhost:PORT/sub/elsewhere"}}, {}} << failing << detail + QStringLiteral("302") << QByteArray("/sub/elsewhere");
    QTest::newRow("redirect to plain http on the same host") << HttpsTestResponse{301, {{"Location", "http://127.0.0.1:PORT/sub/elsewhere"}}, {}} << failing << detail + QStringLiteral("301") << QByteArray("/sub/elsewhere");
    QTest::newRow("nobody listening") << HttpsTestResponse{} << QStringLiteral("closed port") << detail << QByteArray();
    // The one case that waits out the 15 s transfer limit.
    HttpsTestResponse stalled;
    stalled.stall = true;
    QTest::newRow("server never answers") << stalled << failing << detail << QByteArray();
    // A byte a second never trips the transfer limit; the overall deadline (3 s here) ends it.
    QTest::newRow("server trickles past the deadline") << HttpsTestResponse{200, {}, good, 0, false, 1000} << failing << detail + QStringLiteral("200") << QByteArray();
    // clang-format on
}

void SubscriptionTest::failuresKeepTheListAndTheStore()
{
    QFETCH(HttpsTestResponse, response);
    QFETCH(QString, link);
    QFETCH(QString, expectedDetail);
    QFETCH(QByteArray, neverRequested);

    auto controller = startController();
    const QByteArray good = lines({kA, kB});
    QVERIFY(importBody(*controller, "/sub/good", good));
    QCOMPARE(uris(*controller), QStringList({kA, kB}));
    controller->setSelectedRow(1);
    controller->setStatus(QStringLiteral("Отключено"));
    // The latency checks of the good list have started; a failure must not start them again.
    QTRY_VERIFY(!ControllerTestAccess::pingStart(*controller).isActive());

    const QString port = QString::number(m_server->port());
    for (auto& [name, value] : response.headers)
        value.replace("PORT", port.toLatin1());
    m_server->setResponse("/sub/failing", response);
    m_server->setResponse("/sub/elsewhere", {200, {}, lines({kC})});
    QString target = url(link.toLatin1());
    if (link == QLatin1String("closed port")) {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        target = QStringLiteral("https://127.0.0.1:%1/sub").arg(closed.serverPort());
    }
    const int requestsBefore = m_server->requestCount();
    if (response.trickleMs > 0)
        ControllerTestAccess::setDownloadDeadline(*controller, 3000);
    QElapsedTimer clock;
    clock.start();
    controller->importSubscription(target);
    QVERIFY(controller->isSubscriptionLoading());
    QVERIFY(waitForDownload(*controller, 30000));
    if (response.stall)
        QVERIFY2(clock.elapsed() >= 14000, qPrintable(QString::number(clock.elapsed())));

    QCOMPARE(controller->subscriptionNotice(), kFailed);
    QCOMPARE(controller->lastError(), expectedDetail);
    QCOMPARE(uris(*controller), QStringList({kA, kB}));
    QCOMPARE(controller->selectedRow(), 1);
    QCOMPARE(controller->status(), QStringLiteral("Отключено"));
    QVERIFY(!controller->hasError());
    QVERIFY(!ControllerTestAccess::pingStart(*controller).isActive());
    QCOMPARE(settings::readSecret(settingskeys::subscription), url("/sub/good").toUtf8());
    QCOMPARE(settings::readSecret(settingskeys::subscriptionCache), good);
    if (!neverRequested.isEmpty()) {
        const QList<HttpsTestRequest> requests = m_server->requests().mid(requestsBefore);
        for (const HttpsTestRequest& request : requests)
            QVERIFY2(request.path() != neverRequested, request.target.constData());
    }
}

void SubscriptionTest::bodyAtTheLimitIsAccepted()
{
    auto controller = startController();
    const QByteArray body = bodyOfSize(1048576, 5000);
    QCOMPARE(body.size(), 1048576);
    QVERIFY(importBody(*controller, "/sub/large", body));
    QCOMPARE(controller->servers().size(), 5000);
    QCOMPARE(controller->subscriptionNotice(), kUpdated.arg(5000));
    QCOMPARE(settings::readSecret(settingskeys::subscriptionCache), body);
}

void SubscriptionTest::sameOriginRedirectIsFollowed()
{
    auto controller = startController();
    m_server->setResponse("/sub/moved", {302, {{"Location", "/sub/new"}}, {}});
    m_server->setResponse("/sub/new", {200, {}, lines({kC, kD})});
    controller->importSubscription(url("/sub/moved"));
    QVERIFY(waitForDownload(*controller));

    QCOMPARE(uris(*controller), QStringList({kC, kD}));
    QCOMPARE(m_server->requests().constLast().path(), QByteArray("/sub/new"));
    // What the user gave is what is asked again next time.
    QCOMPARE(settings::readSecret(settingskeys::subscription), url("/sub/moved").toUtf8());
}

void SubscriptionTest::requestCarriesTheClientHeaders()
{
    auto controller = startController();
    const int before = m_server->requestCount();
    m_server->setResponse("/sub/headers", {200, {}, lines({kA})});
    controller->importSubscription(
        QStringLiteral("  HTTPS://127.0.0.1:%1/sub/headers?key=v%20w \n").arg(m_server->port()));
    QVERIFY(waitForDownload(*controller));

    QCOMPARE(m_server->requestCount(), before + 1);
    const HttpsTestRequest request = m_server->requests().constLast();
    QCOMPARE(request.method, QByteArray("GET"));
    QCOMPARE(request.target, QByteArray("/sub/headers?key=v%20w"));
    QCOMPARE(request.header("User-Agent"), QByteArray("Happ/3.3.6/Windows/2607171516600"));
    QCOMPARE(request.header("X-Orvik-Client-Version"), QByteArray(ORVIK_VERSION));
}

void SubscriptionTest::secondImportWhileLoadingIsIgnored()
{
    auto controller = startController();
    m_server->setResponse("/sub/slow", {200, {}, lines({kA}), 400});
    const int before = m_server->requestCount();
    controller->importSubscription(url("/sub/slow"));
    QSignalSpy servers(controller.get(), &Controller::serversChanged);
    controller->importSubscription(QStringLiteral("not a link"));
    controller->importSubscription(url("/sub/other"));
    QVERIFY(servers.isEmpty());
    QCOMPARE(controller->subscriptionNotice(), QString());
    QVERIFY(waitForDownload(*controller));
    QTest::qWait(100);
    QCOMPARE(m_server->requestCount(), before + 1);
    QCOMPARE(uris(*controller), QStringList({kA}));
}

void SubscriptionTest::refresh()
{
    auto controller = startController();
    const int before = m_server->requestCount();
    // A link the rules refuse is not even asked for.
    controller->importSubscription(
        QStringLiteral("https://user@127.0.0.1:%1/sub/x").arg(m_server->port()));
    QCOMPARE(controller->subscriptionNotice(),
             QStringLiteral("Нужна корректная HTTPS-ссылка на подписку."));
    QVERIFY(!controller->isSubscriptionLoading());
    controller->refreshSubscription();
    QCOMPARE(controller->subscriptionNotice(),
             QStringLiteral("Сначала добавьте ссылку из кабинета."));
    QVERIFY(!controller->isSubscriptionLoading());

    // A stored link is asked again, without the user typing it.
    QVERIFY(settings::writeSecrets({{settingskeys::subscription, url("/sub/stored").toUtf8()}}));
    m_server->setResponse("/sub/stored", {200, {}, lines({kB, kC})});
    controller->refreshSubscription();
    QVERIFY(controller->isSubscriptionLoading());
    QVERIFY(waitForDownload(*controller));
    QCOMPARE(uris(*controller), QStringList({kB, kC}));
    QCOMPARE(m_server->requestCount(), before + 1);
    QCOMPARE(m_server->requests().constLast().path(), QByteArray("/sub/stored"));
}

// The stored choice only counts while no list is shown; afterwards the selected row does.
void SubscriptionTest::selectionFollowsTheShownListNotTheStore()
{
    auto controller = startController();
    QVERIFY(importBody(*controller, "/sub/select", lines({kA, kB})));
    controller->setSelectedRow(1);

    // B is gone: the first row is selected, while the store still names B.
    QVERIFY(importBody(*controller, "/sub/select", lines({kC, kA})));
    QCOMPARE(controller->selectedRow(), 0);
    QCOMPARE(settings::readSecret(settingskeys::selectedProfile), kB.toUtf8());

    // B is back, but C is what the user now sees selected.
    QSignalSpy selected(controller.get(), &Controller::selectedChanged);
    QVERIFY(importBody(*controller, "/sub/select", lines({kB, kC})));
    QCOMPARE(controller->selectedRow(), 1);
    QCOMPARE(controller->selectedName(), QStringLiteral("C"));
    QCOMPARE(selected.size(), 1);
}

void SubscriptionTest::startupShowsTheCachedListFirst_data()
{
    // clang-format off
    QTest::addColumn<QByteArray>("storedCache");
    QTest::addColumn<HttpsTestResponse>("fresh");
    QTest::addColumn<QStringList>("cachedUris");
    QTest::addColumn<QStringList>("finalUris");
    QTest::addColumn<QString>("finalNotice");
    QTest::addColumn<int>("finalRow");

    const QByteArray cache = "valid";
    // The stored choice is B; in the fresh list B carries another name and moved down.
    const QString bRenamed = QString(kB).replace(QStringLiteral("#B"), QStringLiteral("#B%20new"));
    QTest::newRow("download replaces the cached list") << cache << HttpsTestResponse{200, {}, lines({kC, kA, bRenamed}), 300} << QStringList{kA, kB} << QStringList{kC, kA, bRenamed} << kUpdated.arg(3) << 2;
    QTest::newRow("download fails, cached list stays") << cache << HttpsTestResponse{404, {}, {}, 300} << QStringList{kA, kB} << QStringList{kA, kB} << kFailed << 1;
    QTest::newRow("cache unreadable: only the download") << QByteArray("damaged") << HttpsTestResponse{200, {}, lines({kC, kB}), 300} << QStringList{} << QStringList{kC, kB} << kUpdated.arg(2) << 1;
    // clang-format on
}

void SubscriptionTest::startupShowsTheCachedListFirst()
{
    QFETCH(QByteArray, storedCache);
    QFETCH(HttpsTestResponse, fresh);
    QFETCH(QStringList, cachedUris);
    QFETCH(QStringList, finalUris);
    QFETCH(QString, finalNotice);
    QFETCH(int, finalRow);

    QVERIFY(settings::writeSecrets({{settingskeys::subscription, url("/sub/start").toUtf8()},
                                    {settingskeys::subscriptionCache, lines({kA, kB})}}));
    settings::writeSelectedProfile(kB);
    if (storedCache == "damaged")
        QSettings().setValue(settingskeys::subscriptionCache, QByteArray(64, '\x07'));
    m_server->setResponse("/sub/start", fresh);
    const int connectionsBefore = m_server->connectionCount();
    const int requestsBefore = m_server->requestCount();

    // What the window sees at the first list change, before anything has reached the server.
    struct Seen
    {
        QStringList uris;
        QString notice;
        int row = -1;
        int connections = -1;
        bool loading = false;
    };
    QList<Seen> seen;
    Controller controller;
    connect(&controller, &Controller::serversChanged, this, [&] {
        if (!controller.servers().isEmpty() && seen.isEmpty())
            seen.append({uris(controller), controller.subscriptionNotice(),
                         controller.selectedRow(), m_server->connectionCount(),
                         controller.isSubscriptionLoading()});
    });
    QCoreApplication::processEvents();
    QVERIFY(controller.isSubscriptionLoading());
    QVERIFY(waitForDownload(controller));

    QVERIFY(!seen.isEmpty());
    if (!cachedUris.isEmpty()) {
        QCOMPARE(seen.constFirst().uris, cachedUris);
        QCOMPARE(seen.constFirst().notice, kCached);
        QCOMPARE(seen.constFirst().row, 1);
        QCOMPARE(seen.constFirst().connections, connectionsBefore);
        QVERIFY(!seen.constFirst().loading);
    } else {
        QCOMPARE(seen.constFirst().uris, finalUris);
    }
    QCOMPARE(uris(controller), finalUris);
    QCOMPARE(controller.subscriptionNotice(), finalNotice);
    QCOMPARE(controller.selectedRow(), finalRow);
    QCOMPARE(m_server->requestCount(), requestsBefore + 1);
    // A list move never rewrites the user's stored choice.
    QCOMPARE(settings::readSecret(settingskeys::selectedProfile), kB.toUtf8());
}

// Without a keyring the list is used, the link is not remembered and the user is told once.
void SubscriptionTest::linkNotRememberedWithoutAKeyring()
{
    if (!qEnvironmentVariableIsSet("ORVIK_NO_KEYRING")) {
        if (QSysInfo::kernelType() != QLatin1String("linux"))
            QSKIP("the keyring is taken away through the session bus");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ORVIK_NO_KEYRING"), QStringLiteral("1"));
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/none"));
        QProcess child;
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(QTest::currentTestFunction())});
        QVERIFY(child.waitForFinished(60000));
        QVERIFY2(child.exitCode() == 0, child.readAll().constData());
        return;
    }
    auto controller = startController();
    QVERIFY(importBody(*controller, "/sub/good", lines({kA, kB})));
    QCOMPARE(uris(*controller), QStringList({kA, kB}));
    QCOMPARE(controller->subscriptionNotice(),
             QStringLiteral("Ссылка на подписку не будет запомнена: системное хранилище ключей "
                            "недоступно."));
    QVERIFY(settings::readSecret(settingskeys::subscription).isEmpty());
    QVERIFY(importBody(*controller, "/sub/good", lines({kB})));
    QCOMPARE(controller->subscriptionNotice(), kUpdated.arg(1));
}

// The service's account headers reach the controller and the store, and its interval brings
// the next download by itself, never while a latency check runs.
void SubscriptionTest::accountInfoAndScheduledRefresh()
{
    const QDateTime end = QDateTime::currentDateTime().addDays(2);
    const HttpHeaders headers = {
        {"Subscription-Userinfo", "upload=0; download=96636764160; total=107374182400; expire=" + QByteArray::number(end.toSecsSinceEpoch())},
        {"profile-update-interval", "1"},
        {"profile-title", "base64:" + QStringLiteral("Орвик").toUtf8().toBase64()}};
    m_server->setResponse("/sub/account", {200, headers, lines({kA})});
    // Each latency check takes a while, so a refresh that does not wait would meet one.
    qputenv(standin::kListenAfter, "sing-box:800");
    {
        auto controller = startController();
        ControllerTestAccess::setHourLength(*controller, 300);
        QList<bool> checkingAtRequest;
        connect(m_server.get(), &HttpsTestServer::requestReceived, controller.get(), [&] {
            if (m_server->requests().constLast().path() == "/sub/account")
                checkingAtRequest.append(ControllerTestAccess::pingSession(*controller) != nullptr ||
                                     !ControllerTestAccess::pingQueue(*controller).isEmpty());
        });
        controller->importSubscription(url("/sub/account"));
        QVERIFY(waitForDownload(*controller));
        QCOMPARE(controller->property("subscriptionTitle").toString(), QStringLiteral("Орвик"));
        QCOMPARE(controller->property("subscriptionTraffic").toString(), QStringLiteral("90,0 из 100,0 ГБ"));
        QCOMPARE(controller->property("subscriptionExpiry").toString(), QStringLiteral("до ") + end.toString(QStringLiteral("dd.MM.yyyy")));
        QVERIFY(controller->property("subscriptionWarning").toBool());
        QCOMPARE(controller->subscriptionNotice(), QStringLiteral("Подписка обновлена · 1 профилей · осталось 10,0 ГБ · до ") + end.toString(QStringLiteral("dd.MM.yyyy")));
        // The checks of the new list run first; the refresh waits for them.
        QTRY_VERIFY_WITH_TIMEOUT(checkingAtRequest.size() >= 3, 20000);
        QVERIFY(!checkingAtRequest.contains(true));
    }
    // The next start shows the stored values before anything is downloaded.
    auto again = std::make_unique<Controller>();
    QCoreApplication::processEvents();
    QVERIFY(again->isSubscriptionLoading());
    QCOMPARE(again->property("subscriptionTitle").toString(), QStringLiteral("Орвик"));
    QVERIFY(waitForDownload(*again));
}

ORVIK_TEST_MAIN(SubscriptionTest, QApplication)
#include "tst_subscription.moc"

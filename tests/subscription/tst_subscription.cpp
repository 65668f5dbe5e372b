// Subscription download, refresh and start-up through the real controller, the local HTTPS
// server and the real keyring.

#include "config/adaptersource.h"
#include "controller/controller.h"
#include "controller/settings.h"
#include "controller/settingskeys.h"
#include "tests/support/controllertestaccess.h"
#include "tests/support/httpstestserver.h"
#include "tests/support/standin.h"
#include "tests/support/testenv.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

const QString kA = "hy2://pw1@127.0.0.1:443?sni=a.example.net#A";
const QString kA2 = "hy2://pw1@127.0.0.1:443?sni=a.example.net#A%20renamed";
const QString kB = "trojan://pw2@b.example.net:443?security=tls&sni=b.example.net&type=tcp#B";
const QString kC = "vless://4f2a8c1e-9b7d-4e3a-a1c5-6d8e0f2b3a79@c.example.net:443"
                   "?type=tcp&security=tls&sni=c.example.net#C";
const QString kD = "hysteria2://pw4@d.example.net:443?sni=d.example.net#D";
const QString kSs1 = "ss://YWVzLTI1Ni1nY206cGFzcw@de.example.net:8388#SS1";
const QString kSs2 = "ss://YWVzLTI1Ni1nY206cGFzcw@de2.example.net:8388#SS2";
const QString kTrojanNoSni = "trojan://pw@us.example.net:443?security=tls#No%20SNI";

const QString kUpdated = "Подписка обновлена · %1 профилей";
const QString kFailed = "Не удалось обновить подписку. Сохранённые профили остаются доступны.";

QByteArray lines(const QStringList& list)
{
    return (list.join('\n') + '\n').toUtf8();
}

QStringList uris(const Controller& controller)
{
    QStringList list;
    for (const QVariant& entry : controller.servers())
        list.append(entry.toMap().value("uri").toString());
    return list;
}

// 5000 distinct valid lines, the last name padded so that the body is exactly `size` bytes.
QByteArray bodyOfSize(qsizetype size)
{
    QByteArray body;
    for (int i = 0; i < 5000; ++i)
        body += QString("hy2://pw%1@h%1.test:443?sni=s.example.net#N\n").arg(i).toUtf8();
    return body.insert(body.size() - 1, QByteArray(size - body.size(), 'x'));
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
    void cleanup() { setAdapterSource({}); }
    void bodies_data();
    void bodies();
    void failuresKeepTheListAndTheStore_data();
    void failuresKeepTheListAndTheStore();
    void sameOriginRedirectIsFollowedWithTheClientHeaders();
    void onlyValidIdleImportsAndRefreshesAreAsked();
    void selectionFollowsTheShownListNotTheStore();
    void startupShowsTheCachedListFirst_data();
    void startupShowsTheCachedListFirst();
    void linkNotRememberedWithoutAKeyring();
    void accountInfoAndScheduledRefresh();

private:
    QString url(const QByteArray& path) const
    {
        return QString("https://127.0.0.1:%1%2").arg(m_server.port()).arg(QString(path));
    }
    // A controller whose start-up step has run.
    std::unique_ptr<Controller> startController()
    {
        auto controller = std::make_unique<Controller>();
        QCoreApplication::processEvents();
        return controller;
    }
    bool importBody(Controller& controller, const QByteArray& path, const QByteArray& body)
    {
        m_server.setResponse(path, {200, {}, body});
        controller.importSubscription(url(path));
        return waitForDownload(controller);
    }

    HttpsTestServer m_server;
};

void SubscriptionTest::initTestCase()
{
    QVERIFY2(m_server.start(), qPrintable(m_server.errorText()));
}

void SubscriptionTest::init()
{
    QSettings().clear();
    QSettings().sync();
    QFile::remove(settings::bootstrapStoreLocation());
    standin::clearEnvironment();
    setAdapterSource([] { return PhysicalAdapter{"eth0", "192.168.50.10", "192.168.50.1"}; });
}

void SubscriptionTest::bodies_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("expectedUris");
    QTest::addColumn<QString>("expectedNotice");
    // clang-format off
    QTest::newRow("plain") << lines({kA, kB, kC}) << QStringList{kA, kB, kC} << kUpdated.arg(3);
    QTest::newRow("exact duplicates dropped, first wins") << lines({kA, kB, "  " + kA + " ", kA, kB}) << QStringList{kA, kB} << kUpdated.arg(2);
    QTest::newRow("same server, other name: two entries") << lines({kA, kA2}) << QStringList{kA, kA2} << kUpdated.arg(2);
    QTest::newRow("some rejected: distinct messages in order") << lines({kSs1, kA, kSs2, kTrojanNoSni, "ss://other@de3.example.net:8388", kB}) << QStringList{kA, kB} << "Часть профилей не добавлена: Неподдерживаемый протокол: ss; Неподдерживаемый профиль Trojan";
    QTest::newRow("all rejected") << lines({kTrojanNoSni, kSs1, kSs2, kTrojanNoSni}) << QStringList{} << "В подписке нет поддерживаемых профилей. Неподдерживаемый профиль Trojan; Неподдерживаемый протокол: ss";
    QTest::newRow("empty body") << QByteArray() << QStringList{} << "В подписке нет поддерживаемых профилей. ";
    QTest::newRow("exactly 1 MiB") << bodyOfSize(1048576) << QString(bodyOfSize(1048576)).split('\n', Qt::SkipEmptyParts) << kUpdated.arg(5000);
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
    // Link and body are kept only once they produced a list; the body exactly as received.
    const bool listed = !expectedUris.isEmpty();
    QCOMPARE(settings::readSecret(settingskeys::subscription),
             listed ? url("/sub/body").toUtf8() : "");
    QCOMPARE(settings::readSecret(settingskeys::subscriptionCache), listed ? body : "");
    QCOMPARE(controller->status(), listed ? "Готово" : "Отключено");
    QCOMPARE(selected.size(), listed ? 1 : 0);
    QCOMPARE(controller->selectedRow(), 0);
}

void SubscriptionTest::failuresKeepTheListAndTheStore_data()
{
    QTest::addColumn<HttpsTestResponse>("response");
    QTest::addColumn<QString>("expectedDetail");
    QTest::addColumn<QByteArray>("neverRequested");
    const QString detail = "Ошибка обновления подписки, HTTP ";
    const QByteArray good = lines({kC, kD}); // would give a list if it were read
    // clang-format off
    QTest::newRow("HTTP 404") << HttpsTestResponse{404, {}, "no such subscription"} << detail + "404" << QByteArray();
    QTest::newRow("HTTP 500 with profiles in the body") << HttpsTestResponse{500, {}, good} << detail + "500" << QByteArray();
    QTest::newRow("body one byte over 1 MiB") << HttpsTestResponse{200, {}, bodyOfSize(1048577)} << detail + "200" << QByteArray();
    QTest::newRow("redirect to another host") << HttpsTestResponse{302, {{"Location", "https://localhost:PORT/sub/elsewhere"}}, {}} << detail + "302" << QByteArray("/sub/elsewhere");
    QTest::newRow("redirect to plain http on the same host") << HttpsTestResponse{301, {{"Location", "http://127.0.0.1:PORT/sub/elsewhere"}}, {}} << detail + "301" << QByteArray("/sub/elsewhere");
    // The one case that waits out the 15 s transfer limit.
    QTest::newRow("server never answers") << HttpsTestResponse{200, {}, {}, 0, true} << detail << QByteArray();
    // A byte a second never trips the transfer limit; the overall deadline (3 s here) ends it.
    QTest::newRow("server trickles past the deadline") << HttpsTestResponse{200, {}, good, 0, false, 1000} << detail + "200" << QByteArray();
    // clang-format on
}

void SubscriptionTest::failuresKeepTheListAndTheStore()
{
    QFETCH(HttpsTestResponse, response);
    QFETCH(QString, expectedDetail);
    QFETCH(QByteArray, neverRequested);

    auto controller = startController();
    QVERIFY(importBody(*controller, "/sub/good", lines({kA, kB})));
    controller->setSelectedRow(1);
    controller->setStatus("Отключено");
    // The latency checks of the good list have started; a failure must not start them again.
    QTRY_VERIFY(!ControllerTestAccess::pingStart(*controller).isActive());

    for (auto& [name, value] : response.headers)
        value.replace("PORT", QByteArray::number(m_server.port()));
    m_server.setResponse("/sub/failing", response);
    m_server.setResponse("/sub/elsewhere", {200, {}, lines({kC})});
    const int requestsBefore = m_server.requestCount();
    if (response.trickleMs > 0)
        ControllerTestAccess::setDownloadDeadline(*controller, 3000);
    QElapsedTimer clock;
    clock.start();
    controller->importSubscription(url("/sub/failing"));
    QVERIFY(controller->isSubscriptionLoading());
    QVERIFY(waitForDownload(*controller, 30000));
    if (response.stall)
        QVERIFY2(clock.elapsed() >= 14000, qPrintable(QString::number(clock.elapsed())));

    QCOMPARE(controller->subscriptionNotice(), kFailed);
    QCOMPARE(controller->lastError(), expectedDetail);
    QCOMPARE(uris(*controller), QStringList({kA, kB}));
    QCOMPARE(controller->selectedRow(), 1);
    QCOMPARE(controller->status(), "Отключено");
    QVERIFY(!controller->hasError());
    QVERIFY(!ControllerTestAccess::pingStart(*controller).isActive());
    QCOMPARE(settings::readSecret(settingskeys::subscription), url("/sub/good").toUtf8());
    QCOMPARE(settings::readSecret(settingskeys::subscriptionCache), lines({kA, kB}));
    for (const HttpsTestRequest& request : m_server.requests().mid(requestsBefore))
        QVERIFY2(request.path() != neverRequested, request.target.constData());
}

void SubscriptionTest::sameOriginRedirectIsFollowedWithTheClientHeaders()
{
    auto controller = startController();
    m_server.setResponse("/sub/moved", {302, {{"Location", "/sub/new"}}, {}});
    m_server.setResponse("/sub/new", {200, {}, lines({kC, kD})});
    const int before = m_server.requestCount();
    controller->importSubscription(" HTTPS://127.0.0.1:" + QString::number(m_server.port()) +
                                   "/sub/moved?key=v%20w \n");
    QVERIFY(waitForDownload(*controller));

    QCOMPARE(uris(*controller), QStringList({kC, kD}));
    const QList<HttpsTestRequest> requests = m_server.requests().mid(before);
    QCOMPARE(requests.size(), 2);
    QCOMPARE(requests.at(0).method + ' ' + requests.at(0).target, "GET /sub/moved?key=v%20w");
    QCOMPARE(requests.at(1).path(), "/sub/new");
    for (const HttpsTestRequest& request : requests) {
        QCOMPARE(request.header("User-Agent"), "Happ/3.3.6/Windows/2607171516600");
        QCOMPARE(request.header("X-Orvik-Client-Version"), ORVIK_VERSION);
    }
    // What the user gave is what is asked again next time.
    QCOMPARE(settings::readSecret(settingskeys::subscription),
             url("/sub/moved?key=v%20w").toUtf8());
}

void SubscriptionTest::onlyValidIdleImportsAndRefreshesAreAsked()
{
    auto controller = startController();
    m_server.setResponse("/sub/slow", {200, {}, lines({kA}), 400});
    const int before = m_server.requestCount();
    controller->importSubscription(url("/sub/slow"));
    QSignalSpy servers(controller.get(), &Controller::serversChanged);
    controller->importSubscription("not a link");
    controller->importSubscription(url("/sub/other"));
    QVERIFY(servers.isEmpty());
    QCOMPARE(controller->subscriptionNotice(), QString());
    QVERIFY(waitForDownload(*controller));
    QCOMPARE(uris(*controller), QStringList({kA}));

    controller->importSubscription(QString("https://user@127.0.0.1:%1/sub/x").arg(m_server.port()));
    QCOMPARE(controller->subscriptionNotice(), "Нужна корректная HTTPS-ссылка на подписку.");
    QVERIFY(!controller->isSubscriptionLoading());

    QVERIFY(settings::writeSecrets({{settingskeys::subscription, url("/sub/stored").toUtf8()}}));
    m_server.setResponse("/sub/stored", {200, {}, lines({kB, kC})});
    controller->refreshSubscription();
    QVERIFY(waitForDownload(*controller));
    QCOMPARE(uris(*controller), QStringList({kB, kC}));
    QCOMPARE(m_server.requestCount(), before + 2);
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
    QCOMPARE(controller->selectedName(), "C");
    QCOMPARE(selected.size(), 1);
}

void SubscriptionTest::startupShowsTheCachedListFirst_data()
{
    QTest::addColumn<bool>("cacheReadable");
    QTest::addColumn<HttpsTestResponse>("fresh");
    QTest::addColumn<QStringList>("finalUris");
    QTest::addColumn<QString>("finalNotice");
    QTest::addColumn<int>("finalRow");
    // The stored choice is B; in the fresh list B carries another name and moved down.
    const QString bRenamed = QString(kB).replace("#B", "#B%20new");
    // clang-format off
    QTest::newRow("download replaces the cached list") << true << HttpsTestResponse{200, {}, lines({kC, kA, bRenamed}), 300} << QStringList{kC, kA, bRenamed} << kUpdated.arg(3) << 2;
    QTest::newRow("download fails, cached list stays") << true << HttpsTestResponse{404, {}, {}, 300} << QStringList{kA, kB} << kFailed << 1;
    QTest::newRow("cache unreadable: only the download") << false << HttpsTestResponse{200, {}, lines({kC, kB}), 300} << QStringList{kC, kB} << kUpdated.arg(2) << 1;
    // clang-format on
}

void SubscriptionTest::startupShowsTheCachedListFirst()
{
    QFETCH(bool, cacheReadable);
    QFETCH(HttpsTestResponse, fresh);
    QFETCH(QStringList, finalUris);
    QFETCH(QString, finalNotice);
    QFETCH(int, finalRow);

    QVERIFY(settings::writeSecrets({{settingskeys::subscription, url("/sub/start").toUtf8()},
                                    {settingskeys::subscriptionCache, lines({kA, kB})}}));
    settings::writeSelectedProfile(kB);
    if (!cacheReadable)
        QSettings().setValue(settingskeys::subscriptionCache, QByteArray(64, '\x07'));
    m_server.setResponse("/sub/start", fresh);
    const int connectionsBefore = m_server.connectionCount();
    const int requestsBefore = m_server.requestCount();

    // What the window sees at the first list change, before anything has reached the server.
    QStringList first;
    Controller controller;
    connect(&controller, &Controller::serversChanged, this, [&] {
        if (!controller.servers().isEmpty() && first.isEmpty())
            first << uris(controller) << controller.subscriptionNotice()
                  << QString::number(controller.selectedRow())
                  << QString::number(m_server.connectionCount() - connectionsBefore)
                  << QString::number(controller.isSubscriptionLoading());
    });
    QCoreApplication::processEvents();
    QVERIFY(controller.isSubscriptionLoading());
    QVERIFY(waitForDownload(controller));

    if (cacheReadable)
        QCOMPARE(first, (QStringList{kA, kB, "Сохранённые профили. Проверяем обновление...", "1",
                                     "0", "0"}));
    else
        QCOMPARE(first.mid(0, finalUris.size()), finalUris);
    QCOMPARE(uris(controller), finalUris);
    QCOMPARE(controller.subscriptionNotice(), finalNotice);
    QCOMPARE(controller.selectedRow(), finalRow);
    QCOMPARE(m_server.requestCount(), requestsBefore + 1);
    QCOMPARE(settings::readSecret(settingskeys::selectedProfile), kB.toUtf8());
}

// Without a keyring the list is used, the link is not remembered and the user is told once.
void SubscriptionTest::linkNotRememberedWithoutAKeyring()
{
    if (!qEnvironmentVariableIsSet("ORVIK_NO_KEYRING")) {
        if (QSysInfo::kernelType() != "linux")
            QSKIP("the keyring is taken away through the session bus");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ORVIK_NO_KEYRING", "1");
        env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/none");
        const testenv::ProcessRun run = testenv::runProcess(
            QCoreApplication::applicationFilePath(), {QTest::currentTestFunction()}, {}, env);
        QVERIFY2(run.exitCode == 0, (run.out + run.err).constData());
        return;
    }
    auto controller = startController();
    QVERIFY(importBody(*controller, "/sub/good", lines({kA, kB})));
    QCOMPARE(uris(*controller), QStringList({kA, kB}));
    QCOMPARE(controller->subscriptionNotice(),
             "Ссылка на подписку не будет запомнена: системное хранилище ключей недоступно.");
    QVERIFY(settings::readSecret(settingskeys::subscription).isEmpty());
    QVERIFY(importBody(*controller, "/sub/good", lines({kB})));
    QCOMPARE(controller->subscriptionNotice(), kUpdated.arg(1));
}

// The service's account headers are stored for the next start, and its interval brings the
// next download by itself, never while a latency check runs.
void SubscriptionTest::accountInfoAndScheduledRefresh()
{
    const HttpHeaders headers = {
        {"profile-update-interval", "1"},
        {"profile-title", "base64:" + QString("Орвик").toUtf8().toBase64()}};
    m_server.setResponse("/sub/account", {200, headers, lines({kA})});
    // Each latency check takes a while, so a refresh that does not wait would meet one.
    qputenv(standin::kListenAfter, "sing-box:800");
    {
        auto controller = startController();
        ControllerTestAccess::setHourLength(*controller, 300);
        QList<bool> checkingAtRequest;
        connect(&m_server, &HttpsTestServer::requestReceived, controller.get(), [&] {
            if (m_server.requests().constLast().path() == "/sub/account")
                checkingAtRequest.append(ControllerTestAccess::pingSession(*controller) !=
                                             nullptr ||
                                         !ControllerTestAccess::pingQueue(*controller).isEmpty());
        });
        controller->importSubscription(url("/sub/account"));
        QVERIFY(waitForDownload(*controller));
        QTRY_VERIFY_WITH_TIMEOUT(checkingAtRequest.size() >= 3, 20000);
        QVERIFY(!checkingAtRequest.contains(true));
    }
    auto again = startController();
    QVERIFY(again->isSubscriptionLoading());
    QCOMPARE(again->property("subscriptionTitle").toString(), "Орвик");
    QVERIFY(waitForDownload(*again));
}

ORVIK_TEST_MAIN(SubscriptionTest, QApplication)
#include "tst_subscription.moc"

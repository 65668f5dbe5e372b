// The status file: its document, its atomic replacement and when the controller writes it.

#include "controller/controller.h"
#include "status/statusfile.h"
#include "tests/support/testenv.h"
#include "tests/support/controllertestaccess.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <sys/stat.h>
#include <thread>

namespace {

QVariantMap entry(const QString& name, int latency, bool pinging, const QString& checkError)
{
    return {{QStringLiteral("name"), name},
            {QStringLiteral("endpoint"), name + QStringLiteral(".example:443")},
            {QStringLiteral("uri"),
             QStringLiteral("hy2://secret-id@") + name + QStringLiteral(".example:443#") + name},
            {QStringLiteral("countryCode"), QStringLiteral("NL")},
            {QStringLiteral("protocol"), QStringLiteral("VLESS · TCP · REALITY")},
            {QStringLiteral("latency"), latency},
            {QStringLiteral("pinging"), pinging},
            {QStringLiteral("checkError"), checkError}};
}

QJsonObject readDocument(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

} // namespace

class StatusFileTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void documentHasExactMembersAndTypes();
    void emptyListGivesEmptyProfiles();
    void readerNeverSeesAHalfWrittenFile();
    void controllerWritesEveryStateOnceTheLoopTurns();
    void quittingLeavesTheConnectionFlagsFalse_data();
    void quittingLeavesTheConnectionFlagsFalse();
};

void StatusFileTest::init()
{
    QFile::remove(statusFilePath());
}

void StatusFileTest::documentHasExactMembersAndTypes()
{
    StatusSnapshot snapshot;
    snapshot.version = QStringLiteral("0.3.1");
    snapshot.time = QDateTime(QDate(2025, 3, 4), QTime(5, 6, 7, 890), Qt::UTC);
    snapshot.connected = true;
    snapshot.connecting = false;
    snapshot.status = QStringLiteral("Подключено");
    snapshot.error = QStringLiteral("подробности");
    snapshot.selected = QStringLiteral("one");
    snapshot.servers = {entry(QStringLiteral("one"), 182, false, QString()),
                        entry(QStringLiteral("two"), -1, false, QStringLiteral("Таймаут")),
                        entry(QStringLiteral("three"), -2, true, QString()),
                        QVariantMap{{QStringLiteral("name"), QStringLiteral("bare")}}};

    const QJsonObject root = statusDocument(snapshot);
    QJsonObject members = root;
    members.remove("profiles");
    QCOMPARE(members, (QJsonObject{{"version", "0.3.1"}, {"time", "2025-03-04T05:06:07Z"},
                                   {"connected", true}, {"connecting", false},
                                   {"status", "Подключено"}, {"error", "подробности"},
                                   {"selected", "one"}}));

    // One member per entry, in order; an entry without keys gives empty values.
    const auto profile = [](const QString& name, const QString& endpoint, int ms, bool checking,
                            const QString& error) {
        return QJsonObject{{"name", name},   {"protocol", endpoint.isEmpty() ? "" : "VLESS · TCP · REALITY"},
                           {"endpoint", endpoint}, {"https_ms", ms}, {"checking", checking}, {"error", error}};
    };
    QCOMPARE(root.value("profiles").toArray(),
             QJsonArray({profile("one", "one.example:443", 182, false, ""),
                         profile("two", "two.example:443", -1, false, "Таймаут"),
                         profile("three", "three.example:443", -2, true, ""),
                         profile("bare", "", 0, false, "")}));

    // Written indented, and the URI with its credential never leaves the entry.
    const QString path = testenv::home() + QStringLiteral("/document/client-status.json");
    QVERIFY(saveStatusFile(path, root));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY(text.contains("\n    \"connected\": true"));
    QVERIFY(!text.contains("secret-id"));
    QCOMPARE(QJsonDocument::fromJson(text).object(), root);
}

void StatusFileTest::emptyListGivesEmptyProfiles()
{
    // The first write also makes the missing folder. Both files name the user's servers:
    // owner-only whatever the umask says.
    const QString settingsFile = QSettings().fileName();
    for (const QString& path :
         {QFileInfo(statusFilePath()).absolutePath(), QFileInfo(settingsFile).absolutePath()})
        QVERIFY(QDir(path).removeRecursively());
    const mode_t previousMask = ::umask(022);
    const auto restoreMask = qScopeGuard([previousMask] { ::umask(previousMask); });
    Controller controller;
    controller.setStatus(QStringLiteral("Проверка"));
    QSettings().setValue(QStringLiteral("processRouteMode"), QStringLiteral("include"));
    QTRY_VERIFY(QFile::exists(statusFilePath()));
    for (const QString& path : {statusFilePath(), settingsFile}) {
        struct stat info = {};
        QCOMPARE(::stat(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0700u);
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0600u);
    }
    const QJsonObject root = readDocument(statusFilePath());
    QVERIFY(root.value("profiles").isArray());
    QCOMPARE(root.value("profiles").toArray().size(), 0);
    QCOMPARE(root.value("selected"), QJsonValue(QStringLiteral("Выберите сервер")));
    QCOMPARE(root.value("status"), QJsonValue(QStringLiteral("Проверка")));
    QCOMPARE(root.value("version"), QJsonValue(QCoreApplication::applicationVersion()));
    const QDateTime time = QDateTime::fromString(root.value("time").toString(), Qt::ISODate);
    QVERIFY(time.isValid());
    QVERIFY(qAbs(time.secsTo(QDateTime::currentDateTimeUtc())) < 60);
}

void StatusFileTest::readerNeverSeesAHalfWrittenFile()
{
    const QString path = statusFilePath();
    // Documents of very different sizes, so a torn read could not pass for a whole one.
    QVariantList big;
    for (int i = 0; i < 200; ++i)
        big << entry(QStringLiteral("server-%1").arg(i), i, i % 2 == 0, QString());
    StatusSnapshot small;
    small.status = QStringLiteral("small");
    StatusSnapshot large = small;
    large.status = QStringLiteral("large");
    large.servers = big;
    QVERIFY(saveStatusFile(path, statusDocument(small)));

    std::atomic<bool> stop{false};
    std::atomic<int> reads{0};
    std::atomic<int> broken{0};
    std::thread reader([&] {
        while (!stop.load()) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                ++broken; // the file must always be there
                continue;
            }
            QJsonParseError error;
            const QJsonObject root = QJsonDocument::fromJson(file.readAll(), &error).object();
            const QString status = root.value("status").toString();
            const qsizetype profiles = root.value("profiles").toArray().size();
            if (error.error != QJsonParseError::NoError ||
                !((status == "small" && profiles == 0) || (status == "large" && profiles == 200)))
                ++broken;
            ++reads;
        }
    });
    for (int i = 0; i < 300; ++i)
        saveStatusFile(path, statusDocument(i % 2 ? large : small));
    stop = true;
    reader.join();
    QVERIFY2(reads > 20, qPrintable(QString::number(reads)));
    QCOMPARE(broken.load(), 0);
}

void StatusFileTest::controllerWritesEveryStateOnceTheLoopTurns()
{
    Controller controller;
    QVERIFY(!QFile::exists(statusFilePath()));
    controller.installServerList({entry(QStringLiteral("one"), -2, false, QString()),
                                  entry(QStringLiteral("two"), -2, false, QString())},
                                 QString());
    // A burst of changes is one write, made when the event loop turns.
    emit controller.serversChanged();
    controller.setStatus(QStringLiteral("Готово"));
    QVERIFY(!QFile::exists(statusFilePath()));
    QTRY_COMPARE(readDocument(statusFilePath()).value("status"),
                 QJsonValue(QStringLiteral("Готово")));
    QCOMPARE(readDocument(statusFilePath()).value("profiles").toArray().size(), 2);

    // A new selection alone does not rewrite the file.
    QVERIFY(QFile::remove(statusFilePath()));
    controller.setSelectedRow(1);
    QTest::qWait(50);
    QVERIFY(!QFile::exists(statusFilePath()));

    // Each latency result reaches the file: the checks fail at once here (no cores), 100 ms
    // apart.
    controller.pingAllServers();
    const auto profile = [](int row) {
        return readDocument(statusFilePath()).value("profiles").toArray().at(row).toObject();
    };
    QTRY_VERIFY(profile(0).value("https_ms") == -1 && profile(1).value("checking").toBool());
    QTRY_VERIFY(profile(1).value("https_ms") == -1 && !profile(1).value("checking").toBool());

    ControllerTestAccess::setLastError(controller, QStringLiteral("core exited"));
    controller.setStatus(QStringLiteral("Ошибка подключения"));
    QTRY_COMPARE(readDocument(statusFilePath()).value("status"),
                 QJsonValue(QStringLiteral("Ошибка подключения")));
    const QJsonObject root = readDocument(statusFilePath());
    QCOMPARE(root.value("error"), QJsonValue(QStringLiteral("core exited")));
    QCOMPARE(root.value("selected"), QJsonValue(QStringLiteral("two")));
}

void StatusFileTest::quittingLeavesTheConnectionFlagsFalse_data()
{
    QTest::addColumn<bool>("byShutdown");
    QTest::newRow("shutdown") << true;
    QTest::newRow("destruction") << false;
}

void StatusFileTest::quittingLeavesTheConnectionFlagsFalse()
{
    QFETCH(bool, byShutdown);
    {
        Controller controller;
        ControllerTestAccess::setConnected(controller, true);
        controller.setStatus(QStringLiteral("Подключено"));
        QTRY_COMPARE(readDocument(statusFilePath()).value("connected"), QJsonValue(true));
        if (byShutdown) {
            controller.shutdown();
            const QJsonObject root = readDocument(statusFilePath());
            QCOMPARE(root.value("connected"), QJsonValue(false));
            QCOMPARE(root.value("connecting"), QJsonValue(false));
            ControllerTestAccess::setConnecting(controller, true);
            controller.setStatus(QStringLiteral("Подключение..."));
            QTRY_COMPARE(readDocument(statusFilePath()).value("connecting"), QJsonValue(true));
        }
    }
    const QJsonObject root = readDocument(statusFilePath());
    QCOMPARE(root.value("connected"), QJsonValue(false));
    QCOMPARE(root.value("connecting"), QJsonValue(false));
}

ORVIK_TEST_MAIN(StatusFileTest, QApplication)
#include "tst_statusfile.moc"

// The status file: its document, its atomic replacement and when the controller writes it.

#include "controller/controller.h"
#include "profiles/serverlist.h"
#include "status/statusfile.h"
#include "tests/config/jsoncompare.h"
#include "tests/support/controllertestaccess.h"
#include "tests/support/testenv.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QScopeGuard>
#include <QSettings>
#include <QTest>

#include <atomic>
#include <sys/stat.h>
#include <thread>

namespace {

QVariantMap entry(const QString& name, int latency = -2, bool pinging = false,
                  const QString& checkError = {})
{
    QVariantMap map = makeServerEntry(
        testenv::parsedProfile(QStringLiteral("hy2://secret-id@%1.example:443#%1").arg(name)));
    map.insert(ServerEntry::latency, latency);
    map.insert(ServerEntry::pinging, pinging);
    map.insert(ServerEntry::checkError, checkError);
    return map;
}

QByteArray readText()
{
    QFile file(statusFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QJsonObject readDocument()
{
    return QJsonDocument::fromJson(readText()).object();
}

} // namespace

class StatusFileTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { QFile::remove(statusFilePath()); }
    void documentHasExactMembersAndTypes();
    void readerNeverSeesAHalfWrittenFile();
    void controllerWritesOwnerOnlyFilesOnEveryState();
    void quittingLeavesTheConnectionFlagsFalse_data();
    void quittingLeavesTheConnectionFlagsFalse();
};

void StatusFileTest::documentHasExactMembersAndTypes()
{
    const StatusSnapshot snapshot{
        "0.3.1",
        QDateTime(QDate(2025, 3, 4), QTime(5, 6, 7, 890), Qt::UTC),
        true,
        false,
        "Подключено",
        "подробности",
        "one",
        QVariantList{entry("one", 182), entry("two", -1, false, QStringLiteral("Таймаут")),
                     entry("three", -2, true), QVariantMap{{"name", "bare"}}}};
    const QJsonObject root = statusDocument(snapshot);
    COMPARE_JSON(root, jsonFile("status-document.json"));

    // Written indented; the exact document above already keeps the URI and its credential out.
    QVERIFY(saveStatusFile(statusFilePath(), root));
    const QByteArray text = readText();
    QVERIFY(text.contains("\n    \"connected\": true"));
    QCOMPARE(QJsonDocument::fromJson(text).object(), root);
}

void StatusFileTest::readerNeverSeesAHalfWrittenFile()
{
    // Documents of very different sizes, so a torn read could not pass for a whole one.
    StatusSnapshot small, large;
    small.status = QStringLiteral("small");
    large.status = QStringLiteral("large");
    for (int i = 0; i < 200; ++i)
        large.servers << entry(QStringLiteral("server-%1").arg(i), i, i % 2 == 0);
    QVERIFY(saveStatusFile(statusFilePath(), statusDocument(small)));

    std::atomic<bool> stop{false};
    std::atomic<int> reads{0}, broken{0};
    std::thread reader([&] {
        while (!stop.load()) {
            const QJsonObject root = readDocument(); // empty when missing or unparsable
            const QString status = root.value("status").toString();
            const qsizetype profiles = root.value("profiles").toArray().size();
            if (!((status == "small" && profiles == 0) || (status == "large" && profiles == 200)))
                ++broken;
            ++reads;
        }
    });
    for (int i = 0; i < 300; ++i)
        saveStatusFile(statusFilePath(), statusDocument(i % 2 ? large : small));
    stop = true;
    reader.join();
    QVERIFY2(reads > 20, qPrintable(QString::number(reads)));
    QCOMPARE(broken.load(), 0);
}

void StatusFileTest::controllerWritesOwnerOnlyFilesOnEveryState()
{
    // Both files name the user's servers: owner-only whatever the umask says, folders included.
    const QString settingsFile = QSettings().fileName();
    for (const QString& path : {statusFilePath(), settingsFile})
        QVERIFY(QDir(QFileInfo(path).absolutePath()).removeRecursively());
    const mode_t previousMask = ::umask(022);
    const auto restoreMask = qScopeGuard([previousMask] { ::umask(previousMask); });
    Controller controller;
    controller.installServerList({entry("one"), entry("two")}, QString());
    QSettings().setValue(QStringLiteral("processRouteMode"), QStringLiteral("include"));
    // A burst of changes is one write, made when the event loop turns.
    emit controller.serversChanged();
    controller.setStatus(QStringLiteral("Готово"));
    QVERIFY(!QFile::exists(statusFilePath()));
    QTRY_COMPARE(readDocument().value("status"), QStringLiteral("Готово"));
    for (const QString& path : {statusFilePath(), settingsFile}) {
        struct stat info = {};
        QCOMPARE(::stat(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0700u);
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0600u);
    }
    const QJsonObject root = readDocument();
    QCOMPARE(root.value("profiles").toArray().size(), 2);
    QCOMPARE(root.value("version"), QCoreApplication::applicationVersion());
    const QDateTime time = QDateTime::fromString(root.value("time").toString(), Qt::ISODate);
    QVERIFY(time.isValid());
    QVERIFY(qAbs(time.secsTo(QDateTime::currentDateTimeUtc())) < 60);

    // A new selection alone does not rewrite the file.
    QVERIFY(QFile::remove(statusFilePath()));
    controller.setSelectedRow(1);
    QTest::qWait(50);
    QVERIFY(!QFile::exists(statusFilePath()));

    // Each latency result reaches the file (the checks fail at once here: no cores).
    controller.pingAllServers();
    const auto profile = [](int row) {
        return readDocument().value("profiles").toArray().at(row).toObject();
    };
    QTRY_VERIFY(profile(0).value("https_ms") == -1 && profile(1).value("checking").toBool());
    QTRY_VERIFY(profile(1).value("https_ms") == -1 && !profile(1).value("checking").toBool());

    ControllerTestAccess::setLastError(controller, QStringLiteral("core exited"));
    controller.setStatus(QStringLiteral("Ошибка подключения"));
    QTRY_COMPARE(readDocument().value("status"), QStringLiteral("Ошибка подключения"));
    QCOMPARE(readDocument().value("error"), QStringLiteral("core exited"));
    QCOMPARE(readDocument().value("selected"), QStringLiteral("two"));
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
    const auto flagsFalse = [] {
        return readDocument().value("connected") == false &&
               readDocument().value("connecting") == false;
    };
    {
        Controller controller;
        ControllerTestAccess::setConnected(controller, true);
        controller.setStatus(QStringLiteral("Подключено"));
        QTRY_COMPARE(readDocument().value("connected"), true);
        QCOMPARE(readDocument().value("selected"), QStringLiteral("Выберите сервер"));
        if (byShutdown) {
            controller.shutdown();
            QVERIFY(flagsFalse());
            // The file still follows the state after a shutdown, until the controller goes.
            ControllerTestAccess::setConnecting(controller, true);
            controller.setStatus(QStringLiteral("Подключение..."));
            QTRY_COMPARE(readDocument().value("connecting"), true);
        }
    }
    QVERIFY(flagsFalse());
}

ORVIK_TEST_MAIN(StatusFileTest, QApplication)
#include "tst_statusfile.moc"

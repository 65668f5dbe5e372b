// Runtime folders left by a killed client: which ones go at the next start.

#include "app/singleinstance.h"
#include "session/runtimefolders.h"
#include "session/runtimefolders_linux.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

namespace {

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

} // namespace

class RuntimeFoldersTest : public QObject
{
    Q_OBJECT

private slots:
    void namePattern_data();
    void namePattern();
    void staleFolders_data();
    void staleFolders();
    void instanceChannelLivesInTheUsersRuntimeFolder();
};

void RuntimeFoldersTest::namePattern_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("matches");
    // clang-format off
    QTest::newRow("letters") << "OrvikVPN-runtime-aBcDeF" << true;
    QTest::newRow("digits") << "OrvikVPN-runtime-a1b2c3" << true;
    QTest::newRow("five") << "OrvikVPN-runtime-abcde" << false;
    QTest::newRow("seven") << "OrvikVPN-runtime-abcdefg" << false;
    QTest::newRow("other case") << "orvikvpn-runtime-abcdef" << false;
    QTest::newRow("punctuation") << "OrvikVPN-runtime-ab.def" << false;
    QTest::newRow("prefix alone") << "OrvikVPN-runtime-" << false;
    QTest::newRow("leading text") << "xOrvikVPN-runtime-abcdef" << false;
    QTest::newRow("other program") << "qipc_systemsem_abcdef" << false;
    QTest::newRow("trailing line feed") << "OrvikVPN-runtime-abcdef\n" << false;
    // clang-format on
}

void RuntimeFoldersTest::namePattern()
{
    QFETCH(QString, name);
    QFETCH(bool, matches);
    QCOMPARE(isRuntimeFolderName(name), matches);
}

void RuntimeFoldersTest::staleFolders_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("removed");

    // clang-format off
    QTest::newRow("left with its documents") << "documents" << "OrvikVPN-runtime-AbCdEf" << true;
    QTest::newRow("empty") << "empty" << "OrvikVPN-runtime-ghIJkl" << true;
    QTest::newRow("with a subfolder") << "subfolder" << "OrvikVPN-runtime-mnopQR" << true;
    QTest::newRow("holding a link outwards") << "inner link" << "OrvikVPN-runtime-stuvWX" << true;
    QTest::newRow("other program's folder") << "documents" << "qtsingleapp-abcdef" << false;
    QTest::newRow("a file with the name") << "file" << "OrvikVPN-runtime-fileXY" << false;
    QTest::newRow("a link with the name") << "link" << "OrvikVPN-runtime-linkXY" << false;
    QTest::newRow("another user's folder") << "foreign" << "OrvikVPN-runtime-otherU" << false;
    // clang-format on
}

void RuntimeFoldersTest::staleFolders()
{
    QFETCH(QString, kind);
    QFETCH(QString, name);
    QFETCH(bool, removed);

    QTemporaryDir temp;
    QTemporaryDir outside;
    const QString precious = outside.filePath(QStringLiteral("precious.txt"));
    QVERIFY(writeFile(precious, "keep me"));
    const QString path = QDir(temp.path()).filePath(name);

    if (kind == QLatin1String("file")) {
        QVERIFY(writeFile(path, "a file"));
    } else if (kind == QLatin1String("link")) {
        QVERIFY(QFile::link(outside.path(), path));
    } else {
        QVERIFY(QDir().mkdir(path));
        if (kind != QLatin1String("empty")) {
            QVERIFY(writeFile(path + QStringLiteral("/sing-box.json"), "{\"secret\": 1}"));
            QVERIFY(writeFile(path + QStringLiteral("/xray.json"), "{\"secret\": 2}"));
        }
        if (kind == QLatin1String("subfolder")) {
            QVERIFY(QDir().mkdir(path + QStringLiteral("/inner")));
            QVERIFY(writeFile(path + QStringLiteral("/inner/file"), "x"));
        }
        if (kind == QLatin1String("inner link")) {
            QVERIFY(QFile::link(outside.path(), path + QStringLiteral("/to-folder")));
            QVERIFY(QFile::link(precious, path + QStringLiteral("/to-file")));
        }
        if (kind == QLatin1String("foreign")) {
            if (::geteuid() != 0)
                QSKIP("only root can hand a folder to another user here");
            QVERIFY(::chown(QFile::encodeName(path).constData(), 65534, 65534) == 0);
        }
    }
    // A runtime folder of the right kind beside it goes in every case.
    const QString ownStale = QDir(temp.path()).filePath(QStringLiteral("OrvikVPN-runtime-zzzzzz"));
    QVERIFY(QDir().mkdir(ownStale));

    const int count = removeStaleRuntimeFolders(temp.path());
    QCOMPARE(count, removed ? 2 : 1);
    QVERIFY(!QFileInfo::exists(ownStale));
    // exists() follows links; a dangling or intact link still has its own entry.
    const bool entryLeft = QFileInfo(path).exists() || QFileInfo(path).isSymLink();
    QCOMPARE(entryLeft, !removed);
    // Nothing outside was touched through a link.
    QVERIFY(QFileInfo::exists(precious));
    QCOMPARE(QDir(outside.path()).entryList(QDir::Files), QStringList{"precious.txt"});
    if (kind == QLatin1String("foreign"))
        QVERIFY(QFileInfo::exists(path + QStringLiteral("/sing-box.json")));
}

void RuntimeFoldersTest::instanceChannelLivesInTheUsersRuntimeFolder()
{
    const QString name = instanceServerName();
    const QString runtime = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
    QVERIFY(!runtime.isEmpty());
    QCOMPARE(QFileInfo(name).absolutePath(), QFileInfo(runtime).absoluteFilePath());
    QCOMPARE(QFileInfo(name).fileName(), QStringLiteral("OrvikVPN.Client.instance"));

    // A runtime folder that is not this user's own, and another user's folder squatting the
    // toolkit's own fallback name, are passed over for a private folder of the user's, never
    // for a name in the shared temporary folder.
    if (::geteuid() != 0)
        return;
    QTemporaryDir temp;
    const QString squatted = temp.filePath(
        QStringLiteral("runtime-") + QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name));
    QVERIFY(QDir().mkdir(squatted));
    const QByteArray path = QFile::encodeName(runtime);
    const QByteArray oldTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", temp.path().toLocal8Bit());
    QCOMPARE(::chown(path.constData(), 65534, 65534), 0);
    QCOMPARE(::chown(QFile::encodeName(squatted).constData(), 65534, 65534), 0);
    const auto restore = qScopeGuard([&] {
        qputenv("TMPDIR", oldTemp);
        QCOMPARE(::chown(path.constData(), 0, 0), 0);
    });
    const QString fallback = QFileInfo(instanceServerName()).absolutePath();
    QVERIFY2(fallback != QFileInfo(runtime).absoluteFilePath() && isPrivateFolder(fallback),
             qPrintable(fallback));
}

ORVIK_TEST_MAIN(RuntimeFoldersTest, QCoreApplication)
#include "tst_runtimefolders.moc"

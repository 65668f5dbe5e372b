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
    void namePattern_data() { testenv::addRowsFromFile("runtime-folder-names.tsv", 3); }
    void namePattern();
    void staleFolders_data() { testenv::addRowsFromFile("stale-runtime-folders.tsv", 4); }
    void staleFolders();
    void instanceChannelLivesInTheUsersRuntimeFolder();
};

void RuntimeFoldersTest::namePattern()
{
    QFETCH(QStringList, row); // case, name, matches
    QCOMPARE(isRuntimeFolderName(row[1]), row[2] == QLatin1String("yes"));
    QVERIFY(!isRuntimeFolderName(row[1] + u'\n'));
}

void RuntimeFoldersTest::staleFolders()
{
    QFETCH(QStringList, row); // case, kind, name, removed
    const QString& kind = row[1];
    const bool removed = row[3] == QLatin1String("yes");

    QTemporaryDir temp;
    QTemporaryDir outside;
    const QString precious = outside.filePath(QStringLiteral("precious.txt"));
    QVERIFY(writeFile(precious, "keep me"));
    const QString path = QDir(temp.path()).filePath(row[2]);

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
        if (kind == QLatin1String("subfolder and links")) {
            QVERIFY(QDir().mkdir(path + QStringLiteral("/inner")));
            QVERIFY(writeFile(path + QStringLiteral("/inner/file"), "x"));
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

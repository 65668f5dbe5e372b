#include "controller/controller.h"
#include "controller/settingskeys.h"
#include "routing/iconprovider.h"
#include "tests/support/testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

namespace {

// Copies of a harmless program under chosen names, running until the test ends.
class Programs
{
public:
    ~Programs()
    {
        for (const auto& process : m_running) {
            process->kill();
            process->waitForFinished(5000);
        }
    }

    // Copies sleep to relativePath inside a private folder and returns the full path.
    QString install(const QString& relativePath)
    {
        const QString path = m_dir.filePath(relativePath);
        QDir().mkpath(QFileInfo(path).absolutePath());
        const QString sleep = QStandardPaths::findExecutable(QStringLiteral("sleep"));
        if (sleep.isEmpty() || !QFile::copy(sleep, path))
            return {};
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ExeOwner);
        return path;
    }

    // Starts the program at path; its pid, or 0 when it does not start.
    quint64 start(const QString& path)
    {
        auto process = std::make_unique<QProcess>();
        process->start(path, {QStringLiteral("600")});
        if (!process->waitForStarted(5000))
            return 0;
        const quint64 pid = quint64(process->processId());
        m_running.push_back(std::move(process));
        return pid;
    }

    quint64 installAndStart(const QString& relativePath)
    {
        const QString path = install(relativePath);
        return path.isEmpty() ? 0 : start(path);
    }

private:
    QTemporaryDir m_dir;
    std::vector<std::unique_ptr<QProcess>> m_running;
};

QVariantMap entryWithPid(const QVariantList& entries, quint64 pid)
{
    for (const QVariant& e : entries) {
        if (e.toMap().value("pid").toULongLong() == pid)
            return e.toMap();
    }
    return {};
}

QVariantList entriesNamed(const QVariantList& entries, const QString& name)
{
    QVariantList found;
    for (const QVariant& e : entries) {
        if (e.toMap().value("name").toString().compare(name, Qt::CaseInsensitive) == 0)
            found.append(e);
    }
    return found;
}

QList<bool> marks(const QVariantList& entries)
{
    QList<bool> list;
    for (const QVariant& e : entries)
        list.append(e.toMap().value("selected").toBool());
    return list;
}

// What a fresh reader of the settings file finds, bypassing this process's settings cache.
QVariant storedValue(const QString& key)
{
    const QString file = QSettings().fileName();
    const QString copy = file + QStringLiteral(".copy");
    QFile::remove(copy);
    if (!QFile::copy(file, copy))
        return {};
    const QVariant value = QSettings(copy, QSettings::IniFormat).value(key);
    QFile::remove(copy);
    return value;
}

} // namespace

class ProcessListTest : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void listHoldsThisTestProcess();
    void unreadableExecutableIsListedByCommandName();
    void replacedExecutableKeepsItsName();
    void filterFindsNamePathAndPid();
    void filterOfTwoSpaces();
    void tickingMarksEveryInstance();
    void removalIsExactButMarkingIgnoresCase();
    void selectionReachesTheSettingsFile();
};

void ProcessListTest::init()
{
    QSettings().clear();
}

void ProcessListTest::listHoldsThisTestProcess()
{
    Controller controller;
    const quint64 pid = quint64(QCoreApplication::applicationPid());
    const QVariantMap self = entryWithPid(controller.processes(), pid);
    const QString path = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    QCOMPARE(self.value("path").toString(), path);
    QCOMPARE(self.value("name").toString(), QFileInfo(path).fileName());
    QCOMPARE(self.value("icon").toString(), processIconSource(path));
    QCOMPARE(self.value("selected").toBool(), false);
    QVERIFY(controller.processes().size() > 1);
}

void ProcessListTest::unreadableExecutableIsListedByCommandName()
{
    // Kernel threads and other users' programs have no readable executable link.
    QString pid;
    QString comm;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& candidate : pids) {
        bool number = false;
        candidate.toULongLong(&number);
        if (!number || !QFile::symLinkTarget("/proc/" + candidate + "/exe").isEmpty())
            continue;
        QFile file("/proc/" + candidate + "/comm");
        if (file.open(QIODevice::ReadOnly)) {
            pid = candidate;
            comm = QString::fromUtf8(file.readAll()).trimmed();
            break;
        }
    }
    if (pid.isEmpty())
        QSKIP("every process on this machine has a readable executable");

    Controller controller;
    const QVariantMap entry = entryWithPid(controller.processes(), pid.toULongLong());
    QCOMPARE(entry.value("name").toString(), comm);
    QCOMPARE(entry.value("path").toString(), QString());
    QCOMPARE(entry.value("icon").toString(), QStringLiteral("app"));
}

void ProcessListTest::replacedExecutableKeepsItsName()
{
    // An upgrade replaces a running program's file: the process still is that program.
    Programs programs;
    const QString path = programs.install(QStringLiteral("orvik-upgraded"));
    const quint64 pid = programs.start(path);
    QVERIFY(pid);
    QVERIFY(QFile::remove(path));
    QVERIFY(QFile::symLinkTarget("/proc/" + QString::number(pid) + "/exe").endsWith(" (deleted)"));

    Controller controller;
    const QVariantMap entry = entryWithPid(controller.processes(), pid);
    QCOMPARE(entry.value("name").toString(), QStringLiteral("orvik-upgraded"));
    QCOMPARE(entry.value("path").toString(), QFileInfo(path).absoluteFilePath());
}

void ProcessListTest::filterFindsNamePathAndPid()
{
    Programs programs;
    const quint64 pid = programs.installAndStart(QStringLiteral("Filter Folder/orvik-filtered"));
    QVERIFY(pid);
    Controller controller;
    const qsizetype all = controller.processes().size();
    const QStringList filters = {QStringLiteral("ORVIK-FILTERED"), QStringLiteral("filter folder/"),
                                 QString::number(pid)};
    for (const QString& filter : filters) {
        controller.setProcessFilter(filter);
        const QVariantList shown = controller.processes();
        QVERIFY2(!entryWithPid(shown, pid).isEmpty(), qPrintable(filter));
        QVERIFY(shown.size() < all);
    }
    controller.setProcessFilter(QStringLiteral("orvik-filtered "));
    QVERIFY(entryWithPid(controller.processes(), pid).isEmpty());
}

void ProcessListTest::filterOfTwoSpaces()
{
    Programs programs;
    const quint64 spaced = programs.installAndStart(QStringLiteral("two  spaces/orvik-spaced"));
    const quint64 single = programs.installAndStart(QStringLiteral("one space/orvik-single"));
    QVERIFY(spaced && single);
    Controller controller;
    const qsizetype all = controller.processes().size();

    controller.setProcessFilter(QStringLiteral("  "));
    const QVariantList shown = controller.processes();
    QVERIFY(!entryWithPid(shown, spaced).isEmpty());
    QVERIFY(entryWithPid(shown, single).isEmpty());
    QVERIFY(shown.size() < all);
}

void ProcessListTest::tickingMarksEveryInstance()
{
    Programs programs;
    const QString path = programs.install(QStringLiteral("orvik-triple"));
    const QSet<quint64> pids = {programs.start(path), programs.start(path), programs.start(path)};
    QVERIFY(!pids.contains(0));
    QCOMPARE(pids.size(), 3);

    Controller controller;
    const QVariantList all = controller.processes();
    const QVariantList triple = entriesNamed(all, "orvik-triple");
    QCOMPARE(triple.size(), 3);
    const qsizetype first = all.indexOf(triple.constFirst());
    QCOMPARE(all.mid(first, 3), triple);
    QSet<quint64> listed;
    for (const QVariant& e : triple)
        listed.insert(e.toMap().value("pid").toULongLong());
    QCOMPARE(listed, pids);

    const int countBefore = controller.selectedProcessCount();
    QSignalSpy processesSpy(&controller, &Controller::processesChanged);
    controller.toggleProcessSelection("orvik-triple", true);
    QCOMPARE(processesSpy.count(), 1);
    QCOMPARE(controller.selectedProcessCount(), countBefore + 1);
    QCOMPARE(marks(entriesNamed(controller.processes(), "orvik-triple")),
             QList<bool>({true, true, true}));
}

void ProcessListTest::removalIsExactButMarkingIgnoresCase()
{
    Programs programs;
    QVERIFY(programs.installAndStart(QStringLiteral("a/CaseApp")));
    QVERIFY(programs.installAndStart(QStringLiteral("b/caseapp")));
    Controller controller;
    QCOMPARE(marks(entriesNamed(controller.processes(), "caseapp")), QList<bool>({false, false}));

    controller.toggleProcessSelection("CaseApp", true);
    QCOMPARE(marks(entriesNamed(controller.processes(), "caseapp")), QList<bool>({true, true}));

    // Unticking another spelling unmarks every row, but the stored spelling stays.
    controller.toggleProcessExclusion("caseapp", false);
    QCOMPARE(marks(entriesNamed(controller.processes(), "caseapp")), QList<bool>({false, false}));
    QCOMPARE(controller.selectedProcessCount(), 1);
    QCOMPARE(storedValue(settingskeys::selectedProcesses).toStringList(), QStringList({"CaseApp"}));

    // ... so the next listing marks them again.
    controller.refreshProcesses();
    QCOMPARE(marks(entriesNamed(controller.processes(), "caseapp")), QList<bool>({true, true}));

    controller.toggleProcessSelection("CaseApp", false);
    QCOMPARE(controller.selectedProcessCount(), 0);
    controller.refreshProcesses();
    QCOMPARE(marks(entriesNamed(controller.processes(), "caseapp")), QList<bool>({false, false}));
}

// Names of programs that are not running count too, and the next start finds them.
void ProcessListTest::selectionReachesTheSettingsFile()
{
    Controller controller;
    for (const char* name : {"first.exe", "Second.exe", "Second.exe", "third.exe"})
        controller.toggleProcessSelection(QString::fromLatin1(name), true);
    controller.toggleProcessSelection("first.exe", false);
    controller.refreshProcesses();
    QCOMPARE(controller.selectedProcessCount(), 2);
    QCOMPARE(storedValue(settingskeys::selectedProcesses).toStringList(),
             QStringList({"Second.exe", "third.exe"}));
    QCOMPARE(Controller().selectedProcessCount(), 2);
}

ORVIK_TEST_MAIN(ProcessListTest, QGuiApplication)
#include "tst_processlist.moc"

#include "controller/controller.h"
#include "controller/settingskeys.h"
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

namespace {

// Copies of sleep under chosen names in a private folder, running until the test ends.
class Programs : public QTemporaryDir
{
public:
    ~Programs()
    {
        for (QProcess* process : m_owner.findChildren<QProcess*>()) {
            process->kill();
            process->waitForFinished(5000);
        }
    }

    // Starts the copy at relativePath (made on first use); its pid, or 0 when it does not start.
    quint64 start(const QString& relativePath)
    {
        const QString file = filePath(relativePath);
        QDir().mkpath(QFileInfo(file).absolutePath());
        if (!QFile::exists(file) &&
            !QFile::copy(QStandardPaths::findExecutable(QStringLiteral("sleep")), file))
            return 0;
        auto* process = new QProcess(&m_owner);
        process->start(file, {QStringLiteral("600")});
        return process->waitForStarted(5000) ? quint64(process->processId()) : 0;
    }

private:
    QObject m_owner;
};

QVariantMap entryWithPid(const QVariantList& entries, quint64 pid)
{
    for (const QVariant& e : entries) {
        if (e.toMap().value("pid").toULongLong() == pid)
            return e.toMap();
    }
    return {};
}

// The "selected" marks of the entries named `name`, ignoring case.
QList<bool> marks(const QVariantList& entries, const QString& name)
{
    QList<bool> list;
    for (const QVariant& e : entries) {
        if (e.toMap().value("name").toString().compare(name, Qt::CaseInsensitive) == 0)
            list.append(e.toMap().value("selected").toBool());
    }
    return list;
}

// What a fresh reader of the settings file finds, past this process's settings cache.
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
    void init() { QSettings().clear(); }

    void listHoldsThisTestProcess();
    void unreadableExecutableIsListedByCommandName();
    void replacedExecutableKeepsItsName();
    void filterAndTicksReachTheListAndTheSettingsFile();
};

void ProcessListTest::listHoldsThisTestProcess()
{
    Controller controller;
    const quint64 pid = quint64(QCoreApplication::applicationPid());
    const QVariantMap self = entryWithPid(controller.processes(), pid);
    const QString path = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    QCOMPARE(self.value("path").toString(), path);
    QCOMPARE(self.value("name").toString(), QFileInfo(path).fileName());
    QVERIFY(controller.processes().size() > 1);
}

void ProcessListTest::unreadableExecutableIsListedByCommandName()
{
    // Kernel threads and other users' programs have no readable executable link.
    QString pid;
    QString comm;
    for (const QString& candidate : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        candidate.toULongLong(&number);
        QFile file("/proc/" + candidate + "/comm");
        if (number && QFile::symLinkTarget("/proc/" + candidate + "/exe").isEmpty() &&
            file.open(QIODevice::ReadOnly)) {
            pid = candidate;
            comm = QString::fromUtf8(file.readAll()).trimmed();
            break;
        }
    }
    if (pid.isEmpty())
        QSKIP("every process on this machine has a readable executable");

    const QVariantMap entry = entryWithPid(Controller().processes(), pid.toULongLong());
    QCOMPARE(entry.value("name").toString(), comm);
    QCOMPARE(entry.value("path").toString(), QString());
}

void ProcessListTest::replacedExecutableKeepsItsName()
{
    // An upgrade replaces a running program's file: the process still is that program.
    Programs programs;
    const quint64 pid = programs.start(QStringLiteral("orvik-upgraded"));
    QVERIFY(pid);
    const QString path = programs.filePath(QStringLiteral("orvik-upgraded"));
    QVERIFY(QFile::remove(path));
    QVERIFY(QFile::symLinkTarget("/proc/" + QString::number(pid) + "/exe").endsWith(" (deleted)"));

    const QVariantMap entry = entryWithPid(Controller().processes(), pid);
    QCOMPARE(entry.value("name").toString(), QStringLiteral("orvik-upgraded"));
    QCOMPARE(entry.value("path").toString(), QFileInfo(path).absoluteFilePath());
}

// The rules themselves are tst_processentries'; here, that the controller applies them to /proc.
void ProcessListTest::filterAndTicksReachTheListAndTheSettingsFile()
{
    Programs programs;
    QVERIFY(programs.start(QStringLiteral("Filter Folder/CaseApp")) &&
            programs.start(QStringLiteral("Filter Folder/CaseApp")) &&
            programs.start(QStringLiteral("b/caseapp")));
    Controller controller;
    controller.setProcessFilter(QStringLiteral("filter folder/"));
    QCOMPARE(marks(controller.processes(), "caseapp"), QList<bool>(2, false));
    controller.setProcessFilter(QStringLiteral("caseapp ")); // used as typed
    QVERIFY(controller.processes().isEmpty());
    controller.setProcessFilter(QString());

    QSignalSpy processesSpy(&controller, &Controller::processesChanged);
    controller.toggleProcessSelection(QStringLiteral("CaseApp"), true);
    QCOMPARE(processesSpy.count(), 1);
    QCOMPARE(marks(controller.processes(), "caseapp"), QList<bool>(3, true));
    // Unticking another spelling unmarks every row, but the stored spelling stays...
    controller.toggleProcessExclusion(QStringLiteral("caseapp"), false);
    QCOMPARE(marks(controller.processes(), "caseapp"), QList<bool>(3, false));
    QCOMPARE(storedValue(settingskeys::selectedProcesses).toStringList(), QStringList({"CaseApp"}));
    // ... so the next listing, and the next start, mark them again.
    controller.refreshProcesses();
    QCOMPARE(marks(controller.processes(), "caseapp"), QList<bool>(3, true));
    QCOMPARE(Controller().selectedProcessCount(), 1);
}

ORVIK_TEST_MAIN(ProcessListTest, QGuiApplication)
#include "tst_processlist.moc"

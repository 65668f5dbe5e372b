#include "tests/support/testenv.h"

#include "profiles/profileuri.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdlib>

namespace testenv {

namespace {

QTemporaryDir*& temporaryHome()
{
    static QTemporaryDir* dir = nullptr;
    return dir;
}

} // namespace

void isolateUserDirectories()
{
    if (temporaryHome())
        return;
    temporaryHome() = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/orvik-test-XXXXXX"));
    // The home goes when the process ends, however the test program returns.
    std::atexit([] {
        delete temporaryHome();
        temporaryHome() = nullptr;
    });
    const QString root = temporaryHome()->path();
    const QString runtime = root + QStringLiteral("/run");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("HOME", root.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (root + QStringLiteral("/.config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (root + QStringLiteral("/.local/share")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (root + QStringLiteral("/.cache")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
}

QString home()
{
    return temporaryHome() ? temporaryHome()->path() : QString();
}

ServerProfile parsedProfile(const QString& uri)
{
    ServerProfile profile;
    QString error;
    if (!parseProfileUri(uri, profile, &error))
        qFatal("the test profile is refused: %s", qPrintable(error));
    return profile;
}

ProcessRun runProcess(const QString& program, const QStringList& arguments, const QByteArray& input,
                      const QProcessEnvironment& environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.waitForStarted(10000);
    process.write(input);
    process.closeWriteChannel();
    ProcessRun run;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
    } else if (process.exitStatus() == QProcess::NormalExit) {
        run.exitCode = process.exitCode();
    }
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

QByteArray readDataFile(const char* file)
{
    QFile data(QStringLiteral(ORVIK_TEST_DATA "/") + QString::fromUtf8(file));
    if (!data.open(QIODevice::ReadOnly))
        qFatal("cannot read test data %s", file);
    return data.readAll();
}

void addRowsFromFile(const char* file, int columns)
{
    QTest::addColumn<QStringList>("row");
    for (const QByteArray& line : readDataFile(file).split('\n')) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QStringList row = QString::fromUtf8(line).split(u'\t');
        if (row.size() != columns)
            qFatal("%s: %lld fields where %d expected: %s", file, qlonglong(row.size()), columns,
                   line.constData());
        QTest::newRow(qPrintable(row.first())) << row;
    }
}

} // namespace testenv

#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QTest>

#include <memory>

class QTemporaryDir;
struct ServerProfile;

namespace testenv {

// Points HOME, the XDG folders and the runtime folder at a fresh temporary home, so a
// test never reads or writes the user's own settings, keyring data or status file.
// Must run before the application object exists; the folder lives until the process ends.
void isolateUserDirectories();

// The temporary home set up above.
QString home();

// The profile of a URI the client accepts; a refused URI is a broken test (fatal).
ServerProfile parsedProfile(const QString& uri);

// What a program run to its end printed; exitCode -1 when it could not start, crashed or
// ran longer than 30 s (then it is killed).
struct ProcessRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};
ProcessRun
runProcess(const QString& program, const QStringList& arguments, const QByteArray& input = {},
           const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

// The contents of tests/data/FILE; a missing file is a broken test (fatal).
QByteArray readDataFile(const char* file);

// Adds one data row per line of tests/data/FILE: a QStringList column "row" holding the
// tab-separated fields; blank lines and lines starting with '#' are skipped. A line with
// another number of fields than `columns` is a broken table (fatal).
void addRowsFromFile(const char* file, int columns);

} // namespace testenv

// QTEST_MAIN with the isolated home.
#define ORVIK_TEST_MAIN(TestClass, ApplicationClass)                                               \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        testenv::isolateUserDirectories();                                                         \
        ApplicationClass app(argc, argv);                                                          \
        app.setApplicationName(QStringLiteral("OrvikVPN"));                                        \
        app.setOrganizationName(QStringLiteral("OrvikVPN"));                                       \
        app.setApplicationVersion(QStringLiteral(ORVIK_VERSION));                                  \
        TestClass test;                                                                            \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }

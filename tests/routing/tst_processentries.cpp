#include "routing/iconprovider.h"
#include "routing/processentries.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QTest>

namespace {

QVariantMap entry(const QString& name, quint64 pid, const QString& path, bool selected = false)
{
    return {{"name", name},
            {"pid", pid},
            {"path", path},
            {"icon", processIconSource(path)},
            {"selected", selected}};
}

QStringList names(const QVariantList& entries)
{
    QStringList list;
    for (const QVariant& e : entries)
        list.append(e.toMap().value("name").toString());
    return list;
}

QVariantList sample()
{
    return {entry("chrome.exe", 4180, "C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe"),
            entry("Code.exe", 830, "C:\\Users\\Анна  Ким\\AppData\\Local\\Code.exe"),
            entry("svchost.exe", 1234, QString()),
            entry("notepad.exe", 51200, "C:\\Windows\\notepad.exe"),
            entry("game 7.exe", 96, "D:\\Games\\game 7.exe")};
}

} // namespace

class ProcessEntriesTest : public QObject
{
    Q_OBJECT

private slots:
    void entriesAreSortedByNameAndMarked();
    void filterKeepsMatchingEntriesInOrder_data()
    {
        testenv::addRowsFromFile("process-filter.tsv", 3);
    }
    void filterKeepsMatchingEntriesInOrder();
    void toggledSelection_data() { testenv::addRowsFromFile("process-ticks.tsv", 5); }
    void toggledSelection();
    void markingReachesEveryInstanceWhateverItsCase();
};

void ProcessEntriesTest::entriesAreSortedByNameAndMarked()
{
    const QList<ProcessRecord> records = {
        {"zsh", 10, "/usr/bin/zsh"},
        {"Chrome.exe", 31, "C:\\Chrome\\chrome.exe"},
        {"chrome.exe", 30, "C:\\Chrome\\chrome.exe"},
        {"ärger", 5, QString()},
        {"bash", 11, "/usr/bin/bash"},
        {"chrome.exe", 32, "C:\\Chrome\\chrome.exe"},
        {"chrome.exe", 33, "C:\\Chrome\\chrome.exe"},
        {"Apt", 12, "/usr/bin/apt"},
    };
    const QVariantList entries = processEntries(records, {"CHROME.EXE", "nothing-running"});
    QCOMPARE(entries.size(), records.size());
    QString previous;
    QSet<quint64> chromePids;
    for (const QVariant& e : entries) {
        const QVariantMap map = e.toMap();
        const QString name = map.value("name").toString();
        QVERIFY2(QString::localeAwareCompare(previous, name) <= 0,
                 qPrintable(previous + " before " + name));
        previous = name;
        QCOMPARE(map.keys(), QStringList({"icon", "name", "path", "pid", "selected"}));
        QCOMPARE(map.value("pid").metaType(), QMetaType::fromType<quint64>());
        QCOMPARE(map.value("icon").toString(), processIconSource(map.value("path").toString()));
        // Selected names are compared ignoring case: CHROME.EXE marks Chrome.exe too.
        QCOMPARE(map.value("selected").toBool(), name.startsWith("chrome", Qt::CaseInsensitive));
        if (name == "chrome.exe")
            chromePids.insert(map.value("pid").toULongLong());
    }
    // The instances of one program are neighbours, each with its own pid.
    QCOMPARE(names(entries).lastIndexOf("chrome.exe") - names(entries).indexOf("chrome.exe"), 2);
    QCOMPARE(chromePids, QSet<quint64>({30, 32, 33}));
}

void ProcessEntriesTest::filterKeepsMatchingEntriesInOrder()
{
    QFETCH(QStringList, row);
    QCOMPARE(names(filterProcesses(sample(), row[1])).join(", "), row[2]);
}

void ProcessEntriesTest::toggledSelection()
{
    QFETCH(QStringList, row);
    const QStringList before = row[1].split(", ", Qt::SkipEmptyParts);
    QCOMPARE(::toggledSelection(before, row[2], row[3] == "true").join(", "), row[4]);
}

void ProcessEntriesTest::markingReachesEveryInstanceWhateverItsCase()
{
    QVariantList entries = {entry("App.exe", 1, "/a", true), entry("app.exe", 2, "/b", true),
                            entry("APP.EXE", 3, "/c", true), entry("Apps.exe", 4, "/d", true)};
    const auto marks = [&entries] {
        QList<bool> marks;
        for (const QVariant& e : entries)
            marks.append(e.toMap().value("selected").toBool());
        return marks;
    };
    markSelection(entries, "app.exe", false);
    QCOMPARE(marks(), QList<bool>({false, false, false, true}));
    markSelection(entries, "APPS.exe", false);
    markSelection(entries, "aPP.exe", true);
    QCOMPARE(marks(), QList<bool>({true, true, true, false}));
}

ORVIK_TEST_MAIN(ProcessEntriesTest, QCoreApplication)
#include "tst_processentries.moc"

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
    void filterKeepsMatchingEntriesInOrder_data();
    void filterKeepsMatchingEntriesInOrder();
    void toggledSelection_data();
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

    for (qsizetype i = 1; i < entries.size(); ++i) {
        const QString previous = entries.at(i - 1).toMap().value("name").toString();
        const QString current = entries.at(i).toMap().value("name").toString();
        QVERIFY2(QString::localeAwareCompare(previous, current) <= 0,
                 qPrintable(previous + " before " + current));
    }

    // The instances of one program are neighbours, each with its own pid.
    const QStringList sorted = names(entries);
    const qsizetype firstChrome = sorted.indexOf("chrome.exe");
    QCOMPARE(sorted.mid(firstChrome, 3), QStringList({"chrome.exe", "chrome.exe", "chrome.exe"}));
    QSet<quint64> chromePids;
    for (qsizetype i = firstChrome; i < firstChrome + 3; ++i)
        chromePids.insert(entries.at(i).toMap().value("pid").toULongLong());
    QCOMPARE(chromePids, QSet<quint64>({30, 32, 33}));

    for (const QVariant& e : entries) {
        const QVariantMap map = e.toMap();
        QCOMPARE(map.keys(), QStringList({"icon", "name", "path", "pid", "selected"}));
        QCOMPARE(map.value("pid").metaType(), QMetaType::fromType<quint64>());
        QCOMPARE(map.value("icon").toString(), processIconSource(map.value("path").toString()));
        // Selected names are compared ignoring case: CHROME.EXE marks Chrome.exe too.
        QCOMPARE(map.value("selected").toBool(),
                 map.value("name").toString().startsWith("chrome", Qt::CaseInsensitive));
    }
    QCOMPARE(entries.at(sorted.indexOf("ärger")).toMap().value("icon").toString(),
             QStringLiteral("app"));
}

void ProcessEntriesTest::filterKeepsMatchingEntriesInOrder_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("kept");
    const QStringList all = names(sample());
    QTest::newRow("empty") << "" << all;
    QTest::newRow("name, other case") << "CHROME" << QStringList({"chrome.exe"});
    QTest::newRow("path only") << "windows\\" << QStringList({"notepad.exe"});
    QTest::newRow("Cyrillic path, other case") << "анна" << QStringList({"Code.exe"});
    QTest::newRow("pid digits") << "12" << QStringList({"svchost.exe", "notepad.exe"});
    QTest::newRow("whole pid") << "4180" << QStringList({"chrome.exe"});
    QTest::newRow("two spaces") << "  " << QStringList({"Code.exe"});
    QTest::newRow("one space") << " " << QStringList({"chrome.exe", "Code.exe", "game 7.exe"});
    QTest::newRow("untrimmed") << " notepad" << QStringList();
    QTest::newRow("nothing") << "zzz" << QStringList();
}

void ProcessEntriesTest::filterKeepsMatchingEntriesInOrder()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, kept);
    QCOMPARE(names(filterProcesses(sample(), filter)), kept);
}

void ProcessEntriesTest::toggledSelection_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<QStringList>("after");

    // clang-format off
    QTest::newRow("tick appends") << QStringList({"a.exe"}) << "b.exe" << true << QStringList({"a.exe", "b.exe"});
    QTest::newRow("tick again moves to the end, once") << QStringList({"b.exe", "a.exe"}) << "b.exe" << true << QStringList({"a.exe", "b.exe"});
    QTest::newRow("tick in other case adds that spelling") << QStringList({"App.exe"}) << "app.exe" << true << QStringList({"App.exe", "app.exe"});
    QTest::newRow("untick removes every exact copy") << QStringList({"a.exe", "b.exe", "a.exe"}) << "a.exe" << false << QStringList({"b.exe"});
    QTest::newRow("untick in other case keeps the name") << QStringList({"App.exe"}) << "app.exe" << false << QStringList({"App.exe"});
    QTest::newRow("untick of an absent name") << QStringList() << "x.exe" << false << QStringList();
    // clang-format on
}

void ProcessEntriesTest::toggledSelection()
{
    QFETCH(QStringList, before);
    QFETCH(QString, name);
    QFETCH(bool, selected);
    QFETCH(QStringList, after);
    QCOMPARE(::toggledSelection(before, name, selected), after);
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

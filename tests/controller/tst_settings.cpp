// The settings store as the controller reads and writes it (real files, real keyring).

#include "controller/controller.h"
#include "controller/settings.h"
#include "controller/settingskeys.h"
#include "profiles/serverlist.h"
#include "routing/bypassdomain.h"
#include "tests/support/cleartext.h"
#include "tests/support/controllertestaccess.h"
#include "tests/support/testenv.h"

#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QTest>

namespace {

QByteArray settingsFileContent()
{
    QSettings store;
    store.sync();
    QFile file(store.fileName());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeStore(const QList<QPair<QString, QVariant>>& values)
{
    QSettings store;
    store.clear();
    for (const auto& [key, value] : values) {
        if (value.isValid())
            store.setValue(key, value);
    }
    store.sync();
}

} // namespace

class SettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void legacyProcessListIsMigratedOnce_data();
    void legacyProcessListIsMigratedOnce();
    void storedBypassDomainsAreCleanedInMemoryOnly();
    void bootstrapTokenIsConsumedOnceFromItsOwnStore();
    void selectionIsStoredProtectedOnlyOnRealChanges();
};

void SettingsTest::init()
{
    writeStore({});
    QFile::remove(settings::bootstrapStoreLocation());
}

void SettingsTest::legacyProcessListIsMigratedOnce_data()
{
    testenv::addRowsFromFile("legacy-processes.tsv", 5);
}

void SettingsTest::legacyProcessListIsMigratedOnce()
{
    QFETCH(QStringList, row);
    const auto list = [&row](int field) { return row.at(field).split(',', Qt::SkipEmptyParts); };
    const auto stored = [&](int field) {
        return row.at(field) == "-" ? QVariant() : QVariant(list(field));
    };
    const QVariant selected = stored(1), excluded = stored(2);
    const QStringList expected = list(3);
    const bool legacyKeyKept = row.at(4) == "kept";
    writeStore({{settingskeys::selectedProcesses, selected},
                {settingskeys::legacyExcludedProcesses, excluded},
                {settingskeys::processRouteMode, QStringLiteral("include")}});

    QCOMPARE(ControllerTestAccess::selectedProcesses(Controller()), expected);
    QCOMPARE(settingsFileContent().contains("excludedProcesses="), legacyKeyKept);
    QSettings store;
    QCOMPARE(store.value(settingskeys::selectedProcesses).toStringList(), expected);
    QCOMPARE(store.contains(settingskeys::selectedProcesses),
             selected.isValid() || excluded.isValid());
    // The route mode is not the migration's business.
    QCOMPARE(store.value(settingskeys::processRouteMode).toString(), QStringLiteral("include"));
    // A second start finds nothing left to move.
    QCOMPARE(ControllerTestAccess::selectedProcesses(Controller()), expected);
}

// Cleaned at start (normalised; refused, built-in and repeated entries dropped), not written back.
void SettingsTest::storedBypassDomainsAreCleanedInMemoryOnly()
{
    const QStringList stored = {"Example.COM",
                                "example.com",
                                builtinBypassDomains().first().toUpper(),
                                "no domain here",
                                "https://User@Sub.Example.org:8443/path?q=1",
                                "sub.example.org"};
    writeStore({{settingskeys::siteBypassDomains, stored}});
    QCOMPARE(ControllerTestAccess::userBypassDomains(Controller()),
             QStringList({"example.com", "sub.example.org"}));
    QCOMPARE(QSettings().value(settingskeys::siteBypassDomains).toStringList(), stored);
}

void SettingsTest::bootstrapTokenIsConsumedOnceFromItsOwnStore()
{
    const QString location = settings::bootstrapStoreLocation();
    QCOMPARE(location, QSettings().fileName().section(u'/', 0, -2) + "/Bootstrap.conf");
    QSettings(location, QSettings::NativeFormat)
        .setValue(settingskeys::bootstrapToken, QStringLiteral("one-time-7f3a"));
    QSettings().setValue(settingskeys::processRouteMode, QStringLiteral("include"));

    QCOMPARE(settings::readBootstrapToken(), QStringLiteral("one-time-7f3a"));
    settings::eraseBootstrapToken();
    QCOMPARE(testenv::filesContainingAny(testenv::home(), {"one-time-7f3a"}), QStringList());
    QCOMPARE(settings::readBootstrapToken(), QString());

    // The main store neither held the token nor lost anything to its removal.
    QVERIFY(!QSettings().contains(settingskeys::bootstrapToken));
    QCOMPARE(QSettings().value(settingskeys::processRouteMode), QStringLiteral("include"));
}

void SettingsTest::selectionIsStoredProtectedOnlyOnRealChanges()
{
    const QString second =
        QStringLiteral("trojan://pa55word@two.example:443?security=tls&sni=s#two");
    Controller controller;
    controller.installServerList(
        {makeServerEntry(testenv::parsedProfile(QStringLiteral("hy2://a@one.example:443"))),
         makeServerEntry(testenv::parsedProfile(second))},
        QString());
    controller.setSelectedRow(1);
    QCOMPARE(settings::readSecret(settingskeys::selectedProfile), second.toUtf8());
    QVERIFY(!settingsFileContent().contains("pa55word"));

    // Rejected and unchanged rows write nothing; a value stored in clear reads as not set.
    QSettings().setValue(settingskeys::selectedProfile, second);
    for (const int row : {1, -1, 2})
        controller.setSelectedRow(row);
    QCOMPARE(QSettings().value(settingskeys::selectedProfile), QVariant(second));
    QCOMPARE(settings::readSecret(settingskeys::selectedProfile), QByteArray());
}

ORVIK_TEST_MAIN(SettingsTest, QApplication)
#include "tst_settings.moc"

// The settings store as the controller reads and writes it, against the real settings files
// of the temporary home and the real keyring (tools/with-keyring.sh).

#include "controller/controller.h"
#include "controller/settings.h"
#include "controller/settingskeys.h"
#include "profiles/serverlist.h"
#include "routing/bypassdomain.h"
#include "tests/support/controllertestaccess.h"
#include "tests/support/testenv.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>

namespace {

// An absent value in a table: the key is not written at all.
const QVariant absent;

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
    void secretsRoundTripThroughTheStore();
    void unreadableSecretsReadAsNotSet_data();
    void unreadableSecretsReadAsNotSet();
    void selectionIsStoredProtectedOnlyOnRealChanges();
};

void SettingsTest::init()
{
    writeStore({});
    QFile::remove(settings::bootstrapStoreLocation());
}

void SettingsTest::legacyProcessListIsMigratedOnce_data()
{
    // clang-format off
    QTest::addColumn<QVariant>("selected");
    QTest::addColumn<QVariant>("excluded");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("legacyKeyKept");
    const QStringList two = {QStringLiteral("chrome.exe"), QStringLiteral("telegram.exe")};
    const QStringList other = {QStringLiteral("steam.exe")};
    QTest::newRow("legacy only") << absent << QVariant(two) << two << false;
    QTest::newRow("current empty") << QVariant(QStringList()) << QVariant(two) << two << false;
    QTest::newRow("legacy empty list") << absent << QVariant(QStringList()) << QStringList() << false;
    QTest::newRow("current wins") << QVariant(other) << QVariant(two) << other << true;
    QTest::newRow("nothing stored") << absent << absent << QStringList() << false;
    // clang-format on
}

void SettingsTest::legacyProcessListIsMigratedOnce()
{
    QFETCH(QVariant, selected);
    QFETCH(QVariant, excluded);
    QFETCH(QStringList, expected);
    QFETCH(bool, legacyKeyKept);
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

// At start the stored list is cleaned (normalised, refused entries, built-ins and repeats
// dropped), but nothing is written back until the user changes the list.
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
    // Beside the main settings, yet a store of its own.
    QCOMPARE(QFileInfo(location).absolutePath(), QFileInfo(QSettings().fileName()).absolutePath());
    QVERIFY(location != QSettings().fileName());
    QSettings(location, QSettings::NativeFormat)
        .setValue(settingskeys::bootstrapToken, QStringLiteral("one-time-7f3a"));
    QSettings().setValue(settingskeys::processRouteMode, QStringLiteral("include"));

    QCOMPARE(settings::readBootstrapToken(), QStringLiteral("one-time-7f3a"));
    settings::eraseBootstrapToken();
    QFile file(location);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(!file.readAll().contains("one-time-7f3a"));
    QCOMPARE(settings::readBootstrapToken(), QString());

    // The main store neither held the token nor lost anything to its removal.
    QVERIFY(!QSettings().contains(settingskeys::bootstrapToken));
    QCOMPARE(QSettings().value(settingskeys::processRouteMode), QStringLiteral("include"));
}

void SettingsTest::secretsRoundTripThroughTheStore()
{
    const QByteArray link("https://example.net/sub/5c1e0f3a-token");
    const QByteArray body("vless://0b5d6c2e-1f3a-4b7c-9d8e-112233445566@nl.example:443#NL\n");
    QVERIFY(settings::writeSecrets(
        {{settingskeys::subscription, link}, {settingskeys::subscriptionCache, body}}));
    QCOMPARE(settings::readSecret(settingskeys::subscription), link);
    QCOMPARE(settings::readSecret(settingskeys::subscriptionCache), body);

    // Flushed at once, and only as opaque byte arrays (quoted or not, depending on the bytes
    // the blob happens to contain).
    const QByteArray file = settingsFileContent();
    for (const QString& key : {settingskeys::subscription, settingskeys::subscriptionCache}) {
        const QRegularExpression blob(QStringLiteral("\\b%1=\"?@ByteArray\\(").arg(key));
        QVERIFY2(QString::fromLatin1(file).contains(blob), qPrintable(key));
    }
    QVERIFY(!file.contains("example.net"));
    QVERIFY(!file.contains("0b5d6c2e"));
}

void SettingsTest::unreadableSecretsReadAsNotSet_data()
{
    // clang-format off
    QTest::addColumn<QVariant>("stored");
    QTest::newRow("absent") << absent;
    QTest::newRow("empty") << QVariant(QByteArray());
    QTest::newRow("plain text") << QVariant(QByteArray("https://example.net/sub/plain"));
    QTest::newRow("string") << QVariant(QStringLiteral("https://example.net/sub/plain"));
    QTest::newRow("garbage") << QVariant(QByteArray(80, '\x01'));
    // clang-format on
}

void SettingsTest::unreadableSecretsReadAsNotSet()
{
    QFETCH(QVariant, stored);
    writeStore({{settingskeys::subscription, stored}});
    QCOMPARE(settings::readSecret(settingskeys::subscription), QByteArray());
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

    // Rejected and unchanged rows write nothing.
    QSettings().remove(settingskeys::selectedProfile);
    for (const int row : {1, -1, 2})
        controller.setSelectedRow(row);
    QVERIFY(!QSettings().contains(settingskeys::selectedProfile));
}

ORVIK_TEST_MAIN(SettingsTest, QApplication)
#include "tst_settings.moc"

// Against a real gnome-keyring; cases needing another keyring, a locked one or none run a child.

// GLib's headers use "signals" as a name: include them before Qt.
#include <libsecret/secret.h>

#include "controller/secrets.h"
#include "controller/secrets_linux.h"
#include "controller/settings.h"
#include "controller/settingskeys.h"
#include "tests/support/cleartext.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QTest>

#include <cstdio>

namespace {

const char kChildMode[] = "ORVIK_SECRETS_CHILD";
const char kChildInput[] = "ORVIK_SECRETS_INPUT";

const SecretSchema* keySchema()
{
    static const SecretSchema schema = [] {
        SecretSchema s{};
        s.name = secretkey::schemaName;
        s.flags = SECRET_SCHEMA_NONE;
        s.attributes[0].name = secretkey::attributeName;
        s.attributes[0].type = SECRET_SCHEMA_ATTRIBUTE_STRING;
        return s;
    }();
    return &schema;
}

// Key items in the keyring, locked ones included; -1 when the keyring cannot be asked.
int keyItemCount()
{
    g_autoptr(GError) error = nullptr;
    GList* items =
        secret_password_search_sync(keySchema(), SECRET_SEARCH_ALL, nullptr, &error,
                                    secretkey::attributeName, secretkey::attributeValue, nullptr);
    const int count = error ? -1 : int(g_list_length(items));
    g_list_free_full(items, g_object_unref);
    return count;
}

bool deleteKeyItems()
{
    g_autoptr(GError) error = nullptr;
    secret_password_clear_sync(keySchema(), nullptr, &error, secretkey::attributeName,
                               secretkey::attributeValue, nullptr);
    return !error;
}

bool lockDefaultCollection()
{
    g_autoptr(GError) error = nullptr;
    g_autoptr(SecretService) service =
        secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &error);
    g_autoptr(SecretCollection) collection =
        service ? secret_collection_for_alias_sync(service, SECRET_COLLECTION_DEFAULT,
                                                   SECRET_COLLECTION_NONE, nullptr, &error)
                : nullptr;
    GList objects{collection, nullptr, nullptr};
    return collection && secret_service_lock_sync(service, &objects, nullptr, nullptr, &error) == 1;
}

#define STEP(number, condition)                                                                    \
    if (!(condition))                                                                              \
    return number

// Child side: exit code 0 as expected, 2 and up the number of the failed step.
int runChild(const QByteArray& mode)
{
    const QByteArray input = QByteArray::fromBase64(qgetenv(kChildInput));
    QElapsedTimer clock;
    clock.start();
    // Nothing in the keyring may make a call wait on the user; a refusal must come quickly.
    const auto fast = [&clock] { return clock.elapsed() <= 3000; };
    if (mode == "unprotect")
        return std::puts(unprotectSecret(input).toBase64().constData()) >= 0 ? 0 : 2;
    if (mode == "no-keyring") {
        STEP(2, protectSecret("https://example.net/sub/abc").isEmpty());
        STEP(3, unprotectSecret(input).isEmpty());
        // The store keeps its previous values; the selection is written even though empty.
        STEP(4, !settings::writeSecrets(
                    {{settingskeys::subscription, "https://example.net/sub/new"}}));
        settings::writeSelectedProfile(QStringLiteral("hy2://secret@new.example:443#new"));
        return fast() ? 0 : 5;
    }
    const QByteArray blob = protectSecret(input);
    STEP(2, !blob.isEmpty() && unprotectSecret(blob) == input);
    if (mode == "protect")
        return std::puts(blob.toBase64().constData()) >= 0 ? 0 : 3;
    if (mode == "locked") {
        STEP(3, lockDefaultCollection());
        clock.restart();
        STEP(4, unprotectSecret(blob).isEmpty() && protectSecret(input).isEmpty());
        STEP(5, fast());
        // Refusing must not have made a second key beside the locked one.
        return keyItemCount() == 1 ? 0 : 6;
    }
    if (mode == "missing-key") {
        STEP(3, keyItemCount() == 1 && deleteKeyItems() && keyItemCount() == 0);
        // Reading never makes a key.
        STEP(4, unprotectSecret(blob).isEmpty() && keyItemCount() == 0);
        // The next protect makes a new key; the old value stays unreadable.
        const QByteArray fresh = protectSecret(input);
        STEP(5, keyItemCount() == 1 && unprotectSecret(fresh) == input);
        return unprotectSecret(blob).isEmpty() ? 0 : 6;
    }
    return 100;
}

// This program as a child in `mode`, in a fresh keyring of its own or none; out is its base64 line.
testenv::ProcessRun runSelf(const QByteArray& mode, const QByteArray& input, bool ownKeyring)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildMode), QString::fromLatin1(mode));
    env.insert(QString::fromLatin1(kChildInput), QString::fromLatin1(input.toBase64()));
    for (const char* name : {"DBUS_SESSION_BUS_ADDRESS", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QString::fromLatin1(name));
    const QString self = QCoreApplication::applicationFilePath();
    testenv::ProcessRun run =
        ownKeyring ? testenv::runProcess(QStringLiteral(ORVIK_WITH_KEYRING), {self}, {}, env)
                   : testenv::runProcess(self, {}, {}, env);
    run.out = QByteArray::fromBase64(run.out.trimmed());
    return run;
}

#define VERIFY_CHILD(run)                                                                          \
    QVERIFY2((run).exitCode == 0,                                                                  \
             (QByteArray::number((run).exitCode) + ": " + (run).err).constData())

} // namespace

class SecretsTest : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void damagedValuesReadAsNotSet_data();
    void damagedValuesReadAsNotSet();
    void anotherKeyringCannotRead();
    void noKeyringRefusesAndStoresNothingInClear();
    void lockedOrMissingKey_data();
    void lockedOrMissingKey();
};

void SecretsTest::roundTrip_data()
{
    QTest::addColumn<QByteArray>("plaintext");
    QTest::newRow("link") << QByteArray("https://example.net/sub/3f9a1c7e-5b2d?key=abc");
    QTest::newRow("cyrillic") << QStringLiteral(u"vless://id@host:443#Нидерланды 🇳🇱").toUtf8();
    QTest::newRow("binary with zeros") << QByteArray("\0\x01\xff\0secret\0", 11);
    QTest::newRow("one MiB body") << QByteArray(1 << 20, 'x');
    QTest::newRow("empty") << QByteArray();
}

void SecretsTest::roundTrip()
{
    QFETCH(QByteArray, plaintext);
    const QByteArray blob = protectSecret(plaintext);
    QCOMPARE(blob.size(), 1 + 24 + plaintext.size() + 16);
    QCOMPARE(static_cast<unsigned char>(blob.at(0)), secretkey::formatVersion);
    if (plaintext.size() >= 4)
        QVERIFY(!blob.contains(plaintext));
    QCOMPARE(unprotectSecret(blob), plaintext);
    // A fresh nonce each time, under the one key that serves every value.
    QVERIFY(protectSecret(plaintext) != blob);
    QCOMPARE(keyItemCount(), 1);
}

void SecretsTest::damagedValuesReadAsNotSet_data()
{
    const QByteArray blob = protectSecret("https://example.net/sub/damaged");
    const auto flipped = [&blob](int index) {
        QByteArray copy = blob;
        copy[index] = char(copy.at(index) ^ 0x20);
        return copy;
    };
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("version byte") << flipped(0);
    QTest::newRow("nonce") << flipped(5);
    QTest::newRow("ciphertext") << flipped(30);
    QTest::newRow("tag") << flipped(blob.size() - 1);
    QTest::newRow("truncated") << blob.left(blob.size() - 1);
    QTest::newRow("header only") << blob.left(25);
    QTest::newRow("longer") << blob + '\0';
    QTest::newRow("plain text") << QByteArray("https://example.net/sub/damaged-plain-text-value");
}

void SecretsTest::damagedValuesReadAsNotSet()
{
    QFETCH(QByteArray, stored);
    QCOMPARE(unprotectSecret(stored), QByteArray());
}

void SecretsTest::anotherKeyringCannotRead()
{
    const QByteArray plaintext("https://example.net/sub/other-keyring");
    const testenv::ProcessRun other = runSelf("protect", plaintext, true);
    VERIFY_CHILD(other);
    QVERIFY(!other.out.isEmpty());
    QCOMPARE(unprotectSecret(other.out), QByteArray());
    // And the other way round.
    const testenv::ProcessRun back = runSelf("unprotect", protectSecret(plaintext), true);
    VERIFY_CHILD(back);
    QCOMPARE(back.out, QByteArray());
}

void SecretsTest::noKeyringRefusesAndStoresNothingInClear()
{
    const QByteArray oldLink("https://example.net/sub/old"),
        oldBody("vless://old-body-id@nl.example");
    QVERIFY(settings::writeSecrets(
        {{settingskeys::subscription, oldLink}, {settingskeys::subscriptionCache, oldBody}}));
    const QByteArray blob = protectSecret(oldLink);

    VERIFY_CHILD(runSelf("no-keyring", blob, false));

    // What the refusing child left in the store: the old values intact, an empty selection.
    QSettings store;
    store.sync();
    QCOMPARE(settings::readSecret(settingskeys::subscription), oldLink);
    QCOMPARE(settings::readSecret(settingskeys::subscriptionCache), oldBody);
    QVERIFY(store.contains(settingskeys::selectedProfile));
    QCOMPARE(store.value(settingskeys::selectedProfile).toByteArray(), QByteArray());
    QCOMPARE(testenv::filesContainingAny(testenv::home(),
                                         {"new.example", "sub/new", "sub/old", "old-body-id"}),
             QStringList());
}

// In keyrings of their own: locking or deleting the key here would cost the user their settings.
void SecretsTest::lockedOrMissingKey_data()
{
    QTest::addColumn<QByteArray>("mode");
    QTest::newRow("locked keyring refuses without prompting") << QByteArray("locked");
    QTest::newRow("missing key reads as not set, not made by reading") << QByteArray("missing-key");
}

void SecretsTest::lockedOrMissingKey()
{
    QFETCH(QByteArray, mode);
    VERIFY_CHILD(runSelf(mode, "https://example.net/sub/" + mode, true));
}

int main(int argc, char** argv)
{
    // A child shares the parent's temporary home, so it must not make one of its own.
    const QByteArray childMode = qgetenv(kChildMode);
    if (childMode.isEmpty())
        testenv::isolateUserDirectories();
    QCoreApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("OrvikVPN"));
    app.setOrganizationName(QStringLiteral("OrvikVPN"));
    if (!childMode.isEmpty())
        return runChild(childMode);
    SecretsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_secrets_linux.moc"

// Protection bound to the desktop keyring, against a real gnome-keyring (tools/with-keyring.sh).
// Cases that need another keyring, a locked one or none at all run this program again as a
// child in the environment they need.

// GLib's headers use "signals" as a name: include them before Qt.
#include <libsecret/secret.h>

#include "controller/secrets.h"
#include "controller/secrets_linux.h"
#include "controller/settings.h"
#include "controller/settingskeys.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

const char kChildMode[] = "ORVIK_SECRETS_CHILD";
const char kChildInput[] = "ORVIK_SECRETS_INPUT";

// Runs "$0" beside a fresh unlocked gnome-keyring once that has taken its bus name, then
// stops the daemon, which might otherwise outlive the short session.
const char kOwnKeyringScript[] = R"(
echo -n other | gnome-keyring-daemon --unlock --components=secrets >/dev/null
for _ in $(seq 50); do
    pid=$(dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.GetConnectionUnixProcessID string:org.freedesktop.secrets 2>/dev/null |
        awk '{print $2}')
    [ -n "$pid" ] && break
    sleep 0.1
done
"$0"
status=$?
[ -n "$pid" ] && kill "$pid"
exit $status
)";

// Nothing in the keyring may make a call wait on the user; a refusal must come quickly.
constexpr int kPromptFreeLimitMs = 3000;

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

GHashTable* keyAttributes()
{
    GHashTable* attributes = g_hash_table_new(g_str_hash, g_str_equal);
    g_hash_table_insert(attributes, const_cast<char*>(secretkey::attributeName),
                        const_cast<char*>(secretkey::attributeValue));
    return attributes;
}

// Key items in the keyring, locked ones included; -1 when the keyring cannot be asked.
int keyItemCount()
{
    GError* error = nullptr;
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &error);
    if (!service) {
        g_clear_error(&error);
        return -1;
    }
    GHashTable* attributes = keyAttributes();
    GList* items = secret_service_search_sync(service, keySchema(), attributes, SECRET_SEARCH_ALL,
                                              nullptr, &error);
    g_hash_table_unref(attributes);
    g_object_unref(service);
    if (error) {
        g_clear_error(&error);
        return -1;
    }
    const int count = int(g_list_length(items));
    g_list_free_full(items, g_object_unref);
    return count;
}

bool deleteKeyItems()
{
    GError* error = nullptr;
    GHashTable* attributes = keyAttributes();
    secret_password_clearv_sync(keySchema(), attributes, nullptr, &error);
    g_hash_table_unref(attributes);
    const bool ok = !error;
    g_clear_error(&error);
    return ok;
}

bool lockDefaultCollection()
{
    GError* error = nullptr;
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &error);
    if (!service) {
        g_clear_error(&error);
        return false;
    }
    SecretCollection* collection = secret_collection_for_alias_sync(
        service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, &error);
    bool locked = false;
    if (collection) {
        GList* objects = g_list_append(nullptr, collection);
        locked = secret_service_lock_sync(service, objects, nullptr, nullptr, &error) == 1;
        g_list_free(objects);
        g_object_unref(collection);
    }
    g_clear_error(&error);
    g_object_unref(service);
    return locked;
}

// The child's report: one line of base64 on standard output.
void report(const QByteArray& bytes)
{
    std::printf("%s\n", bytes.toBase64().constData());
    std::fflush(stdout);
}

bool slow(QElapsedTimer& clock, const char* what)
{
    if (clock.elapsed() <= kPromptFreeLimitMs)
        return false;
    std::fprintf(stderr, "%s took %lld ms\n", what, static_cast<long long>(clock.elapsed()));
    return true;
}

// Child side. Exit codes: 0 as expected, 2 and up name the failed step.
int runChild(const QByteArray& mode)
{
    const QByteArray input = QByteArray::fromBase64(qgetenv(kChildInput));
    if (mode == "protect") {
        const QByteArray blob = protectSecret(input);
        if (blob.isEmpty() || unprotectSecret(blob) != input)
            return 2;
        report(blob);
        return 0;
    }
    if (mode == "unprotect") {
        report(unprotectSecret(input));
        return 0;
    }
    if (mode == "no-keyring") {
        QElapsedTimer clock;
        clock.start();
        if (!protectSecret("https://example.net/sub/abc").isEmpty())
            return 2;
        if (!unprotectSecret(input).isEmpty())
            return 3;
        // The store keeps its previous values; the selection is written even though empty.
        if (settings::writeSecrets({{settingskeys::subscription, "https://example.net/sub/new"}}))
            return 4;
        settings::writeSelectedProfile(QStringLiteral("hy2://secret@new.example:443#new"));
        return slow(clock, "refusing without a keyring") ? 5 : 0;
    }
    if (mode == "locked") {
        const QByteArray blob = protectSecret(input);
        if (blob.isEmpty() || unprotectSecret(blob) != input)
            return 2;
        if (!lockDefaultCollection())
            return 3;
        QElapsedTimer clock;
        clock.start();
        if (!unprotectSecret(blob).isEmpty())
            return 4;
        if (!protectSecret(input).isEmpty())
            return 5;
        if (slow(clock, "refusing with a locked keyring"))
            return 6;
        // Refusing must not have made a second key beside the locked one.
        return keyItemCount() == 1 ? 0 : 7;
    }
    if (mode == "missing-key") {
        const QByteArray old = protectSecret(input);
        if (old.isEmpty() || keyItemCount() != 1)
            return 2;
        if (!deleteKeyItems() || keyItemCount() != 0)
            return 3;
        // Reading never makes a key.
        if (!unprotectSecret(old).isEmpty() || keyItemCount() != 0)
            return 4;
        // The next protect makes a new key; the old value stays unreadable.
        const QByteArray fresh = protectSecret(input);
        if (keyItemCount() != 1 || unprotectSecret(fresh) != input)
            return 5;
        return unprotectSecret(old).isEmpty() ? 0 : 6;
    }
    return 100;
}

enum class Keyring { Inherited, OwnFresh, None };

// Runs this program as a child in `mode`; its exit code 0 is success, its output the report.
testenv::ProcessRun runSelf(const QByteArray& mode, const QByteArray& input, Keyring keyring)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildMode), QString::fromLatin1(mode));
    env.insert(QString::fromLatin1(kChildInput), QString::fromLatin1(input.toBase64()));
    QTemporaryDir keyringHome;
    QString program = QCoreApplication::applicationFilePath();
    QStringList arguments;
    if (keyring == Keyring::OwnFresh) {
        // A private session bus with its own unlocked keyring, stored in a folder of its own.
        env.insert(QStringLiteral("XDG_DATA_HOME"), keyringHome.path());
        arguments = {QStringLiteral("--"), QStringLiteral("sh"), QStringLiteral("-c"),
                     QString::fromLatin1(kOwnKeyringScript), program};
        program = QStringLiteral("dbus-run-session");
    } else if (keyring == Keyring::None) {
        for (const char* name : {"DBUS_SESSION_BUS_ADDRESS", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QString::fromLatin1(name));
    }
    testenv::ProcessRun run = testenv::runProcess(program, arguments, {}, env);
    run.out = QByteArray::fromBase64(run.out.trimmed());
    return run;
}

#define VERIFY_CHILD(run)                                                                          \
    QVERIFY2((run).exitCode == 0, qPrintable(QStringLiteral("exit %1: %2")                         \
                                                 .arg((run).exitCode)                              \
                                                 .arg(QString::fromLocal8Bit((run).err))))

} // namespace

class SecretsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void roundTrip_data();
    void roundTrip();
    void damagedValuesReadAsNotSet_data();
    void damagedValuesReadAsNotSet();
    void anotherKeyringCannotRead();
    void noKeyringRefusesAndStoresNothingInClear();
    void lockedOrMissingKey_data();
    void lockedOrMissingKey();
};

void SecretsTest::initTestCase()
{
    QVERIFY2(keyItemCount() >= 0, "no Secret Service: run the tests through tools/with-keyring.sh");
}

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
    QVERIFY(!blob.isEmpty());
    QCOMPARE(static_cast<unsigned char>(blob.at(0)), secretkey::formatVersion);
    QCOMPARE(blob.size(), 1 + 24 + plaintext.size() + 16);
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
    QVERIFY(blob.size() == 1 + 24 + 31 + 16);
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

    const testenv::ProcessRun other = runSelf("protect", plaintext, Keyring::OwnFresh);
    VERIFY_CHILD(other);
    QVERIFY(!other.out.isEmpty());
    QCOMPARE(unprotectSecret(other.out), QByteArray());

    // Through the store as well: a value sealed elsewhere reads as not set here.
    {
        QSettings store;
        store.setValue(settingskeys::subscription, other.out);
    }
    QCOMPARE(settings::readSecret(settingskeys::subscription), QByteArray());

    // And the other way round.
    const testenv::ProcessRun reverse =
        runSelf("unprotect", protectSecret(plaintext), Keyring::OwnFresh);
    VERIFY_CHILD(reverse);
    QCOMPARE(reverse.out, QByteArray());
}

void SecretsTest::noKeyringRefusesAndStoresNothingInClear()
{
    const QByteArray oldLink("https://example.net/sub/old");
    QVERIFY(settings::writeSecrets({{settingskeys::subscription, oldLink}}));
    const QByteArray blob = protectSecret(oldLink);

    VERIFY_CHILD(runSelf("no-keyring", blob, Keyring::None));

    // What the refusing child left in the store: the old link intact, an empty selection.
    QSettings store;
    store.sync();
    QCOMPARE(settings::readSecret(settingskeys::subscription), oldLink);
    QVERIFY(store.contains(settingskeys::selectedProfile));
    QCOMPARE(store.value(settingskeys::selectedProfile).toByteArray(), QByteArray());
    QFile file(store.fileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    QVERIFY(!content.contains("new.example"));
    QVERIFY(!content.contains("sub/new"));
}

// In keyrings of their own: locking or deleting the key here would cost the real user their
// settings.
void SecretsTest::lockedOrMissingKey_data()
{
    QTest::addColumn<QByteArray>("mode");
    QTest::newRow("locked keyring refuses without prompting") << QByteArray("locked");
    QTest::newRow("missing key reads as not set, not recreated by reading")
        << QByteArray("missing-key");
}

void SecretsTest::lockedOrMissingKey()
{
    QFETCH(QByteArray, mode);
    VERIFY_CHILD(runSelf(mode, "https://example.net/sub/" + mode, Keyring::OwnFresh));
}

int main(int argc, char** argv)
{
    // A child shares the parent's temporary home, so it must not make one of its own.
    const QByteArray childMode = qgetenv(kChildMode);
    if (!childMode.isEmpty()) {
        QCoreApplication app(argc, argv);
        app.setApplicationName(QStringLiteral("OrvikVPN"));
        app.setOrganizationName(QStringLiteral("OrvikVPN"));
        return runChild(childMode);
    }
    testenv::isolateUserDirectories();
    QCoreApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("OrvikVPN"));
    app.setOrganizationName(QStringLiteral("OrvikVPN"));
    SecretsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_secrets_linux.moc"

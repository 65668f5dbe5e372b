// GLib's headers use "signals" as a name, which Qt defines as a keyword: include them first.
#include <libsecret/secret.h>
#include <sodium.h>

#include "controller/secrets.h"
#include "controller/secrets_linux.h"

#include <algorithm>
#include <memory>
#include <vector>

// A protected value is self-contained, like a data-protection blob on Windows:
//   version byte | 24-byte nonce | XChaCha20-Poly1305 ciphertext with its 16-byte tag,
// with the version byte as additional authenticated data. The 32-byte key is random, made on
// the first protect and kept only in the desktop user's keyring (Secret Service), so a value
// copied to another account or machine cannot be read. Locked items are never unlocked here:
// unlocking could open a password prompt and block the window.
namespace {

constexpr std::size_t kKeySize = crypto_aead_xchacha20poly1305_ietf_KEYBYTES;
constexpr std::size_t kNonceSize = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr std::size_t kTagSize = crypto_aead_xchacha20poly1305_ietf_ABYTES;
constexpr std::size_t kHeaderSize = 1 + kNonceSize;

// Key bytes that are wiped when they go out of scope.
class Key
{
public:
    Key() = default;
    Key(const Key& other) { std::copy(other.m_bytes, other.m_bytes + kKeySize, m_bytes); }
    Key& operator=(const Key&) = delete;
    ~Key() { sodium_memzero(m_bytes, kKeySize); }

    unsigned char* data() { return m_bytes; }
    const unsigned char* data() const { return m_bytes; }

private:
    unsigned char m_bytes[kKeySize] = {};
};

struct GObjectUnref
{
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T> using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct GListItemsFree
{
    void operator()(GList* list) const { g_list_free_full(list, g_object_unref); }
};

struct SecretValueUnref
{
    void operator()(SecretValue* value) const { secret_value_unref(value); }
};

struct HashTableUnref
{
    void operator()(GHashTable* table) const { g_hash_table_unref(table); }
};

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

std::unique_ptr<GHashTable, HashTableUnref> keyAttributes()
{
    GHashTable* attributes = g_hash_table_new(g_str_hash, g_str_equal);
    g_hash_table_insert(attributes, const_cast<char*>(secretkey::attributeName),
                        const_cast<char*>(secretkey::attributeValue));
    return std::unique_ptr<GHashTable, HashTableUnref>(attributes);
}

// Null without a session bus or without a Secret Service on it; fails at once in both cases.
GObjectPtr<SecretService> openService()
{
    GError* error = nullptr;
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, &error);
    g_clear_error(&error);
    return GObjectPtr<SecretService>(service);
}

struct KeyLookup
{
    bool ok = false;       // the keyring answered
    bool anyItem = false;  // some key item exists, readable or not
    std::vector<Key> keys; // the readable ones (normally exactly one)
};

// One search of the keyring, loading the secrets of unlocked items only.
KeyLookup lookUpKeys(SecretService* service)
{
    KeyLookup lookup;
    GError* error = nullptr;
    std::unique_ptr<GList, GListItemsFree> items(secret_service_search_sync(
        service, keySchema(), keyAttributes().get(),
        SecretSearchFlags(SECRET_SEARCH_ALL | SECRET_SEARCH_LOAD_SECRETS), nullptr, &error));
    if (error) {
        g_clear_error(&error);
        return lookup;
    }
    lookup.ok = true;
    for (GList* node = items.get(); node; node = node->next) {
        auto* item = static_cast<SecretItem*>(node->data);
        lookup.anyItem = true;
        if (secret_item_get_locked(item))
            continue;
        std::unique_ptr<SecretValue, SecretValueUnref> value(secret_item_get_secret(item));
        if (!value)
            continue;
        gsize length = 0;
        const gchar* bytes = secret_value_get(value.get(), &length);
        if (!bytes || length != kKeySize)
            continue;
        Key& key = lookup.keys.emplace_back();
        std::copy(bytes, bytes + kKeySize, key.data());
    }
    return lookup;
}

// Makes the key in the default collection; never creates or unlocks a collection, which
// would need the user at a prompt.
bool createKey(SecretService* service, Key& key)
{
    GError* error = nullptr;
    GObjectPtr<SecretCollection> collection(secret_collection_for_alias_sync(
        service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, &error));
    g_clear_error(&error);
    if (!collection || secret_collection_get_locked(collection.get()))
        return false;

    randombytes_buf(key.data(), kKeySize);
    std::unique_ptr<SecretValue, SecretValueUnref> value(secret_value_new(
        reinterpret_cast<const gchar*>(key.data()), gssize(kKeySize), "application/octet-stream"));
    GObjectPtr<SecretItem> item(secret_item_create_sync(
        collection.get(), keySchema(), keyAttributes().get(), "OrvikVPN: ключ защиты настроек",
        value.get(), SECRET_ITEM_CREATE_NONE, nullptr, &error));
    g_clear_error(&error);
    return item != nullptr;
}

bool sodiumReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

} // namespace

QByteArray protectSecret(const QByteArray& plaintext)
{
    if (!sodiumReady())
        return {};
    const GObjectPtr<SecretService> service = openService();
    if (!service)
        return {};
    KeyLookup lookup = lookUpKeys(service.get());
    if (!lookup.ok)
        return {};
    Key created;
    const Key* key = nullptr;
    if (!lookup.keys.empty()) {
        key = &lookup.keys.front();
    } else if (!lookup.anyItem && createKey(service.get(), created)) {
        // Only when no key exists at all: a locked one would be lost by replacing it.
        key = &created;
    }
    if (!key)
        return {};

    QByteArray blob(qsizetype(kHeaderSize + std::size_t(plaintext.size()) + kTagSize),
                    Qt::Uninitialized);
    auto* out = reinterpret_cast<unsigned char*>(blob.data());
    out[0] = secretkey::formatVersion;
    randombytes_buf(out + 1, kNonceSize);
    unsigned long long written = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(
        out + kHeaderSize, &written, reinterpret_cast<const unsigned char*>(plaintext.constData()),
        std::size_t(plaintext.size()), out, 1, nullptr, out + 1, key->data());
    if (written != std::size_t(plaintext.size()) + kTagSize)
        return {};
    return blob;
}

QByteArray unprotectSecret(const QByteArray& stored)
{
    if (std::size_t(stored.size()) < kHeaderSize + kTagSize ||
        static_cast<unsigned char>(stored.at(0)) != secretkey::formatVersion || !sodiumReady())
        return {};
    const GObjectPtr<SecretService> service = openService();
    if (!service)
        return {};
    const KeyLookup lookup = lookUpKeys(service.get());

    const auto* in = reinterpret_cast<const unsigned char*>(stored.constData());
    const std::size_t cipherSize = std::size_t(stored.size()) - kHeaderSize;
    QByteArray plaintext(qsizetype(cipherSize - kTagSize), Qt::Uninitialized);
    auto* out = reinterpret_cast<unsigned char*>(plaintext.data());
    for (const Key& key : lookup.keys) {
        unsigned long long length = 0;
        if (crypto_aead_xchacha20poly1305_ietf_decrypt(out, &length, nullptr, in + kHeaderSize,
                                                       cipherSize, in, 1, in + 1, key.data()) == 0)
            return plaintext;
    }
    sodium_memzero(out, std::size_t(plaintext.size()));
    return {};
}

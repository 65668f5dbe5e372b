#include "controller/secrets_win32.h"
#include "controller/settings_win32.h"
#include "tests/win/wintest.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> bytes(const std::string& text)
{
    return std::vector<unsigned char>(text.begin(), text.end());
}

// What the release hook saw of each output buffer before freeing it.
struct ReleasedBuffer
{
    bool seen = false;
    std::size_t size = 0;
    bool allZero = false;
};

ReleasedBuffer& lastReleased()
{
    static ReleasedBuffer released;
    return released;
}

void inspectingRelease(void* buffer, std::size_t size)
{
    ReleasedBuffer& released = lastReleased();
    released.seen = buffer != nullptr;
    released.size = size;
    const auto* data = static_cast<const unsigned char*>(buffer);
    released.allZero =
        buffer && std::all_of(data, data + size, [](unsigned char b) { return b == 0; });
    win32::releaseProtectedOutput(buffer, size);
}

const std::string kSecret = "https://example.net/sub/3f9a1c7e?token=secret-value";

} // namespace

WIN_TEST(secretsRoundTrip)
{
    const std::vector<unsigned char> plaintext = bytes(kSecret);
    std::vector<unsigned char> blob;
    WIN_CHECK(win32::protectData(plaintext.data(), plaintext.size(), blob));
    WIN_CHECK(!blob.empty());
    // The blob must not carry the plaintext in clear.
    WIN_CHECK(std::search(blob.begin(), blob.end(), plaintext.begin(), plaintext.end()) ==
              blob.end());

    std::vector<unsigned char> back;
    WIN_CHECK(win32::unprotectData(blob.data(), blob.size(), back));
    WIN_CHECK(back == plaintext);
}

WIN_TEST(secretsDamagedBlobIsRefused)
{
    const std::vector<unsigned char> plaintext = bytes(kSecret);
    std::vector<unsigned char> blob;
    WIN_CHECK(win32::protectData(plaintext.data(), plaintext.size(), blob));
    WIN_CHECK(blob.size() > 16);

    std::vector<unsigned char> damaged = blob;
    damaged[damaged.size() - 10] ^= 0x5a;
    std::vector<unsigned char> out = bytes("left over");
    WIN_CHECK(!win32::unprotectData(damaged.data(), damaged.size(), out));
    WIN_CHECK(out.empty());

    std::vector<unsigned char> truncated(blob.begin(), blob.begin() + blob.size() / 2);
    WIN_CHECK(!win32::unprotectData(truncated.data(), truncated.size(), out));
    WIN_CHECK(out.empty());

    const std::vector<unsigned char> garbage = bytes("not a protected value at all");
    WIN_CHECK(!win32::unprotectData(garbage.data(), garbage.size(), out));
    WIN_CHECK(out.empty());
}

WIN_TEST(secretsEmptyInput)
{
    // Nothing to unprotect is a failure, never an empty success that could pass for a value.
    std::vector<unsigned char> out = bytes("left over");
    WIN_CHECK(!win32::unprotectData(nullptr, 0, out));
    WIN_CHECK(out.empty());

    // An empty plaintext either cannot be protected or comes back empty: both read as not set.
    std::vector<unsigned char> blob = bytes("left over");
    if (win32::protectData(nullptr, 0, blob)) {
        WIN_CHECK(!blob.empty());
        std::vector<unsigned char> back = bytes("left over");
        WIN_CHECK(win32::unprotectData(blob.data(), blob.size(), back));
        WIN_CHECK(back.empty());
    } else {
        WIN_CHECK(blob.empty());
    }
}

WIN_TEST(secretsOutputBufferIsWipedBeforeRelease)
{
    const std::vector<unsigned char> plaintext = bytes(kSecret);
    std::vector<unsigned char> blob;
    lastReleased() = {};
    WIN_CHECK(win32::protectData(plaintext.data(), plaintext.size(), blob, inspectingRelease));
    WIN_CHECK(lastReleased().seen);
    WIN_CHECK(lastReleased().size == blob.size());
    WIN_CHECK(lastReleased().allZero);

    std::vector<unsigned char> back;
    lastReleased() = {};
    WIN_CHECK(win32::unprotectData(blob.data(), blob.size(), back, inspectingRelease));
    WIN_CHECK(back == plaintext);
    WIN_CHECK(lastReleased().seen);
    WIN_CHECK(lastReleased().size == plaintext.size());
    WIN_CHECK(lastReleased().allZero);
}

// The installer's key is looked for without being created.
WIN_TEST(installerKeyReadWithoutCreating)
{
    const wchar_t* key = L"Software\\OrvikVPN\\WinTestBootstrap";
    RegDeleteKeyW(HKEY_CURRENT_USER, key);
    WIN_CHECK(!win32::currentUserKeyExists(key));
    HKEY created = nullptr;
    WIN_CHECK(RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_WRITE, nullptr, &created,
                              nullptr) == ERROR_SUCCESS);
    RegCloseKey(created);
    WIN_CHECK(win32::currentUserKeyExists(key));
    RegDeleteKeyW(HKEY_CURRENT_USER, key);
}

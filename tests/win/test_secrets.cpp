#include "controller/secrets_win32.h"
#include "controller/settings_win32.h"
#include "tests/win/wintest.h"

#include <algorithm>

namespace {

std::vector<unsigned char> bytes(const std::string& text)
{
    return std::vector<unsigned char>(text.begin(), text.end());
}

// The size of the last output buffer the release hook saw wiped before freeing it; 0 when it
// saw none, or one with a byte left.
std::size_t wipedSize = 0;

void inspectingRelease(void* buffer, std::size_t size)
{
    const auto* data = static_cast<const unsigned char*>(buffer);
    const bool wiped = data && std::all_of(data, data + size, [](unsigned char b) { return !b; });
    wipedSize = wiped ? size : 0;
    win32::releaseProtectedOutput(buffer, size);
}

const std::string kSecret = "https://example.net/sub/3f9a1c7e?token=secret-value";

} // namespace

// A damaged or foreign blob, or nothing at all, is refused, never an empty success that could
// pass for a value; an empty plaintext either cannot be protected or comes back empty.
WIN_TEST(secretsDamagedBlobIsRefused)
{
    const std::vector<unsigned char> plaintext = bytes(kSecret);
    std::vector<unsigned char> blob;
    WIN_CHECK(win32::protectData(plaintext.data(), plaintext.size(), blob));
    std::vector<unsigned char> damaged = blob;
    damaged[damaged.size() - 10] ^= 0x5a;
    const std::vector<unsigned char> truncated(blob.begin(), blob.begin() + blob.size() / 2);
    for (const auto& refused :
         {damaged, truncated, bytes("not a protected value at all"), bytes("")}) {
        std::vector<unsigned char> out = bytes("left over");
        WIN_CHECK(!win32::unprotectData(refused.data(), refused.size(), out) && out.empty());
    }
    std::vector<unsigned char> back = bytes("left over");
    WIN_CHECK(win32::protectData(nullptr, 0, blob)
                  ? win32::unprotectData(blob.data(), blob.size(), back) && back.empty()
                  : blob.empty());
}

// A round trip, with neither output buffer released unwiped.
WIN_TEST(secretsRoundTripWipesOutputBuffers)
{
    const std::vector<unsigned char> plaintext = bytes(kSecret);
    std::vector<unsigned char> blob;
    wipedSize = 0;
    WIN_CHECK(win32::protectData(plaintext.data(), plaintext.size(), blob, inspectingRelease));
    WIN_CHECK(wipedSize == blob.size());

    std::vector<unsigned char> back;
    wipedSize = 0;
    WIN_CHECK(win32::unprotectData(blob.data(), blob.size(), back, inspectingRelease));
    WIN_CHECK(back == plaintext);
    WIN_CHECK(wipedSize == plaintext.size());

    // Handed on, the plaintext stays only in its destination.
    std::string destination(back.size(), '\0');
    win32::copyAndWipe(back, destination.data());
    WIN_CHECK(destination == kSecret &&
              std::count(back.begin(), back.end(), 0) == int(back.size()));
}

// The installer's key is looked for without being created.
WIN_TEST(installerKeyReadWithoutCreating)
{
    const wchar_t* key = L"Software\\OrvikVPN\\WinTestBootstrap";
    RegDeleteKeyW(HKEY_CURRENT_USER, key);
    WIN_CHECK(!win32::currentUserKeyExists(key));
    WIN_CHECK(RegSetKeyValueW(HKEY_CURRENT_USER, key, nullptr, REG_SZ, L"", 2) == ERROR_SUCCESS);
    WIN_CHECK(win32::currentUserKeyExists(key));
    RegDeleteKeyW(HKEY_CURRENT_USER, key);
}

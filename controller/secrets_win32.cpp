#include "controller/secrets_win32.h"

#include <windows.h>

#include <dpapi.h>

#include <cstring>
#include <limits>

namespace win32 {

namespace {

// Every protected value carries this description; it is not secret.
const wchar_t kDescription[] = L"OrvikVPN subscription";

void takeOutput(DATA_BLOB& output, std::vector<unsigned char>& out, ProtectedOutputRelease release)
{
    if (output.pbData && output.cbData > 0)
        out.assign(output.pbData, output.pbData + output.cbData);
    // The buffer held the plaintext or its protected form: nothing of it may linger.
    if (output.pbData)
        wipe(output.pbData, output.cbData);
    release(output.pbData, output.cbData);
    output.pbData = nullptr;
    output.cbData = 0;
}

bool inputBlob(const unsigned char* data, std::size_t size, DATA_BLOB& blob)
{
    // Parenthesised: windows.h may define max as a macro.
    if (size > (std::numeric_limits<DWORD>::max)())
        return false;
    // A zero-length blob still points somewhere: some implementations refuse a null pointer.
    static const unsigned char nothing = 0;
    blob.cbData = DWORD(size);
    blob.pbData = const_cast<BYTE*>(data && size > 0 ? data : &nothing);
    return true;
}

} // namespace

void releaseProtectedOutput(void* buffer, std::size_t size)
{
    (void)size;
    if (buffer)
        LocalFree(buffer);
}

void wipe(void* data, std::size_t size)
{
    if (data && size > 0)
        SecureZeroMemory(data, size);
}

void copyAndWipe(std::vector<unsigned char>& bytes, void* destination)
{
    if (bytes.empty())
        return;
    std::memcpy(destination, bytes.data(), bytes.size());
    wipe(bytes.data(), bytes.size());
}

bool protectData(const unsigned char* data, std::size_t size, std::vector<unsigned char>& out,
                 ProtectedOutputRelease release)
{
    out.clear();
    DATA_BLOB input{};
    if (!inputBlob(data, size, input))
        return false;
    DATA_BLOB output{};
    if (!CryptProtectData(&input, kDescription, nullptr, nullptr, nullptr,
                          CRYPTPROTECT_UI_FORBIDDEN, &output))
        return false;
    takeOutput(output, out, release);
    return true;
}

bool unprotectData(const unsigned char* data, std::size_t size, std::vector<unsigned char>& out,
                   ProtectedOutputRelease release)
{
    out.clear();
    DATA_BLOB input{};
    if (!inputBlob(data, size, input))
        return false;
    DATA_BLOB output{};
    if (!CryptUnprotectData(&input, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                            &output))
        return false;
    takeOutput(output, out, release);
    return true;
}

} // namespace win32

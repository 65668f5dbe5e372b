#include "session/runtimefolders_win32.h"

#include "config/filesecurity_win32.h"

#include <windows.h>

#include <aclapi.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <memory>
#include <vector>

namespace {

struct HandleCloser
{
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// One token information block (TOKEN_USER, TOKEN_OWNER), empty on failure.
std::vector<unsigned char> tokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind)
{
    DWORD size = 0;
    GetTokenInformation(token, kind, nullptr, 0, &size);
    if (size == 0)
        return {};
    std::vector<unsigned char> buffer(size);
    if (!GetTokenInformation(token, kind, buffer.data(), size, &size))
        return {};
    return buffer;
}

bool ownerIsThisUser(PSID owner)
{
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken))
        return false;
    const UniqueHandle token(rawToken);
    const std::vector<unsigned char> user = tokenInformation(rawToken, TokenUser);
    if (!user.empty() &&
        EqualSid(owner, reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid))
        return true;
    const std::vector<unsigned char> defaultOwner = tokenInformation(rawToken, TokenOwner);
    return !defaultOwner.empty() &&
           EqualSid(owner, reinterpret_cast<const TOKEN_OWNER*>(defaultOwner.data())->Owner);
}

} // namespace

bool isFolderOfCurrentUser(const wchar_t* path)
{
    // Opened as itself: a reparse point is not followed, and the checks below are made on the
    // object that was opened, not on whatever the name points to a moment later.
    const HANDLE rawHandle =
        CreateFileW(path, READ_CONTROL | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (rawHandle == INVALID_HANDLE_VALUE)
        return false;
    const UniqueHandle handle(rawHandle);

    BY_HANDLE_FILE_INFORMATION information = {};
    if (!GetFileInformationByHandle(rawHandle, &information))
        return false;
    if (!(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;

    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(rawHandle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    const bool own = owner != nullptr && ownerIsThisUser(owner);
    LocalFree(descriptor);
    return own;
}

std::wstring prepareRuntimeParent()
{
    // The known folder, not the environment variable, which the user could point elsewhere.
    PWSTR programData = nullptr;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &programData)))
        return {};
    std::wstring path = programData;
    CoTaskMemFree(programData);
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    for (const std::wstring& level :
         {std::wstring(L"OrvikVPN"), std::wstring(L"runtime"), std::to_wstring(session)}) {
        path += L'\\' + level;
        if (!win32::ensureAdministratorsOnlyFolder(path))
            return {};
    }
    return path;
}

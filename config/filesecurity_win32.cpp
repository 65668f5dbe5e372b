#include "config/filesecurity_win32.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <memory>

namespace win32 {

namespace {

struct HandleCloser
{
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

struct LocalFreer
{
    void operator()(void* memory) const { LocalFree(memory); }
};
using LocalMemory = std::unique_ptr<void, LocalFreer>;

// TrustedInstaller's service SID.
constexpr wchar_t kTrustedInstaller[] =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

bool isWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type)
{
    return sid && IsValidSid(sid) && IsWellKnownSid(sid, type);
}

bool isTrustedInstaller(PSID sid)
{
    PSID trusted = nullptr;
    if (!ConvertStringSidToSidW(kTrustedInstaller, &trusted))
        return false;
    const LocalMemory owner(trusted);
    return sid && IsValidSid(sid) && EqualSid(sid, trusted);
}

// Opens the object itself: a junction or symbolic link is not followed.
UniqueHandle openItself(const std::wstring& path, DWORD access)
{
    const HANDLE handle = CreateFileW(
        path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

bool isRealFolder(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION information = {};
    return GetFileInformationByHandle(handle, &information) &&
           (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Calls `accept(sid, mask)` for every allowing entry, skipping those only passed on to children
// unless `withInherited`; false as soon as one is refused, or for a missing DACL, which allows
// everyone everything.
template <typename Accept> bool everyAllowingEntry(PACL dacl, bool withInherited, Accept accept)
{
    if (!dacl)
        return false;
    for (DWORD index = 0; index < dacl->AceCount; ++index) {
        void* entry = nullptr;
        if (!GetAce(dacl, index, &entry))
            return false;
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        if ((header->AceFlags & INHERIT_ONLY_ACE) && !withInherited)
            continue;
        if (header->AceType == ACCESS_DENIED_ACE_TYPE)
            continue; // takes rights away, never adds them
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE)
            return false; // object and conditional entries are not ours to judge: refuse
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        if (!accept(PSID(const_cast<DWORD*>(&allowed->SidStart)), allowed->Mask))
            return false;
    }
    return true;
}

struct Security
{
    PSID owner = nullptr;
    PACL dacl = nullptr;
    bool protectedDacl = false;
};

bool readDescriptor(PSECURITY_DESCRIPTOR descriptor, Security& security)
{
    BOOL defaulted = FALSE;
    BOOL present = FALSE;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!descriptor || !GetSecurityDescriptorOwner(descriptor, &security.owner, &defaulted) ||
        !GetSecurityDescriptorDacl(descriptor, &present, &security.dacl, &defaulted) ||
        !GetSecurityDescriptorControl(descriptor, &control, &revision))
        return false;
    if (!present)
        security.dacl = nullptr;
    security.protectedDacl = (control & SE_DACL_PROTECTED) != 0;
    return true;
}

// The file's own owner and DACL; null when they cannot be read.
LocalMemory fileDescriptor(HANDLE handle)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!handle || GetSecurityInfo(handle, SE_FILE_OBJECT,
                                   OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                                   nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return nullptr;
    return LocalMemory(descriptor);
}

bool isAdministratorsOnly(HANDLE handle)
{
    return isAdministratorsOnlyDescriptor(fileDescriptor(handle).get());
}

} // namespace

bool isAdministratorsOnlyDescriptor(void* descriptor)
{
    Security security;
    if (!readDescriptor(descriptor, security) || !security.protectedDacl)
        return false;
    const auto adminOrSystem = [](PSID sid) {
        return isWellKnown(sid, WinBuiltinAdministratorsSid) || isWellKnown(sid, WinLocalSystemSid);
    };
    return adminOrSystem(security.owner) &&
           everyAllowingEntry(security.dacl, true,
                              [&](PSID sid, ACCESS_MASK) { return adminOrSystem(sid); });
}

bool onlyAdministratorsMayChangeDescriptor(void* descriptor)
{
    Security security;
    if (!readDescriptor(descriptor, security))
        return false;
    const auto trusted = [](PSID sid) {
        return isWellKnown(sid, WinBuiltinAdministratorsSid) ||
               isWellKnown(sid, WinLocalSystemSid) || isTrustedInstaller(sid);
    };
    // For a folder, writing data and appending mean adding files and folders (a planted DLL).
    constexpr ACCESS_MASK kChanges = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                     FILE_WRITE_ATTRIBUTES | FILE_DELETE_CHILD | DELETE |
                                     WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
    // The owner may always rewrite the DACL, so it has to be trusted as well.
    return trusted(security.owner) &&
           everyAllowingEntry(security.dacl, false, [&](PSID sid, ACCESS_MASK mask) {
               return (mask & kChanges) == 0 || trusted(sid) ||
                      isWellKnown(sid, WinCreatorOwnerRightsSid); // the owner, trusted above
           });
}

bool onlyAdministratorsMayChange(const std::wstring& path)
{
    return onlyAdministratorsMayChangeDescriptor(
        fileDescriptor(openItself(path, READ_CONTROL).get()).get());
}

bool installedCoresMayRun(const InstallPaths& install, bool elevated,
                          bool (*mayChange)(const std::wstring&))
{
    if (!elevated)
        return true;
    return mayChange(install.folder) && mayChange(install.singBox) &&
           (!install.withXray || mayChange(install.xray));
}

bool isAdministratorsOnlyFolder(const std::wstring& path)
{
    const UniqueHandle handle = openItself(path, READ_CONTROL);
    return handle && isRealFolder(handle.get()) && isAdministratorsOnly(handle.get());
}

bool ensureAdministratorsOnlyFolder(const std::wstring& path)
{
    PSECURITY_DESCRIPTOR rawDescriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
            kAdministratorsOnlySddl, SDDL_REVISION_1, &rawDescriptor, nullptr))
        return false;
    const LocalMemory descriptor(rawDescriptor);
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), rawDescriptor, FALSE};
    if (CreateDirectoryW(path.c_str(), &attributes))
        return isAdministratorsOnlyFolder(path);
    if (GetLastError() != ERROR_ALREADY_EXISTS)
        return false;

    UniqueHandle handle = openItself(path, READ_CONTROL | WRITE_DAC | WRITE_OWNER | DELETE);
    if (handle && isRealFolder(handle.get())) {
        if (isAdministratorsOnly(handle.get()))
            return true;
        // Someone else made it, or widened it: owner and DACL are replaced as a whole.
        PSID owner = nullptr;
        PACL dacl = nullptr;
        BOOL defaulted = FALSE;
        BOOL present = FALSE;
        GetSecurityDescriptorOwner(rawDescriptor, &owner, &defaulted);
        GetSecurityDescriptorDacl(rawDescriptor, &present, &dacl, &defaulted);
        if (SetSecurityInfo(handle.get(), SE_FILE_OBJECT,
                            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                PROTECTED_DACL_SECURITY_INFORMATION,
                            owner, nullptr, dacl, nullptr) != ERROR_SUCCESS)
            return false;
        return isAdministratorsOnly(handle.get());
    }
    // A file or a link under the name: removed as itself, then the folder is made afresh.
    handle.reset();
    if (!DeleteFileW(path.c_str()) && !RemoveDirectoryW(path.c_str()))
        return false;
    return CreateDirectoryW(path.c_str(), &attributes) && isAdministratorsOnlyFolder(path);
}

} // namespace win32

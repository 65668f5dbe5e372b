#include "config/filesecurity_win32.h"
#include "session/runtimefolders_win32.h"
#include "tests/win/wintest.h"

#include <sddl.h>

namespace {

std::wstring scratchPath(const wchar_t* name)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"orvik-wintest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           name;
}

bool makeFolder(const std::wstring& path, const wchar_t* sddl)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (sddl && !ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1,
                                                                      &descriptor, nullptr))
        return false;
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
    const bool made = CreateDirectoryW(path.c_str(), sddl ? &attributes : nullptr);
    LocalFree(descriptor);
    return made;
}

bool makeFile(const std::wstring& path)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    CloseHandle(file);
    return file != INVALID_HANDLE_VALUE;
}

} // namespace

WIN_TEST(runtimeFolderOfCurrentUserIsARealFolder)
{
    const std::wstring folder = scratchPath(L"folder");
    const std::wstring file = scratchPath(L"file");
    const std::wstring link = scratchPath(L"link");
    WIN_CHECK(makeFolder(folder, nullptr) && makeFile(file));
    WIN_CHECK(isFolderOfCurrentUser(folder.c_str()));
    WIN_CHECK(!isFolderOfCurrentUser(file.c_str()));
    if (CreateSymbolicLinkW(link.c_str(), folder.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY))
        WIN_CHECK(!isFolderOfCurrentUser(link.c_str()));
    else
        std::printf("    (no directory links here: the link case is not run)\n");
    RemoveDirectoryW(link.c_str());
    DeleteFileW(file.c_str());
    RemoveDirectoryW(folder.c_str());
}

// clang-format off
// Who may change a folder: the install check (only administrators may write) and the runtime
// parent's (only Administrators and SYSTEM have any entry, protected from inheritance).
const struct { const wchar_t* sddl; bool installSafe; bool runtimeSafe; } kDescriptors[] = {
    {win32::kAdministratorsOnlySddl, true, true},
    {L"O:SYD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", true, true},
    {L"O:BAD:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", true, false},                  // inherits more
    {L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)", true, false}, // Users read
    {L"O:BAD:P(A;OICI;FA;;;BA)(A;OICIIO;FA;;;BU)", true, false},               // children only
    {L"O:BAD:P(A;OICI;FA;;;BA)(D;;FA;;;BU)", true, true},                      // a deny adds nothing
    {L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)", true, false},
    {L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;BU)", false, false},          // Users modify
    {L"O:BAD:P(A;OICI;FA;;;BA)(A;;0x4;;;AU)", false, false},                   // add folders
    {L"O:BAD:P(A;OICI;FA;;;BA)(A;;DT;;;WD)", false, false},                    // delete
    {L"O:BUD:P(A;OICI;FA;;;BA)", false, false},                                // Users own it
    {L"O:BA", false, false},                                                   // no DACL at all
};
// clang-format on

WIN_TEST(descriptorsJudgedForInstallAndRuntime)
{
    for (int row = 0; row < std::ssize(kDescriptors); ++row) {
        const auto& [sddl, installSafe, runtimeSafe] = kDescriptors[row];
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                             nullptr);
        WIN_CHECK_ROW(row,
                      descriptor &&
                          win32::onlyAdministratorsMayChangeDescriptor(descriptor) == installSafe &&
                          win32::isAdministratorsOnlyDescriptor(descriptor) == runtimeSafe);
        LocalFree(descriptor);
    }
}

// clang-format off
// Whether the cores may run when others can change "f" (the folder), "s" (sing-box) or "x" (xray).
const struct { bool elevated; bool withXray; const wchar_t* unsafe; bool mayRun; } kInstalls[] = {
    {false, true, L"f", true},      // not elevated: nothing to give away
    {true, true, L"f", false},
    {true, true, L"s", false},
    {true, true, L"x", false},
    {true, false, L"x", true},      // an xray not run does not count
};
// clang-format on

WIN_TEST(elevatedClientRunsOnlyCoresOthersCannotChange)
{
    static const wchar_t* unsafe;
    for (int row = 0; row < std::ssize(kInstalls); ++row) {
        unsafe = kInstalls[row].unsafe;
        const bool mayRun = win32::installedCoresMayRun(
            {L"f", L"s", L"x", kInstalls[row].withXray}, kInstalls[row].elevated,
            [](const std::wstring& path) { return path != unsafe; });
        WIN_CHECK_ROW(row, mayRun == kInstalls[row].mayRun);
    }
}

// On the files themselves. Limited under wine, which keeps no DACL on files (it maps them to
// Unix modes): there it shows only that a wider folder is never reported safe and that a file
// in the way goes. On Windows both end Administrators-only.
WIN_TEST(widerRuntimeParentIsReplacedOrRefused)
{
    const std::wstring open = scratchPath(L"open");
    const std::wstring file = scratchPath(L"in-the-way");
    WIN_CHECK(makeFolder(open, L"D:P(A;OICI;FA;;;WD)") && makeFile(file));
    WIN_CHECK(!win32::isAdministratorsOnlyFolder(open));
    for (const std::wstring& path : {open, file}) {
        const bool made = win32::ensureAdministratorsOnlyFolder(path);
        WIN_CHECK(made == win32::isAdministratorsOnlyFolder(path));
        WIN_CHECK(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
        if (!made)
            std::printf("    (no file DACLs here: %ls stays refused)\n", path.c_str());
        RemoveDirectoryW(path.c_str());
    }
    const std::wstring parent = prepareRuntimeParent();
    WIN_CHECK(parent.empty() || win32::isAdministratorsOnlyFolder(parent));
}

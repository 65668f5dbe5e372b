#pragma once

#include <string>

// Qt-free checks and settings of who may change the client's files and folders. The client
// runs elevated: whatever it runs or hands to the cores must be out of reach of the user's
// ordinary, non-elevated programs.
namespace win32 {

// True when `path` (a file or folder, opened as itself, never through a link) may be changed
// only by Administrators, SYSTEM or TrustedInstaller: one of them owns it and no entry of its
// DACL lets anyone else write, append, delete, or change its permissions or owner.
bool onlyAdministratorsMayChange(const std::wstring& path);

// The client's folder and its cores, native paths; xray counts only `withXray`.
struct InstallPaths
{
    std::wstring folder;
    std::wstring singBox;
    std::wstring xray;
    bool withXray = false;
};

// Whether the cores may run from this install. Only an elevated client gives its rights away
// with a replaced core: it needs the folder and every core it runs to pass `mayChange`; a client
// started without elevation (tests from a build folder) runs its cores with the user's own.
bool installedCoresMayRun(const InstallPaths& install, bool elevated,
                          bool (*mayChange)(const std::wstring&) = onlyAdministratorsMayChange);

// Makes `path` a real folder that only Administrators and SYSTEM can open, with their access
// inherited by everything made inside: created with that explicit, protected DACL, or, when it
// exists with another owner or a wider DACL, given them. False when that cannot be achieved
// (a file or link in the way that cannot be removed, no right to change it).
bool ensureAdministratorsOnlyFolder(const std::wstring& path);

// Whether the folder already has exactly that owner and protected DACL.
bool isAdministratorsOnlyFolder(const std::wstring& path);

// The judgements above on a security descriptor (SECURITY_DESCRIPTOR), and the descriptor the
// client gives its folders, as SDDL.
bool onlyAdministratorsMayChangeDescriptor(void* descriptor);
bool isAdministratorsOnlyDescriptor(void* descriptor);
inline constexpr wchar_t kAdministratorsOnlySddl[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

} // namespace win32

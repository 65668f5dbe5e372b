#include "app/startup_win32.h"
#include "tests/win/wintest.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

const wchar_t kRelaunchMarker[] = L"ORVIK_WINTEST_RELAUNCH_MARKER";

std::wstring environmentValue(const wchar_t* name)
{
    wchar_t buffer[MAX_PATH * 2];
    const DWORD length = GetEnvironmentVariableW(name, buffer, DWORD(std::size(buffer)));
    if (length == 0 || length >= std::size(buffer))
        return {};
    return std::wstring(buffer, length);
}

std::wstring queryVersionString(const wchar_t* field)
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &handle);
    if (size == 0)
        return {};
    std::string data(size, '\0');
    if (!GetFileVersionInfoW(path, 0, size, data.data()))
        return {};
    const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + field;
    wchar_t* value = nullptr;
    UINT valueLength = 0;
    if (!VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &valueLength) ||
        !value)
        return {};
    return std::wstring(value);
}

std::wstring newMarkerPath()
{
    wchar_t folder[MAX_PATH];
    wchar_t marker[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"orv", 0, marker);
    DeleteFileW(marker);
    return marker;
}

// Waits up to 15 s for the child's one-line report.
std::string awaitMarker(const std::wstring& marker)
{
    std::string content;
    for (int i = 0; i < 300 && content.find('\n') == std::string::npos; ++i) {
        Sleep(50);
        if (FILE* file = _wfopen(marker.c_str(), L"r")) {
            char line[64] = {};
            if (std::fgets(line, sizeof(line), file))
                content = line;
            std::fclose(file);
        }
    }
    DeleteFileW(marker.c_str());
    return content;
}

} // namespace

// The relaunched copy inherits our environment; it reports its elevation and ends.
int runStartupChildMode()
{
    const std::wstring marker = environmentValue(kRelaunchMarker);
    if (marker.empty())
        return -1;
    FILE* file = _wfopen(marker.c_str(), L"w");
    if (!file)
        return 3;
    std::fprintf(file, "elevated=%d\n", win32::isProcessElevated() ? 1 : 0);
    std::fclose(file);
    return 0;
}

// The test program carries the client's manifest, which requires administrator rights.
WIN_TEST(elevationReportedForAdministratorManifest)
{
    WIN_CHECK(win32::isProcessElevated());
}

WIN_TEST(relaunchStartsAnElevatedCopyWithoutArguments)
{
    const std::wstring marker = newMarkerPath();
    SetEnvironmentVariableW(kRelaunchMarker, marker.c_str());
    const bool started = win32::relaunchElevated();
    SetEnvironmentVariableW(kRelaunchMarker, nullptr);
    WIN_CHECK(started);
    if (started)
        WIN_CHECK(awaitMarker(marker) == "elevated=1\n");
}

// A copy started with the limited half of our split token is what an ordinary start
// from Explorer looks like: it must not count as elevated.
WIN_TEST(limitedTokenIsNotElevated)
{
    HANDLE token = nullptr;
    WIN_CHECK(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, &token));
    TOKEN_LINKED_TOKEN linked{};
    DWORD returned = 0;
    const bool haveLinked =
        GetTokenInformation(token, TokenLinkedToken, &linked, sizeof(linked), &returned);
    CloseHandle(token);
    WIN_CHECK(haveLinked);
    if (!haveLinked)
        return;

    HANDLE primary = nullptr;
    WIN_CHECK(DuplicateTokenEx(linked.LinkedToken, MAXIMUM_ALLOWED, nullptr, SecurityImpersonation,
                               TokenPrimary, &primary));
    CloseHandle(linked.LinkedToken);

    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring marker = newMarkerPath();
    SetEnvironmentVariableW(kRelaunchMarker, marker.c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessAsUserW(primary, path, nullptr, nullptr, nullptr, FALSE, 0,
                                              nullptr, nullptr, &startup, &process);
    SetEnvironmentVariableW(kRelaunchMarker, nullptr);
    CloseHandle(primary);
    WIN_CHECK(started);
    if (!started)
        return;
    WIN_CHECK(awaitMarker(marker) == "elevated=0\n");
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

WIN_TEST(iconGroupHasEveryDeclaredSize)
{
    const HINSTANCE module = GetModuleHandleW(nullptr);
    for (const int side : {16, 20, 24, 32, 40, 48, 64, 128, 256}) {
        HICON icon = static_cast<HICON>(
            LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, side, side, LR_DEFAULTCOLOR));
        WIN_CHECK(icon != nullptr);
        if (!icon)
            continue;
        ICONINFO info{};
        WIN_CHECK(GetIconInfo(icon, &info));
        BITMAP bitmap{};
        GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
        WIN_CHECK(bitmap.bmWidth == side && bitmap.bmHeight == side);
        WIN_CHECK(bitmap.bmBitsPixel == 32);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

WIN_TEST(windowGetsLargeAndSmallIcons)
{
    HWND window = CreateWindowExW(0, L"STATIC", L"orvik", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    WIN_CHECK(window != nullptr);
    WIN_CHECK(SendMessageW(window, WM_GETICON, ICON_BIG, 0) == 0);
    win32::setWindowIcons(window);
    WIN_CHECK(SendMessageW(window, WM_GETICON, ICON_BIG, 0) != 0);
    WIN_CHECK(SendMessageW(window, WM_GETICON, ICON_SMALL, 0) != 0);
    DestroyWindow(window);
}

WIN_TEST(versionInformationDescribesTheClient)
{
    WIN_CHECK(queryVersionString(L"FileDescription") == L"OrvikVPN Windows Client");
    WIN_CHECK(queryVersionString(L"ProductName") == L"OrvikVPN");
    WIN_CHECK(queryVersionString(L"OriginalFilename") == L"OrvikVPN.exe");
    WIN_CHECK(queryVersionString(L"ProductVersion") == L"0.3.1");
}

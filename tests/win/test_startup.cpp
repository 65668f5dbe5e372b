#include "app/singleinstance_win32.h"
#include "app/startup_win32.h"
#include "tests/win/wintest.h"

namespace {

std::wstring queryVersionString(const wchar_t* field)
{
    static char data[16384];
    const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + field;
    wchar_t* value = nullptr;
    UINT length = 0;
    const bool found = GetFileVersionInfoW(modulePath().c_str(), 0, sizeof(data), data) &&
                       VerQueryValueW(data, key.c_str(), reinterpret_cast<void**>(&value), &length);
    return found && value ? std::wstring(value) : std::wstring();
}

} // namespace

// The test program carries the client's manifest, which requires administrator rights.
WIN_TEST(relaunchStartsAnElevatedCopyWithoutArguments)
{
    ChildSlot* slot = childSlot(true);
    if (!WIN_CHECK(slot))
        return;
    slot->task = ChildTask::ReportElevation;
    slot->report = -1;
    WIN_CHECK(win32::relaunchElevated());
    for (int i = 0; i < 300 && slot->report == -1; ++i)
        Sleep(50);
    WIN_CHECK(slot->report == 1);
}

// clang-format off
// Elevation at start-up: the steps taken, in order, and the outcome.
const struct { bool elevated; bool relaunches; const char* steps; win32::Elevation outcome; } kElevations[] = {
    {true, false, "elevated?", win32::Elevation::Continue},
    {false, true, "elevated? relaunch", win32::Elevation::Relaunched},
    {false, false, "elevated? relaunch told", win32::Elevation::Refused},
};
// clang-format on

WIN_TEST(unelevatedStartRelaunchesOrRefuses)
{
    static int row;
    static std::string steps;
    for (row = 0; row < std::ssize(kElevations); ++row) {
        steps.clear();
        const win32::Elevation outcome =
            win32::ensureElevated({[] { return steps += "elevated?", kElevations[row].elevated; },
                                   [] { return steps += " relaunch", kElevations[row].relaunches; },
                                   [] { steps += " told"; }});
        WIN_CHECK_ROW(row, outcome == kElevations[row].outcome && steps == kElevations[row].steps);
    }
}

// The limited half of our split token is what an ordinary start from Explorer runs with. Windows
// hands it to an elevated process for identification only, enough to query but not to start a
// program with; without a split token (UAC off) there is nothing to check.
WIN_TEST(limitedTokenIsNotElevated)
{
    HANDLE token = nullptr;
    TOKEN_LINKED_TOKEN linked{};
    DWORD returned = 0;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    if (GetTokenInformation(token, TokenLinkedToken, &linked, sizeof(linked), &returned)) {
        WIN_CHECK(!win32::isTokenElevated(linked.LinkedToken));
        CloseHandle(linked.LinkedToken);
    } else {
        std::printf("    (no split token: the limited case is not run)\n");
    }
    CloseHandle(token);
}

// Message boxes get the themed controls: the manifest's dependency loads version 6 from the
// side-by-side store (wine's copy there reports 5.81 from DllGetVersion, so the path is checked).
WIN_TEST(manifestSelectsCommonControlsSix)
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(LoadLibraryW(L"comctl32.dll"), path, MAX_PATH);
    const std::wstring lower = CharLowerW(path);
    WIN_CHECK(lower.find(L"\\winsxs\\") != std::wstring::npos &&
              lower.find(L"common-controls_6595b64144ccf1df_6.") != std::wstring::npos);
}

WIN_TEST(iconGroupHasEveryDeclaredSize)
{
    const HINSTANCE module = GetModuleHandleW(nullptr);
    for (const int side : {16, 20, 24, 32, 40, 48, 64, 128, 256}) {
        HICON icon = static_cast<HICON>(
            LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, side, side, LR_DEFAULTCOLOR));
        ICONINFO info{};
        BITMAP bitmap{};
        WIN_CHECK(icon && GetIconInfo(icon, &info) &&
                  GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap));
        WIN_CHECK(bitmap.bmWidth == side && bitmap.bmHeight == side && bitmap.bmBitsPixel == 32);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

WIN_TEST(windowGetsLargeAndSmallIcons)
{
    HWND window = CreateWindowExW(0, L"STATIC", L"orvik", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
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

// The channel's name carries the session, and only the first claim of the session's mutex holds.
WIN_TEST(instanceChannelIsPerSessionAndClaimedOnce)
{
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    WIN_CHECK(win32::instanceChannelName() ==
              L"OrvikVPN.Client.instance." + std::to_wstring(session));
    WIN_CHECK(win32::holdInstanceMutex());
    WIN_CHECK(!win32::holdInstanceMutex());
}

// A client end of a pipe served by this process: its server is this user's, in this session.
WIN_TEST(instanceServerOfThisUserIsRecognised)
{
    const std::wstring name = L"\\\\.\\pipe\\OrvikVPN.wintest." + std::to_wstring(GetTickCount());
    const HANDLE server =
        CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 64, 64, 0, nullptr);
    const HANDLE client = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    WIN_CHECK(server != INVALID_HANDLE_VALUE && client != INVALID_HANDLE_VALUE);
    WIN_CHECK(win32::acceptInstanceServer(client));
    WIN_CHECK(!win32::acceptInstanceServer(nullptr) &&
              !win32::acceptInstanceServer(GetCurrentThread()));
    CloseHandle(client);
    CloseHandle(server);
}

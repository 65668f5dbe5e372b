#include "app/startup_win32.h"

// windows.h first: the shell headers need its types.
#include <windows.h>

#include <shellapi.h>
#include <shobjidl.h>

#include <string>

namespace win32 {

namespace {

std::wstring currentExecutablePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2); // truncated: long paths need a bigger buffer
    }
}

} // namespace

void setAppUserModelId()
{
    SetCurrentProcessExplicitAppUserModelID(L"OrvikVPN.Client");
}

bool isProcessElevated()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    const bool elevated = isTokenElevated(token);
    CloseHandle(token);
    return elevated;
}

bool isTokenElevated(void* token)
{
    TOKEN_ELEVATION elevation{};
    DWORD returned = 0;
    return GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &returned) &&
           elevation.TokenIsElevated != 0;
}

bool relaunchElevated()
{
    const std::wstring path = currentExecutablePath();
    if (path.empty())
        return false;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = 0;
    info.hwnd = nullptr;
    info.lpVerb = L"runas";
    info.lpFile = path.c_str();
    info.lpParameters = nullptr;
    info.lpDirectory = nullptr;
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&info) != FALSE;
}

void showElevationError()
{
    MessageBoxW(nullptr, L"Для полного VPN нужен доступ администратора Windows.", L"OrvikVPN",
                MB_OK | MB_ICONERROR);
}

Elevation ensureElevated(const ElevationSteps& steps)
{
    if (steps.isElevated())
        return Elevation::Continue;
    // The switches of this run are deliberately not passed on to the elevated copy.
    if (steps.relaunch())
        return Elevation::Relaunched;
    steps.tellRefused();
    return Elevation::Refused;
}

void setWindowIcons(void* hwnd)
{
    if (!hwnd)
        return;
    const HINSTANCE module = GetModuleHandleW(nullptr);
    const auto load = [module](int width, int height) {
        return static_cast<HICON>(
            LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, width, height, LR_DEFAULTCOLOR));
    };
    if (HICON bigIcon = load(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)))
        SendMessageW(static_cast<HWND>(hwnd), WM_SETICON, ICON_BIG,
                     reinterpret_cast<LPARAM>(bigIcon));
    if (HICON smallIcon = load(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON)))
        SendMessageW(static_cast<HWND>(hwnd), WM_SETICON, ICON_SMALL,
                     reinterpret_cast<LPARAM>(smallIcon));
}

} // namespace win32

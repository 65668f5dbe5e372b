#include "routing/processicon_win32.h"
#include "routing/processlist_win32.h"
#include "tests/win/wintest.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <string>

namespace {

std::wstring modulePath()
{
    wchar_t path[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameW(nullptr, path, DWORD(std::size(path)));
    return std::wstring(path, length);
}

std::wstring fileNameOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

int opaquePixels(const std::vector<std::uint8_t>& pixels)
{
    int count = 0;
    for (size_t i = 3; i < pixels.size(); i += 4)
        count += pixels[i] != 0;
    return count;
}

} // namespace

WIN_TEST(snapshotListsThisProgramWithItsPath)
{
    std::vector<win32::ProcessInfo> processes;
    WIN_CHECK(win32::listProcesses(processes));
    WIN_CHECK(processes.size() > 1);
    const auto self = std::find_if(processes.begin(), processes.end(), [](const auto& process) {
        return process.pid == GetCurrentProcessId();
    });
    WIN_CHECK(self != processes.end());
    if (self == processes.end())
        return;
    const std::wstring path = modulePath();
    WIN_CHECK(_wcsicmp(self->name.c_str(), fileNameOf(path).c_str()) == 0);
    WIN_CHECK(_wcsicmp(self->path.c_str(), path.c_str()) == 0);
}

WIN_TEST(iconOfThisProgramFillsTheRequestedSquare)
{
    for (const int side : {32, 26, 48}) {
        std::vector<std::uint8_t> pixels;
        WIN_CHECK(win32::renderFileIcon(modulePath(), side, pixels));
        WIN_CHECK(pixels.size() == size_t(side) * size_t(side) * 4);
        // The program carries the client's icon: a good part of the square is painted.
        WIN_CHECK(opaquePixels(pixels) > side * side / 4);
    }
}

WIN_TEST(missingFileHasNoIcon)
{
    std::vector<std::uint8_t> pixels;
    WIN_CHECK(!win32::renderFileIcon(L"Z:\\nonexistent\\folder\\nothing-here.exe", 32, pixels));
    WIN_CHECK(pixels.empty());
}

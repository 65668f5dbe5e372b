#include "routing/processicon_win32.h"
#include "routing/processlist_win32.h"
#include "tests/win/wintest.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <thread>

namespace {

std::wstring modulePath()
{
    wchar_t path[MAX_PATH] = {};
    return std::wstring(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
}

// An icon of `side` whose left half is red and whose right half shows nothing: drawn with 24-bit
// colour and the transparency in the mask, or with 32-bit colour carrying half alpha.
HICON halfIcon(int side, int bits)
{
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), side, -side, 1, WORD(bits), BI_RGB, 0, 0, 0, 0, 0};
    void* pixels = nullptr;
    const HBITMAP colour = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    const int stride = ((side * bits / 8) + 3) & ~3;
    std::vector<std::uint8_t> maskBits(size_t(side) * 2, 0);
    for (int y = 0; y < side; ++y) {
        auto* row = static_cast<std::uint8_t*>(pixels) + y * stride;
        for (int x = 0; x < side / 2; ++x) {
            row[x * bits / 8 + 2] = 255; // red; icons keep colour and alpha apart
            if (bits == 32)
                row[x * 4 + 3] = 128;
        }
        maskBits[size_t(y) * 2 + (side / 2) / 8] = bits == 32 ? 0 : 0xff; // right half: 1 = clear
    }
    ICONINFO icon = {TRUE, 0, 0, CreateBitmap(side, side, 1, 1, maskBits.data()), colour};
    const HICON handle = CreateIconIndirect(&icon);
    DeleteObject(icon.hbmMask);
    DeleteObject(colour);
    return handle;
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
    WIN_CHECK(_wcsicmp(self->name.c_str(), path.substr(path.find_last_of(L'\\') + 1).c_str()) == 0);
    WIN_CHECK(_wcsicmp(self->path.c_str(), path.c_str()) == 0);
}

// A 24-bit icon gets its alpha from the mask; a 32-bit icon keeps its own.
WIN_TEST(iconAlphaComesFromAlphaOrMask)
{
    for (const int bits : {24, 32}) {
        const HICON icon = halfIcon(16, bits);
        std::vector<std::uint8_t> pixels;
        WIN_CHECK(win32::renderIcon(icon, 16, pixels) && pixels.size() == 16 * 16 * 4);
        DestroyIcon(icon);
        if (pixels.size() != 16 * 16 * 4)
            continue;
        const std::uint8_t* left = &pixels[(8 * 16 + 2) * 4];
        const std::uint8_t* right = &pixels[(8 * 16 + 13) * 4];
        const std::uint8_t alpha = bits == 32 ? 128 : 255;
        WIN_CHECK(left[0] == 0 && left[1] == 0 && left[2] == alpha && left[3] == alpha);
        WIN_CHECK(right[0] == 0 && right[2] == 0 && right[3] == 0);
    }
}

// On an icon thread of its own, as the image loader's: COM stays joined after the icons.
WIN_TEST(iconOfThisProgramFillsTheRequestedSquare)
{
    std::thread([] {
        for (const int side : {32, 26, 48}) {
            std::vector<std::uint8_t> pixels;
            WIN_CHECK(win32::renderFileIcon(modulePath(), side, pixels));
            WIN_CHECK(pixels.size() == size_t(side) * size_t(side) * 4);
            // The program carries the client's icon: a good part of the square is painted.
            int opaque = 0;
            for (size_t i = 3; i < pixels.size(); i += 4)
                opaque += pixels[i] != 0;
            WIN_CHECK(opaque > side * side / 4);
        }
        WIN_CHECK(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED) == S_FALSE);
        CoUninitialize();
    }).join();
}

// A program without icons of its own, and a file that does not exist, have none: the shell
// would answer both with its generic program icon (wine even for the missing file).
WIN_TEST(programWithoutIconHasNone)
{
    std::vector<std::uint8_t> pixels;
    std::wstring noIcon = modulePath();
    noIcon.replace(noIcon.find_last_of(L'\\') + 1, std::wstring::npos, L"noicon.exe");
    WIN_CHECK(GetFileAttributesW(noIcon.c_str()) != INVALID_FILE_ATTRIBUTES);
    WIN_CHECK(!win32::renderFileIcon(noIcon, 32, pixels));
    WIN_CHECK(!win32::renderFileIcon(L"Z:\\nonexistent\\folder\\nothing-here.exe", 32, pixels));
    WIN_CHECK(pixels.empty());
}

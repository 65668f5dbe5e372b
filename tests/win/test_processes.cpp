#include "routing/processicon_win32.h"
#include "routing/processlist_win32.h"
#include "tests/win/wintest.h"

#include <algorithm>
#include <thread>

namespace {

// A 16-pixel icon whose left half is red and whose right half shows nothing: with the
// transparency in its mask (alpha 0 throughout) or in its alpha (half on the left).
HICON halfIcon(std::uint8_t alpha)
{
    std::vector<std::uint8_t> colour(16 * 16 * 4, 0), mask(16 * 2, 0);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 8; ++x)
            colour[(y * 16 + x) * 4 + 2] = 255, colour[(y * 16 + x) * 4 + 3] = alpha;
        mask[y * 2 + 1] = alpha ? 0 : 0xff; // right half: 1 = clear
    }
    return CreateIcon(nullptr, 16, 16, 1, 32, mask.data(), colour.data());
}

} // namespace

WIN_TEST(snapshotListsThisProgramWithItsPath)
{
    std::vector<win32::ProcessInfo> processes;
    WIN_CHECK(win32::listProcesses(processes) && processes.size() > 1);
    const auto self = std::find_if(processes.begin(), processes.end(), [](const auto& process) {
        return process.pid == GetCurrentProcessId();
    });
    if (!WIN_CHECK(self != processes.end()))
        return;
    const std::wstring path = modulePath();
    WIN_CHECK(_wcsicmp(self->name.c_str(), path.substr(path.find_last_of(L'\\') + 1).c_str()) == 0);
    WIN_CHECK(_wcsicmp(self->path.c_str(), path.c_str()) == 0);
}

// An icon without alpha gets it from the mask; one with alpha keeps its own.
WIN_TEST(iconAlphaComesFromAlphaOrMask)
{
    for (const std::uint8_t alpha : {0, 128}) {
        const HICON icon = halfIcon(alpha);
        std::vector<std::uint8_t> pixels;
        const bool drawn = win32::renderIcon(icon, 16, pixels);
        DestroyIcon(icon);
        if (!WIN_CHECK(drawn && pixels.size() == 16 * 16 * 4))
            continue;
        const std::uint8_t* left = &pixels[(8 * 16 + 2) * 4];
        const std::uint8_t* right = &pixels[(8 * 16 + 13) * 4];
        const std::uint8_t shown = alpha ? alpha : 255;
        WIN_CHECK(left[0] == 0 && left[1] == 0 && left[2] == shown && left[3] == shown);
        WIN_CHECK(right[0] == 0 && right[2] == 0 && right[3] == 0);
    }
}

// Into an image whose rows are padded: each row in its place, the padding cleared.
WIN_TEST(iconPixelsFillPaddedRows)
{
    std::vector<std::uint8_t> image(2 * 12, 0xee);
    win32::copyPixelRows({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, 2, image.data(),
                         12);
    WIN_CHECK(image == std::vector<std::uint8_t>({1, 2,  3,  4,  5,  6,  7,  8,  0, 0, 0, 0,
                                                  9, 10, 11, 12, 13, 14, 15, 16, 0, 0, 0, 0}));
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
    WIN_CHECK(!win32::renderFileIcon(noIcon, 32, pixels));
    WIN_CHECK(!win32::renderFileIcon(L"Z:\\nonexistent\\folder\\nothing-here.exe", 32, pixels));
    WIN_CHECK(pixels.empty());
}

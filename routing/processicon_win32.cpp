#include "routing/processicon_win32.h"

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>

namespace win32 {

namespace {

// The shell wants COM on the calling thread, which may be the image loader's own: joined once
// per thread and left when the thread ends, not around every icon.
struct ThreadCom
{
    HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ~ThreadCom()
    {
        if (SUCCEEDED(result))
            CoUninitialize();
    }
};

// Draws with `flags` into a zeroed 32-bit top-down DIB; empty on failure.
std::vector<std::uint8_t> draw(HICON icon, int side, UINT flags)
{
    std::vector<std::uint8_t> pixels;
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO bitmapInfo = {};
    bitmapInfo.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bitmapInfo.bmiHeader.biWidth = side;
    bitmapInfo.bmiHeader.biHeight = -side; // top down
    bitmapInfo.bmiHeader.biPlanes = 1;
    bitmapInfo.bmiHeader.biBitCount = 32;
    bitmapInfo.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HBITMAP bitmap =
        memory ? CreateDIBSection(memory, &bitmapInfo, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    if (bitmap && bits) {
        const HGDIOBJ previous = SelectObject(memory, bitmap);
        const size_t bytes = size_t(side) * size_t(side) * 4;
        std::memset(bits, 0, bytes);
        if (DrawIconEx(memory, 0, 0, icon, side, side, 0, nullptr, flags)) {
            GdiFlush();
            const auto* first = static_cast<const std::uint8_t*>(bits);
            pixels.assign(first, first + bytes);
        }
        SelectObject(memory, previous);
    }
    if (bitmap)
        DeleteObject(bitmap);
    if (memory)
        DeleteDC(memory);
    if (screen)
        ReleaseDC(nullptr, screen);
    return pixels;
}

} // namespace

bool renderIcon(void* icon, int side, std::vector<std::uint8_t>& pixels)
{
    if (!icon || side < 1)
        return false;
    std::vector<std::uint8_t> drawn = draw(static_cast<HICON>(icon), side, DI_NORMAL);
    if (drawn.empty())
        return false;
    bool hasAlpha = false;
    for (size_t i = 3; i < drawn.size() && !hasAlpha; i += 4)
        hasAlpha = drawn[i] != 0;
    if (!hasAlpha) {
        // No alpha was written: the mask says what is transparent (white) and what is not.
        const std::vector<std::uint8_t> mask = draw(static_cast<HICON>(icon), side, DI_MASK);
        if (mask.size() != drawn.size())
            return false;
        for (size_t i = 0; i < drawn.size(); i += 4) {
            const bool transparent = mask[i] != 0;
            drawn[i + 3] = transparent ? 0 : 255;
            if (transparent) // premultiplied: no colour where nothing shows
                std::fill_n(drawn.begin() + std::ptrdiff_t(i), 3, std::uint8_t(0));
        }
    }
    pixels = std::move(drawn);
    return true;
}

void copyPixelRows(const std::vector<std::uint8_t>& pixels, int side, std::uint8_t* destination,
                   std::size_t stride)
{
    const size_t rowBytes = size_t(side) * 4;
    for (size_t y = 0; y < size_t(side); ++y) {
        std::uint8_t* row = destination + y * stride;
        std::memcpy(row, pixels.data() + y * rowBytes, rowBytes);
        std::memset(row + rowBytes, 0, stride - rowBytes);
    }
}

bool renderFileIcon(const std::wstring& path, int side, std::vector<std::uint8_t>& pixels)
{
    if (side < 1)
        return false;
    thread_local ThreadCom com;
    // The shell answers a program without icons with its generic one: such a program gets none.
    if (ExtractIconExW(path.c_str(), -1, nullptr, nullptr, 0) == 0)
        return false;
    SHFILEINFOW info = {};
    if (!SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_ICON) || !info.hIcon)
        return false;
    const bool drawn = renderIcon(info.hIcon, side, pixels);
    DestroyIcon(info.hIcon);
    return drawn;
}

} // namespace win32

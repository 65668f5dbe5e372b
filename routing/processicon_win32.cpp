#include "routing/processicon_win32.h"

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include <cstring>

namespace win32 {

bool renderFileIcon(const std::wstring& path, int side, std::vector<std::uint8_t>& pixels)
{
    if (side < 1)
        return false;

    // The shell wants COM on the calling thread, which may be the image loader's own.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    SHFILEINFOW info = {};
    const DWORD_PTR found = SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_ICON);
    if (SUCCEEDED(com))
        CoUninitialize();
    if (!found || !info.hIcon)
        return false;

    bool drawn = false;
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
        if (DrawIconEx(memory, 0, 0, info.hIcon, side, side, 0, nullptr, DI_NORMAL)) {
            GdiFlush();
            const auto* first = static_cast<const std::uint8_t*>(bits);
            pixels.assign(first, first + bytes);
            drawn = true;
        }
        SelectObject(memory, previous);
    }
    if (bitmap)
        DeleteObject(bitmap);
    if (memory)
        DeleteDC(memory);
    if (screen)
        ReleaseDC(nullptr, screen);
    DestroyIcon(info.hIcon);
    return drawn;
}

} // namespace win32

#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace win32 {

// The large icon of the program at path, drawn into a side × side square: side * side pixels
// of premultiplied blue, green, red, alpha, rows top down. False when the file carries no
// icon of its own (the shell would offer its generic program icon) or cannot be read.
bool renderFileIcon(const std::wstring& path, int side, std::vector<std::uint8_t>& pixels);

// Draws an icon handle the same way. An icon without alpha (a colour bitmap and a mask) gets
// its alpha from the mask.
bool renderIcon(void* icon, int side, std::vector<std::uint8_t>& pixels);

// Copies such pixels into an image of the same side whose rows are `stride` bytes apart (the
// same pixel format: QImage's premultiplied ARGB32); whatever pads a row is cleared.
void copyPixelRows(const std::vector<std::uint8_t>& pixels, int side, std::uint8_t* destination,
                   std::size_t stride);

} // namespace win32

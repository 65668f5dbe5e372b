#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace win32 {

// The shell's large icon of the file at path, drawn into a side × side square: side * side
// pixels of premultiplied blue, green, red, alpha, rows top down. False when the shell has
// no icon for the file.
bool renderFileIcon(const std::wstring& path, int side, std::vector<std::uint8_t>& pixels);

} // namespace win32

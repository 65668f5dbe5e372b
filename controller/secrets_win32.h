#pragma once

#include <cstddef>
#include <vector>

// The data-protection calls behind protectSecret/unprotectSecret, free of Qt so they can be
// tested on their own.
namespace win32 {

// Receives the output buffer of a data-protection call after it was wiped; must release it
// with LocalFree. The default does only that; tests pass one that looks at it first.
using ProtectedOutputRelease = void (*)(void* buffer, std::size_t size);

void releaseProtectedOutput(void* buffer, std::size_t size);

// Both return false on any failure and leave `out` empty. On success `out` holds a copy of
// the output, and the system's buffer has been overwritten with zeros before release.
bool protectData(const unsigned char* data, std::size_t size, std::vector<unsigned char>& out,
                 ProtectedOutputRelease release = releaseProtectedOutput);
bool unprotectData(const unsigned char* data, std::size_t size, std::vector<unsigned char>& out,
                   ProtectedOutputRelease release = releaseProtectedOutput);

// Overwrites memory in a way the compiler may not drop.
void wipe(void* data, std::size_t size);

// Copies `bytes` to `destination` (room for bytes.size()) and wipes them, so that the output
// of the calls above lives on only where the caller keeps it.
void copyAndWipe(std::vector<unsigned char>& bytes, void* destination);

} // namespace win32

#pragma once

#include <string>
#include <vector>

// Win32 side of the process list and the program icons, free of Qt so it can be tested
// on its own under wine.
namespace win32 {

struct ProcessInfo
{
    std::wstring name; // executable file name from the snapshot
    unsigned long pid = 0;
    std::wstring path; // full image path; empty when the process cannot be queried
};

// Every process of a Tool Help snapshot; false (and nothing) when no snapshot can be taken.
bool listProcesses(std::vector<ProcessInfo>& processes);

} // namespace win32

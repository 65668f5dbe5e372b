#pragma once

// A very small test runner for the Qt-free Win32 helpers, built with MinGW and run
// under wine by tools/windows-check.sh.

#include <windows.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

inline std::vector<std::pair<const char*, void (*)()>> winTests; // name and run, in link order
inline int winTestFailures = 0;

// A failed check names its line and, in a table, its row (counted from 0); returns `passed`.
inline bool winCheck(bool passed, const char* condition, const char* file, int line, int row = -1)
{
    if (!passed && ++winTestFailures)
        std::printf("    FAILED %s:%d%s: %s\n", file, line,
                    row < 0 ? "" : (" row " + std::to_string(row)).c_str(), condition);
    return passed;
}

inline std::wstring modulePath()
{
    wchar_t path[MAX_PATH] = {};
    return std::wstring(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
}

// A case that starts this program again tells the copy what to do, and takes its report, in a
// named slot: an elevated relaunch gets neither our arguments nor our environment.
enum class ChildTask : LONG { None, ReportElevation, Sleep };
struct ChildSlot
{
    volatile ChildTask task;
    volatile LONG report;
};

// The slot, made by a case (create) or found by a copy; nullptr when there is none.
inline ChildSlot* childSlot(bool create)
{
    const wchar_t* name = L"Local\\OrvikVPN.wintest.child";
    const HANDLE slot = create ? CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                                    0, sizeof(ChildSlot), name)
                               : OpenFileMappingW(FILE_MAP_WRITE, FALSE, name);
    return slot ? static_cast<ChildSlot*>(MapViewOfFile(slot, FILE_MAP_WRITE, 0, 0, 0)) : nullptr;
}

#define WIN_TEST(name)                                                                             \
    static void name();                                                                            \
    static const bool name##Registered = (winTests.push_back({#name, name}), true);                \
    static void name()
#define WIN_CHECK(condition) winCheck(bool(condition), #condition, __FILE__, __LINE__)
#define WIN_CHECK_ROW(row, condition) winCheck(bool(condition), #condition, __FILE__, __LINE__, row)

#pragma once

// A very small test runner for the Qt-free Win32 helpers, built with MinGW and run
// under wine by tools/windows-check.sh.

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

#define WIN_TEST(name)                                                                             \
    static void name();                                                                            \
    static const bool name##Registered = (winTests.push_back({#name, name}), true);               \
    static void name()
#define WIN_CHECK(condition) winCheck(bool(condition), #condition, __FILE__, __LINE__)
#define WIN_CHECK_ROW(row, condition) winCheck(bool(condition), #condition, __FILE__, __LINE__, row)

#pragma once

// A very small test runner for the Qt-free Win32 helpers, built with MinGW and run
// under wine by tools/windows-check.sh.

#include <cstdio>
#include <vector>

struct WinTestCase
{
    const char* name;
    void (*run)();
};

inline std::vector<WinTestCase>& winTestRegistry()
{
    static std::vector<WinTestCase> registry;
    return registry;
}

inline int& winTestFailures()
{
    static int failures = 0;
    return failures;
}

struct WinTestRegistrar
{
    WinTestRegistrar(const char* name, void (*run)()) { winTestRegistry().push_back({name, run}); }
};

#define WIN_TEST(name)                                                                             \
    static void name();                                                                            \
    static const WinTestRegistrar name##Registrar(#name, name);                                    \
    static void name()

#define WIN_CHECK(condition)                                                                       \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::printf("    FAILED %s:%d: %s\n", __FILE__, __LINE__, #condition);                 \
            ++winTestFailures();                                                                   \
        }                                                                                          \
    } while (false)

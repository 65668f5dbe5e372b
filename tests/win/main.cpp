#include "tests/win/wintest.h"

#include <windows.h>

#include <cstdlib>
#include <string>

std::vector<WinTestCase>& winTestRegistry()
{
    static std::vector<WinTestCase> registry;
    return registry;
}

int& winTestFailures()
{
    static int failures = 0;
    return failures;
}

// Child modes: some cases start this program again and let the copy report back.
int runChildMode();

int main()
{
    if (const int childResult = runChildMode(); childResult >= 0)
        return childResult;

    int failedCases = 0;
    for (const WinTestCase& test : winTestRegistry()) {
        const int before = winTestFailures();
        test.run();
        const bool passed = winTestFailures() == before;
        std::printf("%s %s\n", passed ? "PASS" : "FAIL", test.name);
        if (!passed)
            ++failedCases;
    }
    std::printf("%d of %d cases failed\n", failedCases, int(winTestRegistry().size()));
    std::fflush(stdout);
    return failedCases == 0 ? 0 : 1;
}

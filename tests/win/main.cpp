#include "tests/win/wintest.h"

// Child modes: some cases start this program again and let the copy report back.
int runStartupChildMode();
int runCoreJobChildMode();

int main()
{
    for (int (*childMode)() : {runStartupChildMode, runCoreJobChildMode})
        if (const int childResult = childMode(); childResult >= 0)
            return childResult;

    int failedCases = 0;
    for (const WinTestCase& test : winTestRegistry()) {
        const int before = winTestFailures();
        test.run();
        const bool passed = winTestFailures() == before;
        std::printf("%s %s\n", passed ? "PASS" : "FAIL", test.name);
        failedCases += passed ? 0 : 1;
    }
    std::printf("%d of %d cases failed\n", failedCases, int(winTestRegistry().size()));
    return failedCases == 0 ? 0 : 1;
}

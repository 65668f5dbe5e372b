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
    for (const auto& [name, run] : winTests) {
        const int before = winTestFailures;
        run();
        failedCases += winTestFailures == before ? 0 : 1;
        std::printf("%s %s\n", winTestFailures == before ? "PASS" : "FAIL", name);
    }
    std::printf("%d of %d cases failed\n", failedCases, int(winTests.size()));
    return failedCases == 0 ? 0 : 1;
}

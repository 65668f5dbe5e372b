#include "app/startup_win32.h"
#include "tests/win/wintest.h"

int main()
{
    // A copy started by a case: it reports its elevation, or lives until it is killed.
    if (ChildSlot* slot = childSlot(false)) {
        if (slot->task == ChildTask::ReportElevation)
            slot->report = win32::isProcessElevated() ? 1 : 0;
        else
            Sleep(60000);
        return 0;
    }

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

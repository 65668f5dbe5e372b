#include "session/corejob_win32.h"
#include "tests/win/wintest.h"

#include <windows.h>

namespace {

const wchar_t kSleeperMarker[] = L"ORVIK_WINTEST_SLEEPING_CHILD";

// Starts this program again as a sleeping child.
PROCESS_INFORMATION startSleeper()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    SetEnvironmentVariableW(kSleeperMarker, L"1");
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(path, nullptr, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process))
        process = PROCESS_INFORMATION{};
    SetEnvironmentVariableW(kSleeperMarker, nullptr);
    return process;
}

void endSleeper(PROCESS_INFORMATION& process)
{
    if (!process.hProcess)
        return;
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

} // namespace

// The sleeping child: lives for a minute unless something kills it.
int runCoreJobChildMode()
{
    wchar_t value[8];
    if (GetEnvironmentVariableW(kSleeperMarker, value, 8) == 0)
        return -1;
    Sleep(60000);
    return 0;
}

// Closing the job kills the child assigned to it and leaves one outside it alone.
WIN_TEST(jobKillsAssignedChildWhenItsHandleCloses)
{
    void* job = win32::createKillOnCloseJob();
    PROCESS_INFORMATION inside = startSleeper();
    PROCESS_INFORMATION outside = startSleeper();
    WIN_CHECK(job && inside.hProcess && outside.hProcess);
    if (job && inside.hProcess && outside.hProcess) {
        WIN_CHECK(win32::assignProcessToJob(job, inside.dwProcessId));
        WIN_CHECK(WaitForSingleObject(inside.hProcess, 300) == WAIT_TIMEOUT);
        win32::closeJob(job);
        WIN_CHECK(WaitForSingleObject(inside.hProcess, 5000) == WAIT_OBJECT_0);
        WIN_CHECK(WaitForSingleObject(outside.hProcess, 500) == WAIT_TIMEOUT);
    }
    endSleeper(inside);
    endSleeper(outside);
}

WIN_TEST(assigningWithoutJobOrProcessFails)
{
    void* job = win32::createKillOnCloseJob();
    WIN_CHECK(!win32::assignProcessToJob(nullptr, GetCurrentProcessId()));
    WIN_CHECK(!win32::assignProcessToJob(job, 0));
    win32::closeJob(job);
    win32::closeJob(nullptr);
}

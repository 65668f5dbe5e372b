#include "session/corejob_win32.h"
#include "session/coreoutput_win32.h"
#include "tests/win/wintest.h"

#include <climits>

WIN_TEST(jobKillsAssignedChildWhenItsHandleCloses)
{
    ChildSlot* slot = childSlot(true);
    if (!WIN_CHECK(slot))
        return;
    slot->task = ChildTask::Sleep;
    void* job = win32::createKillOnCloseJob();
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child{};
    CreateProcessW(modulePath().c_str(), nullptr, nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                   nullptr, nullptr, &startup, &child);
    if (WIN_CHECK(job && child.hProcess)) {
        WIN_CHECK(win32::assignProcessToJob(job, child.dwProcessId));
        WIN_CHECK(WaitForSingleObject(child.hProcess, 300) == WAIT_TIMEOUT);
        win32::closeJob(job);
        WIN_CHECK(WaitForSingleObject(child.hProcess, 5000) == WAIT_OBJECT_0);
    }
    TerminateProcess(child.hProcess, 1);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
}

WIN_TEST(assigningWithoutJobOrProcessFails)
{
    void* job = win32::createKillOnCloseJob();
    WIN_CHECK(!win32::assignProcessToJob(nullptr, GetCurrentProcessId()));
    WIN_CHECK(!win32::assignProcessToJob(job, 0));
    win32::closeJob(job);
    win32::closeJob(nullptr);
    // The flags Qt asks for (its environment block is Unicode) stay.
    WIN_CHECK(win32::withoutWindow(CREATE_UNICODE_ENVIRONMENT) ==
              (CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW));
}

// What each read of core output passes on ("|" between reads) with the budget's room then.
constexpr long long kLast = LLONG_MIN; // the read after the core ended
// clang-format off
const struct { std::vector<std::pair<const char*, long long>> reads; const char* passed; } kOutputCuts[] = {
    {{{"ab\n", 3}, {"cd", 10}}, "ab\n|cd"},                           // within the budget, all of it
    {{{"ab\ncd\nef", 7}, {"gh\nij", 10}}, "ab\ncd\n|ij"},           // whole lines only; the rest of the cut one goes
    {{{"abc\nd", 3}, {"e\nf", 10}}, "|f"},                           // a line break just beyond the room does not fit
    {{{"ab\ncd", 0}, {"e", 10}, {"f\ng", 10}}, "||g"},               // dropping lasts until a line break comes
    {{{"ab", 1}, {"c\nd", 10}, {"e", 10}}, "|d|e"},                   // and ends there
    {{{"ab", 1}, {"c\nde\nf", 3}}, "|de\n"},                         // what follows it is in the budget again
    {{{"ab", -5}, {"c\nd", 10}}, "|d"},                               // an overspent budget takes nothing
    {{{"ab", 1}, {"c\nd", kLast}}, "|d"},                             // the last read drops the rest of a cut line
    {{{"ab", 1}, {"cd", kLast}}, "|"},                                 // even when no line break follows
    {{{"ab\n", 3}, {"cdefghij\nk", kLast}}, "ab\n|cdefghij\nk"},      // and otherwise takes all, beyond any budget
    {{{"ab\ncd\n", 3}, {"ef\ng", 10}}, "ab\n|ef\ng"},                 // a drop that ends at a line break ends there
};
// clang-format on

WIN_TEST(outputBeyondTheBudgetIsDroppedToTheLineEnd)
{
    for (int row = 0; row < std::ssize(kOutputCuts); ++row) {
        win32::OutputCutter cutter;
        std::string passed;
        for (const auto& [chunk, room] : kOutputCuts[row].reads)
            passed.append(room == kLast ? cutter.takeLast(chunk) : cutter.take(chunk, room)) += '|';
        WIN_CHECK_ROW(row, passed == kOutputCuts[row].passed + std::string("|"));
    }
}

#include "routing/processlist_win32.h"

#include <windows.h>

#include <tlhelp32.h>

#include <cwchar>
#include <iterator>

namespace win32 {

bool listProcesses(std::vector<ProcessInfo>& processes)
{
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;

    // Long paths (\\?\ prefixed) can exceed MAX_PATH by far.
    std::vector<wchar_t> buffer(32768);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        ProcessInfo info;
        info.name.assign(entry.szExeFile, wcsnlen(entry.szExeFile, std::size(entry.szExeFile)));
        info.pid = entry.th32ProcessID;
        if (const HANDLE process =
                OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID)) {
            DWORD length = DWORD(buffer.size());
            if (QueryFullProcessImageNameW(process, 0, buffer.data(), &length))
                info.path.assign(buffer.data(), length);
            CloseHandle(process);
        }
        processes.push_back(std::move(info));
    }
    CloseHandle(snapshot);
    return true;
}

} // namespace win32

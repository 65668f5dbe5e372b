#include "app/singleinstance_win32.h"
#include "tests/win/wintest.h"

#include <windows.h>

#include <string>

// The channel's name carries the session, and only the first claim of the session's mutex holds.
WIN_TEST(instanceChannelIsPerSessionAndClaimedOnce)
{
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    WIN_CHECK(win32::instanceChannelName() ==
              L"OrvikVPN.Client.instance." + std::to_wstring(session));
    WIN_CHECK(win32::holdInstanceMutex());
    WIN_CHECK(!win32::holdInstanceMutex());
}

// A client end of a pipe served by this process: its server is this user's, in this session.
WIN_TEST(instanceServerOfThisUserIsRecognised)
{
    const std::wstring name = L"\\\\.\\pipe\\OrvikVPN.wintest." + std::to_wstring(GetTickCount());
    const HANDLE server =
        CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 64, 64, 0, nullptr);
    const HANDLE client = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    WIN_CHECK(server != INVALID_HANDLE_VALUE && client != INVALID_HANDLE_VALUE);
    WIN_CHECK(win32::isOwnInstanceServer(client));
    CloseHandle(client);
    CloseHandle(server);
}

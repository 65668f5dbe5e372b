#include "app/singleinstance_win32.h"

#include <windows.h>

#include <memory>
#include <vector>

namespace win32 {

namespace {

struct HandleCloser
{
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

unsigned long currentSession()
{
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    return session;
}

// The token user of a process, as a copied SID; empty when it cannot be read.
std::vector<unsigned char> processUser(HANDLE process)
{
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &rawToken))
        return {};
    const UniqueHandle token(rawToken);
    DWORD size = 0;
    GetTokenInformation(rawToken, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    if (size == 0 || !GetTokenInformation(rawToken, TokenUser, buffer.data(), size, &size))
        return {};
    const PSID sid = reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid;
    const auto* first = static_cast<const unsigned char*>(sid);
    return std::vector<unsigned char>(first, first + GetLengthSid(sid));
}

bool serverProcess(void* pipe, ULONG& pid)
{
    ULONG session = 0;
    return pipe && GetNamedPipeServerProcessId(static_cast<HANDLE>(pipe), &pid) && pid != 0 &&
           GetNamedPipeServerSessionId(static_cast<HANDLE>(pipe), &session) &&
           session == currentSession();
}

bool isOwnInstanceServer(void* pipe)
{
    ULONG pid = 0;
    if (!serverProcess(pipe, pid))
        return false;
    const UniqueHandle server(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!server)
        return false;
    const std::vector<unsigned char> theirs = processUser(server.get());
    const std::vector<unsigned char> ours = processUser(GetCurrentProcess());
    return !ours.empty() && theirs == ours;
}

bool allowServerToComeForward(void* pipe)
{
    ULONG pid = 0;
    return serverProcess(pipe, pid) && AllowSetForegroundWindow(pid);
}

} // namespace

std::wstring instanceChannelName()
{
    return L"OrvikVPN.Client.instance." + std::to_wstring(currentSession());
}

bool holdInstanceMutex()
{
    // In the global namespace so a start in another session cannot create it there first
    // without administrator rights; the session in the name keeps sessions apart.
    const std::wstring name = L"Global\\" + instanceChannelName();
    const HANDLE mutex = CreateMutexW(nullptr, TRUE, name.c_str());
    if (!mutex)
        return false;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return false;
    }
    return true; // held until the process ends
}

bool acceptInstanceServer(void* pipe)
{
    if (!isOwnInstanceServer(pipe))
        return false;
    allowServerToComeForward(pipe);
    return true;
}

} // namespace win32

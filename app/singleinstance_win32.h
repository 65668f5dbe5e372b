#pragma once

#include <string>

// Win32 parts of the single-instance channel, free of Qt so they can be tested on their own.
namespace win32 {

// "OrvikVPN.Client.instance." followed by this process's Windows session: each session, and so
// each logged-on user, has a channel of its own.
std::wstring instanceChannelName();

// Creates and keeps the named mutex of this session's channel for the rest of the process
// (the handle is never closed). False when another process of the session already holds it.
bool holdInstanceMutex();

// On the client end of the channel's pipe: true when the server process runs in this session
// as this user (the pipe namespace is shared by every session). Only then is it allowed to
// bring its window forward, which a starting program may do and a program in the tray may not.
bool acceptInstanceServer(void* pipe);

} // namespace win32

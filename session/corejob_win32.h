#pragma once

// Win32 part of the cores' job object, free of Qt so it can be tested on its own.
namespace win32 {

// An unnamed job object that kills every process in it when its last handle closes;
// null when it cannot be created. A failure to set the limit keeps the job.
void* createKillOnCloseJob();

// Opens the process by id and puts it into the job; false on any failure.
bool assignProcessToJob(void* job, unsigned long processId);

// Closes the job handle (null is allowed); the job's processes die with the last handle.
void closeJob(void* job);

// Process creation flags with the one added that keeps a console program's window hidden.
unsigned long withoutWindow(unsigned long creationFlags);

} // namespace win32

#include "routing/processlist.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

// Processes from /proc. The name is the executable's file name, which is also what the
// routing core matches on; a process whose executable cannot be read (another user's
// program, a kernel thread) is listed under its short command name with an empty path.

namespace {

bool isPid(const char* text)
{
    if (!*text)
        return false;
    for (; *text; ++text) {
        if (*text < '0' || *text > '9')
            return false;
    }
    return true;
}

// The target of /proc/PID/exe, or an empty string when it cannot be read.
std::string executablePath(int procFd, const std::string& pid)
{
    const std::string link = pid + "/exe";
    std::string buffer(4096, '\0');
    for (;;) {
        const ssize_t length = readlinkat(procFd, link.c_str(), buffer.data(), buffer.size());
        if (length <= 0)
            return {};
        if (size_t(length) < buffer.size()) {
            buffer.resize(size_t(length));
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    // A program whose file was replaced or removed while it runs (an upgrade) reads as
    // "/path (deleted)": it is still that program, so it keeps its name and path.
    static const std::string deleted = " (deleted)";
    if (buffer.size() > deleted.size() &&
        buffer.compare(buffer.size() - deleted.size(), deleted.size(), deleted) == 0) {
        struct stat info;
        if (stat(buffer.c_str(), &info) != 0)
            buffer.resize(buffer.size() - deleted.size());
    }
    return buffer;
}

// The kernel's short name of the process (at most 15 bytes), as ps and top show it.
std::string commandName(int procFd, const std::string& pid)
{
    const int fd = openat(procFd, (pid + "/comm").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    char buffer[64];
    const ssize_t length = read(fd, buffer, sizeof(buffer));
    close(fd);
    if (length <= 0)
        return {};
    std::string name(buffer, size_t(length));
    while (!name.empty() && name.back() == '\n')
        name.pop_back();
    return name;
}

} // namespace

QList<ProcessRecord> runningProcesses()
{
    QList<ProcessRecord> records;
    DIR* proc = opendir("/proc");
    if (!proc)
        return records;
    const int procFd = dirfd(proc);
    while (const dirent* entry = readdir(proc)) {
        if (!isPid(entry->d_name))
            continue;
        const std::string pid = entry->d_name;
        ProcessRecord record;
        record.pid = std::strtoull(pid.c_str(), nullptr, 10);
        const std::string path = executablePath(procFd, pid);
        if (!path.empty()) {
            record.path = QFile::decodeName(QByteArray::fromStdString(path));
            record.name = record.path.mid(record.path.lastIndexOf(QLatin1Char('/')) + 1);
        } else {
            record.name = QFile::decodeName(QByteArray::fromStdString(commandName(procFd, pid)));
        }
        // Neither readable: the process has ended since the folder was read.
        if (record.name.isEmpty())
            continue;
        records.append(record);
    }
    closedir(proc);
    return records;
}

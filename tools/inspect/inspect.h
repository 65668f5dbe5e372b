#pragma once

#include <QStringList>
#include <QTextStream>

// orvik-inspect: shows support staff and users what the client makes of their input.
// Each command registers itself with ORVIK_INSPECT_COMMAND in its own source file.
namespace inspect {

// Exit codes shared by every command.
inline constexpr int kOk = 0;
inline constexpr int kRefused = 1; // the input was understood and refused (a bad profile, ...)
inline constexpr int kUsage = 2;   // bad command line

struct Command
{
    const char* name;
    const char* usage;
    int (*run)(const QStringList& arguments, QTextStream& out, QTextStream& err);
};

void registerCommand(const Command& command);

struct Registrar
{
    explicit Registrar(const Command& command) { registerCommand(command); }
};

} // namespace inspect

#define ORVIK_INSPECT_COMMAND(identifier, name, usage, function)                                   \
    static const inspect::Registrar identifier##Registrar({name, usage, function})

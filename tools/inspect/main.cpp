#include "tools/inspect/inspect.h"

#include <QCoreApplication>

#include <cstdio>
#include <vector>

namespace inspect {

namespace {

std::vector<Command>& commands()
{
    static std::vector<Command> list;
    return list;
}

void printUsage(QTextStream& err)
{
    err << "usage: orvik-inspect COMMAND [ARGUMENTS]\n\ncommands:\n";
    for (const Command& command : commands())
        err << "  " << command.usage << '\n';
}

} // namespace

void registerCommand(const Command& command)
{
    commands().push_back(command);
}

} // namespace inspect

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("OrvikVPN"));
    QCoreApplication::setOrganizationName(QStringLiteral("OrvikVPN"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVIK_VERSION));

    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty()) {
        inspect::printUsage(err);
        return inspect::kUsage;
    }
    const QString name = arguments.takeFirst();
    for (const inspect::Command& command : inspect::commands()) {
        if (name == QLatin1String(command.name))
            return command.run(arguments, out, err);
    }
    err << "orvik-inspect: unknown command \"" << name << "\"\n";
    inspect::printUsage(err);
    return inspect::kUsage;
}

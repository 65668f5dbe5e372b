#include "session/redaction.h"
#include "tools/inspect/documentrequest.h"
#include "tools/inspect/inspect.h"

#include <QFile>

#include <cstdio>

namespace {

int runRedact(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    if (arguments.size() != 1 || arguments.first().startsWith(QLatin1String("--")))
        return inspect::usageError("redact", QStringLiteral("give exactly one profile URI"), err);
    ServerProfile profile;
    if (const int code = inspect::parseProfileArgument("redact", arguments.first(), profile, err);
        code != inspect::kOk)
        return code;
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly)) {
        err << "orvik-inspect redact: cannot read standard input\n";
        return inspect::kUsage;
    }
    out << redactCoreText(QString::fromUtf8(input.readAll()), profile);
    return inspect::kOk;
}

} // namespace

ORVIK_INSPECT_COMMAND(redact, "redact",
                      "redact URI              standard input as the client would pass it on "
                      "in a failure text:\n"
                      "                          the profile's secrets, colour codes and "
                      "subscription links hidden,\n"
                      "                          only the last 3000 characters kept",
                      runRedact);

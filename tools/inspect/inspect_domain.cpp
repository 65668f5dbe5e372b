#include "routing/bypassdomain.h"
#include "tools/inspect/inspect.h"

namespace {

// What the client would store for a site typed into the bypass list, or why it refuses it.
int runDomain(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    if (arguments.size() != 1) {
        err << "usage: orvik-inspect domain INPUT\n";
        return inspect::kUsage;
    }
    QString error;
    const QString domain = normalizeBypassDomain(arguments.first(), &error);
    if (domain.isEmpty()) {
        out << error << '\n';
        return inspect::kRefused;
    }
    out << domain << '\n';
    return inspect::kOk;
}

} // namespace

ORVIK_INSPECT_COMMAND(domain, "domain",
                      "domain INPUT     the site bypass domain made of INPUT, or why it is refused",
                      runDomain);

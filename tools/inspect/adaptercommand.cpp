#include "config/adapter.h"
#include "tools/inspect/inspect.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

int runAdapter(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    if (!arguments.isEmpty()) {
        err << "orvik-inspect adapter: takes no arguments\n";
        return inspect::kUsage;
    }
    const PhysicalAdapter adapter = selectPhysicalAdapter();
    const QJsonObject object{
        {QStringLiteral("interfaceName"), adapter.interfaceName},
        {QStringLiteral("ipv4Address"), adapter.ipv4Address},
        {QStringLiteral("gateway"), adapter.gateway},
    };
    out << QJsonDocument(object).toJson(QJsonDocument::Indented);
    if (!adapter.isUsable()) {
        err << "orvik-inspect adapter: no Wi-Fi or Ethernet adapter that is up with an IPv4 "
               "address and a default gateway; the client would not connect\n";
        return inspect::kRefused;
    }
    return inspect::kOk;
}

} // namespace

ORVIK_INSPECT_COMMAND(adapter, "adapter",
                      "adapter                 the physical adapter the client would bind to on "
                      "this machine, as JSON\n"
                      "                          (exit code 1 when none qualifies)",
                      runAdapter);

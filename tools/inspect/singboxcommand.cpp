#include "config/cores.h"
#include "config/singboxconfig.h"
#include "tools/inspect/documentrequest.h"
#include "tools/inspect/inspect.h"

#include <QJsonDocument>

namespace {

int runSingBox(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    inspect::DocumentRequest request;
    if (const int code = inspect::parseDocumentRequest("singbox", arguments, request, err);
        code != inspect::kOk)
        return code;
    const QJsonObject document =
        buildSingBoxConfig(request.profile, request.serverAddress, request.adapter,
                           request.checkPort, request.xrayPort, request.tunMode,
                           request.bypassDomains, request.appProcesses, request.includeMode);
    out << QJsonDocument(document).toJson(QJsonDocument::Indented);
    return inspect::kOk;
}

const QByteArray singBoxUsage =
    QByteArrayLiteral("singbox URI [OPTIONS]   the \"sing-box.json\" the client would write\n"
                      "                          (for sing-box ") +
    kSingBoxMinimumVersion + QByteArrayLiteral(" or newer)\n") + inspect::documentOptionsUsage();

} // namespace

ORVIK_INSPECT_COMMAND(singbox, "singbox", singBoxUsage.constData(), runSingBox);

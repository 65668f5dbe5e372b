#include "config/cores.h"
#include "config/xrayconfig.h"
#include "tools/inspect/documentrequest.h"
#include "tools/inspect/inspect.h"

#include <QJsonDocument>

namespace {

int runXray(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    inspect::DocumentRequest request;
    if (const int code = inspect::parseDocumentRequest("xray", arguments, request, err);
        code != inspect::kOk)
        return code;
    if (request.profile.kind == ProfileKind::Hysteria2) {
        err << "orvik-inspect xray: a Hysteria2 profile has no Xray document: sing-box "
               "connects to the server itself (see the singbox command)\n";
        return inspect::kRefused;
    }
    const QJsonObject document =
        buildXrayConfig(request.profile, request.serverAddress, request.adapter, request.xrayPort);
    out << QJsonDocument(document).toJson(QJsonDocument::Indented);
    return inspect::kOk;
}

const QByteArray xrayUsage =
    QByteArrayLiteral("xray URI [OPTIONS]      the \"xray.json\" the client would write, "
                      "VLESS and Trojan only\n"
                      "                          (for Xray ") +
    kXrayMinimumVersion + QByteArrayLiteral(" or newer)");

} // namespace

ORVIK_INSPECT_COMMAND(xray, "xray", xrayUsage.constData(), runXray);

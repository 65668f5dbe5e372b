#pragma once

#include "config/adapter.h"
#include "profiles/serverprofile.h"

#include <QByteArray>
#include <QStringList>
#include <QTextStream>

// What the singbox and xray commands share: the profile and the builders' other inputs.
namespace inspect {

// Fixed defaults, so two people running the same command see the same document.
inline constexpr quint16 kDefaultCheckPort = 10808;
inline constexpr quint16 kDefaultXrayPort = 10809;
inline constexpr char kDefaultAdapter[] = "Ethernet,192.168.1.2,192.168.1.1";

// The options' usage lines, with the defaults above.
QByteArray documentOptionsUsage();

struct DocumentRequest
{
    ServerProfile profile;
    QString serverAddress;
    PhysicalAdapter adapter;
    quint16 checkPort = kDefaultCheckPort;
    quint16 xrayPort = kDefaultXrayPort;
    bool tunMode = false;
    QStringList bypassDomains;
    QStringList appProcesses;
    bool includeMode = false;
};

// Parses "URI [OPTIONS]". Returns kOk, or writes one message to err and returns kUsage or
// kRefused (the profile was refused).
int parseDocumentRequest(const char* command, const QStringList& arguments,
                         DocumentRequest& request, QTextStream& err);

// Parses one profile URI the way the client does; on refusal writes the client's reason.
int parseProfileArgument(const char* command, const QString& uri, ServerProfile& profile,
                         QTextStream& err);

// Writes "orvik-inspect COMMAND: MESSAGE" and returns kUsage.
int usageError(const char* command, const QString& message, QTextStream& err);

} // namespace inspect

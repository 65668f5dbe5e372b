#include "tools/inspect/documentrequest.h"

#include "config/adapter.h"
#include "profiles/profileuri.h"
#include "tools/inspect/inspect.h"

#include <QHostAddress>

namespace inspect {

namespace {

// A dotted IPv4 address in its one canonical spelling.
bool isIpv4Text(const QString& text)
{
    const QHostAddress address(text);
    return address.protocol() == QAbstractSocket::IPv4Protocol && address.toString() == text;
}

bool parsePort(const QString& text, quint16& port)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 1 || value > 65535)
        return false;
    port = quint16(value);
    return true;
}

QStringList listValue(const QString& text)
{
    QStringList items;
    for (const QString& item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (const QString trimmed = item.trimmed(); !trimmed.isEmpty())
            items.append(trimmed);
    }
    return items;
}

// NAME,IPV4,GATEWAY; the name may itself hold commas, the two addresses cannot.
bool parseAdapter(const QString& text, PhysicalAdapter& adapter)
{
    if (text == QLatin1String("system")) {
        adapter = selectPhysicalAdapter();
        return true;
    }
    QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() < 3)
        return false;
    const QString gateway = parts.takeLast();
    const QString address = parts.takeLast();
    if ((!address.isEmpty() && !isIpv4Text(address)) ||
        (!gateway.isEmpty() && !isIpv4Text(gateway)))
        return false;
    adapter = {parts.join(QLatin1Char(',')), address, gateway};
    return true;
}

} // namespace

QByteArray documentOptionsUsage()
{
    return QStringLiteral(
               "    options of singbox and xray (xray reads only --server-address, --xray-port "
               "and --adapter):\n"
               "      --server-address IPV4   the server's resolved address; without it the "
               "URI's host is\n"
               "                              used when it is an IPv4 address, a host name "
               "needs it\n"
               "      --check-port N          the \"check-in\" SOCKS port (default %1)\n"
               "      --xray-port N           Xray's local SOCKS port (default %2)\n"
               "      --adapter NAME,IPV4,GATEWAY\n"
               "                              the physical adapter, any field may be empty\n"
               "                              (default \"%3\");\n"
               "                              \"system\": this machine's, as the adapter "
               "command shows it\n"
               "      --tun                   a connection with the TUN adapter (default: a "
               "latency check)\n"
               "      --bypass a,b            site bypass domains, exactly as the client "
               "passes them\n"
               "      --apps a,b              executable names of the selected applications\n"
               "      --include               only the selected applications use the tunnel\n"
               "                              (default: they bypass it)")
        .arg(kDefaultCheckPort)
        .arg(kDefaultXrayPort)
        .arg(QLatin1String(kDefaultAdapter))
        .toUtf8();
}

int usageError(const char* command, const QString& message, QTextStream& err)
{
    err << "orvik-inspect " << command << ": " << message
        << "\n(run orvik-inspect without arguments for the usage)\n";
    return kUsage;
}

int parseProfileArgument(const char* command, const QString& uri, ServerProfile& profile,
                         QTextStream& err)
{
    QString error;
    if (!parseProfileUri(uri, profile, &error)) {
        err << "orvik-inspect " << command << ": the client refuses this profile: " << error
            << '\n';
        return kRefused;
    }
    return kOk;
}

int parseDocumentRequest(const char* command, const QStringList& arguments,
                         DocumentRequest& request, QTextStream& err)
{
    QString uri;
    QString serverAddress;
    bool adapterGiven = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString option = arguments.at(i);
        if (!option.startsWith(QLatin1String("--"))) {
            if (!uri.isEmpty())
                return usageError(command, QStringLiteral("give exactly one profile URI"), err);
            uri = option;
            continue;
        }
        QString value;
        bool hasValue = false;
        if (const qsizetype equals = option.indexOf(QLatin1Char('=')); equals > 0) {
            value = option.mid(equals + 1);
            option.truncate(equals);
            hasValue = true;
        }
        const bool isFlag =
            option == QLatin1String("--tun") || option == QLatin1String("--include");
        if (isFlag) {
            if (hasValue)
                return usageError(command, option + QStringLiteral(" takes no value"), err);
            (option == QLatin1String("--tun") ? request.tunMode : request.includeMode) = true;
            continue;
        }
        const bool known = option == QLatin1String("--server-address") ||
                           option == QLatin1String("--check-port") ||
                           option == QLatin1String("--xray-port") ||
                           option == QLatin1String("--adapter") ||
                           option == QLatin1String("--bypass") || option == QLatin1String("--apps");
        if (!known)
            return usageError(command, QStringLiteral("unknown option ") + option, err);
        if (!hasValue) {
            if (i + 1 >= arguments.size())
                return usageError(command, option + QStringLiteral(" needs a value"), err);
            value = arguments.at(++i);
        }

        if (option == QLatin1String("--server-address")) {
            if (!isIpv4Text(value)) {
                return usageError(
                    command,
                    QStringLiteral("--server-address must be an IPv4 address, not \"") + value +
                        QLatin1Char('"'),
                    err);
            }
            serverAddress = value;
        } else if (option == QLatin1String("--check-port")) {
            if (!parsePort(value, request.checkPort))
                return usageError(command, QStringLiteral("--check-port must be 1..65535"), err);
        } else if (option == QLatin1String("--xray-port")) {
            if (!parsePort(value, request.xrayPort))
                return usageError(command, QStringLiteral("--xray-port must be 1..65535"), err);
        } else if (option == QLatin1String("--adapter")) {
            if (!parseAdapter(value, request.adapter)) {
                return usageError(command,
                                  QStringLiteral("--adapter takes NAME,IPV4,GATEWAY or \"system\""),
                                  err);
            }
            adapterGiven = true;
        } else if (option == QLatin1String("--bypass")) {
            request.bypassDomains = listValue(value);
        } else {
            request.appProcesses = listValue(value);
        }
    }
    if (uri.isEmpty())
        return usageError(command, QStringLiteral("a profile URI is missing"), err);
    if (!adapterGiven)
        parseAdapter(QString::fromLatin1(kDefaultAdapter), request.adapter);

    if (const int code = parseProfileArgument(command, uri, request.profile, err); code != kOk)
        return code;

    if (serverAddress.isEmpty()) {
        // The client resolves host names itself; a tool that did so would print a document
        // that depends on where and when it runs.
        if (!isIpv4Text(request.profile.host)) {
            return usageError(command,
                              QStringLiteral("the server \"") + request.profile.host +
                                  QStringLiteral("\" is not an IPv4 address: give the address "
                                                 "it resolves to with --server-address"),
                              err);
        }
        serverAddress = request.profile.host;
    }
    request.serverAddress = serverAddress;
    return kOk;
}

} // namespace inspect

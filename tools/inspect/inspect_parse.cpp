// orvik-inspect parse [FILE]: what the client makes of a subscription body, line by line.
#include "tools/inspect/inspect.h"

#include "profiles/profileuri.h"
#include "profiles/subscriptionbody.h"

#include <QFile>

namespace {

// JSON string literal. Written by hand so that the members come out in a fixed, readable
// order (the profile's fields in their declaration order), one object per line.
QString jsonString(const QString& text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"':
            out += QLatin1String("\\\"");
            break;
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}

QString member(const char* name, const QString& jsonValue)
{
    return jsonString(QString::fromLatin1(name)) + QLatin1Char(':') + jsonValue;
}

QString profileJson(const ServerProfile& p)
{
    const auto text = [](const char* name, const QString& value) {
        return member(name, jsonString(value));
    };
    const QStringList members = {
        member("kind", QString::number(static_cast<qint32>(p.kind))),
        text("name", p.name),
        text("uri", p.uri),
        text("host", p.host),
        text("credential", p.credential),
        text("obfsPassword", p.obfsPassword),
        text("sni", p.sni),
        text("publicKey", p.publicKey),
        text("shortId", p.shortId),
        text("serviceName", p.serviceName),
        text("authority", p.authority),
        member("grpcMultiMode", p.grpcMultiMode ? QStringLiteral("true") : QStringLiteral("false")),
        text("path", p.path),
        text("hostHeader", p.hostHeader),
        text("fingerprint", p.fingerprint),
        text("security", p.security),
        text("flow", p.flow),
        text("xhttpMode", p.xhttpMode),
        text("fragmentLengths", p.fragmentLengths),
        text("fragmentDelays", p.fragmentDelays),
        text("fragmentPackets", p.fragmentPackets),
        text("fragmentMaxSplit", p.fragmentMaxSplit),
        member("port", QString::number(p.port)),
    };
    return QLatin1Char('{') + members.join(QLatin1Char(',')) + QLatin1Char('}');
}

int runParse(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const QString usage = QStringLiteral("usage: orvik-inspect parse [FILE]\n");
    if (arguments.size() > 1 ||
        (arguments.size() == 1 && arguments.first().startsWith(QLatin1Char('-')) &&
         arguments.first() != QLatin1String("-"))) {
        err << usage;
        return inspect::kUsage;
    }

    const bool fromStdin = arguments.isEmpty() || arguments.first() == QLatin1String("-");
    QFile file;
    bool opened = false;
    if (fromStdin) {
        opened = file.open(stdin, QIODevice::ReadOnly);
    } else {
        file.setFileName(arguments.first());
        opened = file.open(QIODevice::ReadOnly);
    }
    const QString source = fromStdin ? QStringLiteral("standard input") : arguments.first();
    if (!opened) {
        err << "orvik-inspect: cannot read " << source << ": " << file.errorString() << '\n';
        return inspect::kUsage;
    }
    const QByteArray body = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        err << "orvik-inspect: cannot read " << source << ": " << file.errorString() << '\n';
        return inspect::kUsage;
    }

    int lines = 0;
    int refused = 0;
    for (const QString& piece : splitSubscriptionBody(body)) {
        if (!isProfileLine(piece))
            continue;
        ++lines;
        ServerProfile profile;
        QString error;
        if (parseProfileUri(piece, profile, &error)) {
            out << "{\"ok\":true," << member("label", jsonString(protocolLabel(profile))) << ','
                << member("profile", profileJson(profile)) << "}\n";
        } else {
            ++refused;
            out << "{\"ok\":false," << member("error", jsonString(error)) << "}\n";
        }
    }
    out.flush();

    if (lines == 0)
        err << "orvik-inspect: no profile lines in " << source << '\n';
    else if (refused > 0)
        err << "orvik-inspect: " << refused << " of " << lines << " lines refused\n";
    return refused > 0 ? inspect::kRefused : inspect::kOk;
}

} // namespace

ORVIK_INSPECT_COMMAND(parse, "parse",
                      "parse [FILE]   one JSON line per profile line of a subscription body "
                      "(standard input without FILE)",
                      runParse);

#include "profiles/profileuri.h"

#include <algorithm>

#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>
#include <QUuid>

namespace {

// A rejection: stores the sentence and reports failure.
bool refuse(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return false;
}

// A CR or LF in a header value would split the header; no control character belongs in any
// value that reaches a core's document.
bool hasControlCharacter(const QString& text)
{
    return std::any_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

// Control characters and bidirectional overrides in a name could fake or reorder the text
// shown around it.
QString displayName(const QString& text)
{
    QString result;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool bidi = (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069) ||
                          u == 0x200E || u == 0x200F || u == 0x061C;
        if (!bidi && c.category() != QChar::Other_Control)
            result += c;
    }
    return result.trimmed();
}

// Both patterns must cover the whole value: with a plain "$" a trailing line feed would
// slip through and end up inside the Xray document.
bool isRealityPublicKey(const QString& text)
{
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("[A-Za-z0-9_-]{43}")));
    return pattern.match(text).hasMatch();
}

bool isRealityShortId(const QString& text)
{
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("(?:[a-fA-F0-9]{2}){0,8}")));
    return pattern.match(text).hasMatch();
}

// The conversion alone reads the first 36 characters and ignores whatever follows, so
// "<id>%0A" or "<id>junk" would pass and reach the Xray document; the whole user name must
// be the id.
bool isUserId(const QString& text)
{
    const bool braced =
        text.size() == 38 && text.startsWith(QLatin1Char('{')) && text.endsWith(QLatin1Char('}'));
    return (text.size() == 36 || braced) && !QUuid::fromString(text).isNull();
}

bool checkGrpc(const QUrlQuery& query, ServerProfile& profile, QString* error)
{
    profile.serviceName = queryValue(query, "serviceName");
    profile.authority = queryValue(query, "authority");
    if (profile.serviceName.isEmpty() || hasControlCharacter(profile.serviceName) ||
        hasControlCharacter(profile.authority))
        return refuse(error, QStringLiteral("Некорректное имя gRPC-сервиса"));

    const QString mode = queryValue(query, "mode");
    if (!mode.isEmpty() && mode != QLatin1String("gun") && mode != QLatin1String("multi"))
        return refuse(error, QStringLiteral("Неподдерживаемый режим gRPC"));
    profile.grpcMultiMode = mode == QLatin1String("multi");

    const QString alpn = queryValue(query, "alpn");
    if (!alpn.isEmpty() && !alpn.split(QLatin1Char(',')).contains(QLatin1String("h2")))
        return refuse(error, QStringLiteral("Для gRPC требуется ALPN h2"));
    return true;
}

bool checkWebSocketOrXhttp(const QUrlQuery& query, ServerProfile& profile, QString* error)
{
    if (profile.kind == ProfileKind::VlessWebSocket && profile.security != QLatin1String("tls"))
        return refuse(error, QStringLiteral("WebSocket требует TLS"));

    profile.hostHeader = queryValue(query, "host");
    if (profile.hostHeader.isEmpty())
        profile.hostHeader = profile.sni;
    if (hasControlCharacter(profile.hostHeader))
        return refuse(error, QStringLiteral("Некорректный путь транспорта"));

    profile.path = queryValue(query, "path");
    if (profile.path.isEmpty())
        profile.path = QStringLiteral("/");
    if (!profile.path.startsWith(QLatin1Char('/')) || hasControlCharacter(profile.path))
        return refuse(error, QStringLiteral("Некорректный путь транспорта"));

    profile.xhttpMode = queryValue(query, "mode");
    if (profile.xhttpMode.isEmpty())
        profile.xhttpMode = QStringLiteral("auto");
    static const QStringList modes = {QStringLiteral("auto"), QStringLiteral("packet-up"),
                                      QStringLiteral("stream-up"), QStringLiteral("stream-one")};
    if (!modes.contains(profile.xhttpMode))
        return refuse(error, QStringLiteral("Неизвестный режим XHTTP"));

    if (!queryValue(query, "extra").isEmpty())
        return refuse(error,
                      QStringLiteral("Расширенные параметры XHTTP требуют поддержки в клиенте"));
    if (!profile.flow.isEmpty())
        return refuse(error, QStringLiteral("XTLS Vision поддерживается только с TCP"));
    return true;
}

bool checkVless(const QUrlQuery& query, const QString& transport, ServerProfile& profile,
                QString* error)
{
    const QString encryption = queryValue(query, "encryption");
    if (!isUserId(profile.credential) ||
        (!encryption.isEmpty() && encryption != QLatin1String("none")))
        return refuse(error, QStringLiteral("Неподдерживаемый ключ или шифрование VLESS"));

    if (profile.security != QLatin1String("reality") && profile.security != QLatin1String("tls"))
        return refuse(error, QStringLiteral("Для VLESS требуется TLS или REALITY"));
    if (profile.sni.isEmpty())
        return refuse(error, QStringLiteral("В профиле не указан SNI"));

    if (profile.security == QLatin1String("reality")) {
        profile.publicKey = queryValue(query, "pbk");
        profile.shortId = queryValue(query, "sid");
        if (!isRealityPublicKey(profile.publicKey) || !isRealityShortId(profile.shortId))
            return refuse(error, QStringLiteral("Некорректные параметры REALITY"));
        if (profile.fingerprint.isEmpty())
            profile.fingerprint = QStringLiteral("chrome");
    }

    profile.flow = queryValue(query, "flow");
    if (!profile.flow.isEmpty() && profile.flow != QLatin1String("xtls-rprx-vision"))
        return refuse(error, QStringLiteral("Неподдерживаемый VLESS flow"));

    if (transport.isEmpty() || transport == QLatin1String("tcp") ||
        transport == QLatin1String("raw")) {
        profile.kind = ProfileKind::VlessTcp;
        return true;
    }
    if (transport == QLatin1String("grpc")) {
        profile.kind = ProfileKind::VlessGrpc;
        if (queryValue(query, "serviceName").isEmpty())
            return refuse(error, QStringLiteral("Не указано имя gRPC-сервиса"));
        if (!profile.flow.isEmpty())
            return refuse(error, QStringLiteral("XTLS Vision поддерживается только с TCP"));
        return checkGrpc(query, profile, error);
    }
    if (transport == QLatin1String("ws") || transport == QLatin1String("xhttp")) {
        profile.kind = transport == QLatin1String("ws") ? ProfileKind::VlessWebSocket
                                                        : ProfileKind::VlessXhttp;
        return checkWebSocketOrXhttp(query, profile, error);
    }
    return refuse(error, QStringLiteral("Неподдерживаемый транспорт VLESS: ") + transport);
}

bool checkTrojan(const QUrlQuery& query, const QString& transport, ServerProfile& profile,
                 QString* error)
{
    const bool tcp = transport.isEmpty() || transport == QLatin1String("tcp") ||
                     transport == QLatin1String("raw");
    const bool grpc = transport == QLatin1String("grpc");
    if (profile.credential.isEmpty() || hasControlCharacter(profile.credential) ||
        profile.sni.isEmpty() || profile.security != QLatin1String("tls") || (!tcp && !grpc))
        return refuse(error, QStringLiteral("Неподдерживаемый профиль Trojan"));

    if (!grpc) {
        profile.kind = ProfileKind::TrojanTcp;
        return true;
    }
    profile.kind = ProfileKind::TrojanGrpc;
    return checkGrpc(query, profile, error);
}

bool checkHysteria2(const QUrl& url, const QUrlQuery& query, const QString& host,
                    ServerProfile& profile, QString* error)
{
    profile.kind = ProfileKind::Hysteria2;
    const QString password = url.password(QUrl::FullyDecoded);
    if (!password.isEmpty())
        profile.credential += QLatin1Char(':') + password;
    if (profile.credential.isEmpty() || hasControlCharacter(profile.credential))
        return refuse(error, QStringLiteral("В профиле Hysteria2 нет ключа"));

    profile.obfsPassword = queryValue(query, "obfs-password");
    const QString obfs = queryValue(query, "obfs");
    if ((!obfs.isEmpty() && obfs != QLatin1String("salamander")) ||
        hasControlCharacter(profile.obfsPassword))
        return refuse(error, QStringLiteral("Неподдерживаемая маскировка Hysteria2"));

    if (profile.sni.isEmpty())
        profile.sni = host;
    return true;
}

bool checkCommon(const QUrlQuery& query, ServerProfile& profile, QString* error)
{
    if (queryValue(query, "allowInsecure") == QLatin1String("1") ||
        queryValue(query, "insecure") == QLatin1String("1"))
        return refuse(error, QStringLiteral("Небезопасная проверка TLS не поддерживается"));

    const QString fragment = queryValue(query, "fragment");
    if (fragment.isEmpty())
        return true;
    if (profile.kind == ProfileKind::Hysteria2)
        return refuse(error, QStringLiteral("Фрагментация доступна только для TCP-транспортов"));

    const QStringList items = fragment.split(QLatin1Char(','));
    if ((items.size() != 3 && items.size() != 4) || items.at(2) != QLatin1String("tlshello"))
        return refuse(error, QStringLiteral("Некорректная фрагментация"));
    if (!isValidRange(items.at(0), 1, 4096) || !isValidRange(items.at(1), 0, 1000) ||
        (items.size() == 4 && !isValidRange(items.at(3), 1, 100)))
        return refuse(error, QStringLiteral("Некорректный диапазон фрагментации"));

    profile.fragmentLengths = items.at(0);
    profile.fragmentDelays = items.at(1);
    profile.fragmentPackets = items.at(2);
    if (items.size() == 4)
        profile.fragmentMaxSplit = items.at(3);
    return true;
}

} // namespace

bool parseProfileUri(const QString& text, ServerProfile& out, QString* error)
{
    const QString trimmed = text.trimmed();
    const QUrl url(trimmed, QUrl::TolerantMode);
    const QString host = url.host(QUrl::FullyDecoded);
    const int port = url.port();
    if (!url.isValid() || host.isEmpty() || port < 1 || port > 65535)
        return refuse(error, QStringLiteral("Некорректный адрес сервера"));

    // One query object per line: every lookup below scans the same parsed items.
    const QUrlQuery query(url);
    ServerProfile profile;
    profile.credential = url.userName(QUrl::FullyDecoded);
    profile.sni = queryValue(query, "sni");
    profile.security = queryValue(query, "security");
    profile.fingerprint = queryValue(query, "fp");
    const QString transport = queryValue(query, "type");

    if (hasControlCharacter(profile.sni) || hasControlCharacter(profile.fingerprint))
        return refuse(error, QStringLiteral("Некорректный адрес сервера"));

    const QString scheme = url.scheme();
    bool accepted = false;
    if (scheme == QLatin1String("vless"))
        accepted = checkVless(query, transport, profile, error);
    else if (scheme == QLatin1String("trojan"))
        accepted = checkTrojan(query, transport, profile, error);
    else if (scheme == QLatin1String("hy2") || scheme == QLatin1String("hysteria2"))
        accepted = checkHysteria2(url, query, host, profile, error);
    else
        return refuse(error, QStringLiteral("Неподдерживаемый протокол: ") + scheme);
    if (!accepted || !checkCommon(query, profile, error))
        return false;

    profile.uri = trimmed;
    profile.host = host;
    profile.port = port;
    profile.name = displayName(url.fragment(QUrl::FullyDecoded));
    if (profile.name.isEmpty())
        profile.name = host;
    if (error)
        error->clear();
    out = profile;
    return true;
}

QString protocolLabel(const ServerProfile& profile)
{
    switch (profile.kind) {
    case ProfileKind::Hysteria2:
        return QStringLiteral("Hysteria2");
    case ProfileKind::VlessGrpc:
        return QStringLiteral("VLESS · gRPC · ") + profile.security.toUpper();
    case ProfileKind::VlessWebSocket:
        return QStringLiteral("VLESS · WebSocket · TLS");
    case ProfileKind::VlessTcp:
        return QStringLiteral("VLESS · TCP · ") + profile.security.toUpper();
    case ProfileKind::VlessXhttp:
        return QStringLiteral("VLESS · XHTTP · ") + profile.security.toUpper();
    case ProfileKind::TrojanTcp:
        return QStringLiteral("Trojan · TCP · TLS");
    case ProfileKind::TrojanGrpc:
        return QStringLiteral("Trojan · gRPC · TLS");
    }
    return {};
}

bool isValidRange(const QString& text, int min, int max)
{
    const QStringList parts = text.split(QLatin1Char('-'));
    if (parts.size() != 1 && parts.size() != 2)
        return false;
    bool firstOk = false;
    bool lastOk = false;
    const int first = parts.first().toInt(&firstOk);
    const int last = parts.last().toInt(&lastOk);
    return firstOk && lastOk && min <= first && first <= last && last <= max;
}

QString queryValue(const QUrlQuery& query, const char* key)
{
    return query.queryItemValue(QString::fromLatin1(key), QUrl::FullyDecoded);
}

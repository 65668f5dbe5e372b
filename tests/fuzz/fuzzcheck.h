#pragma once

#include "profiles/profileuri.h"

#include <QRegularExpression>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A broken invariant is a crash for libFuzzer, which then keeps the input.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace fuzz {

inline bool hasLineBreak(const QString& text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

// What the configuration builders may rely on for an accepted profile.
inline void checkAccepted(const ServerProfile& p)
{
    FUZZ_CHECK(static_cast<int>(p.kind) >= 0 && static_cast<int>(p.kind) <= 6);
    FUZZ_CHECK(!protocolLabel(p).isEmpty());
    FUZZ_CHECK(p.port >= 1 && p.port <= 65535);
    FUZZ_CHECK(!p.host.isEmpty() && !p.name.isEmpty() && !p.credential.isEmpty());
    FUZZ_CHECK(p.uri == p.uri.trimmed() && !p.uri.isEmpty());
    FUZZ_CHECK(!p.sni.isEmpty());

    static const QRegularExpression publicKey(
        QRegularExpression::anchoredPattern(QStringLiteral("[A-Za-z0-9_-]{43}")));
    static const QRegularExpression shortId(
        QRegularExpression::anchoredPattern(QStringLiteral("(?:[0-9a-fA-F]{2}){0,8}")));
    if (p.security == QLatin1String("reality") && p.kind != ProfileKind::Hysteria2) {
        FUZZ_CHECK(publicKey.match(p.publicKey).hasMatch());
        FUZZ_CHECK(shortId.match(p.shortId).hasMatch());
        FUZZ_CHECK(!p.fingerprint.isEmpty());
    } else {
        FUZZ_CHECK(p.publicKey.isEmpty() && p.shortId.isEmpty());
    }

    const bool grpc = p.kind == ProfileKind::VlessGrpc || p.kind == ProfileKind::TrojanGrpc;
    FUZZ_CHECK(grpc == !p.serviceName.isEmpty());
    FUZZ_CHECK(!hasLineBreak(p.serviceName) && !hasLineBreak(p.authority));
    const bool http = p.kind == ProfileKind::VlessWebSocket || p.kind == ProfileKind::VlessXhttp;
    FUZZ_CHECK(http == p.path.startsWith(QLatin1Char('/')));
    FUZZ_CHECK(!hasLineBreak(p.path));
    FUZZ_CHECK(http == !p.xhttpMode.isEmpty());

    const bool vless = p.kind != ProfileKind::Hysteria2 && p.kind != ProfileKind::TrojanTcp &&
                       p.kind != ProfileKind::TrojanGrpc;
    if (vless) {
        FUZZ_CHECK(p.credential.size() == 36 || p.credential.size() == 38);
        FUZZ_CHECK(p.flow.isEmpty() || p.kind == ProfileKind::VlessTcp);
    }

    FUZZ_CHECK(p.fragmentPackets.isEmpty() || p.fragmentPackets == QLatin1String("tlshello"));
    FUZZ_CHECK(p.fragmentPackets.isEmpty() == p.fragmentLengths.isEmpty());
    if (!p.fragmentPackets.isEmpty()) {
        FUZZ_CHECK(isValidRange(p.fragmentLengths, 1, 4096));
        FUZZ_CHECK(isValidRange(p.fragmentDelays, 0, 1000));
        FUZZ_CHECK(p.fragmentMaxSplit.isEmpty() || isValidRange(p.fragmentMaxSplit, 1, 100));
    }
}

// One line through the parser: either a sound profile and no message, or a message and the
// output left alone.
inline void parseAndCheck(const QString& text)
{
    ServerProfile profile;
    profile.name = QStringLiteral("untouched");
    const ServerProfile before = profile;
    QString error = QStringLiteral("stale");
    const bool accepted = parseProfileUri(text, profile, &error);
    if (accepted) {
        FUZZ_CHECK(error.isEmpty());
        checkAccepted(profile);
    } else {
        FUZZ_CHECK(!error.isEmpty() && error != QLatin1String("stale"));
        FUZZ_CHECK(profile == before);
    }

    // The latency checks pass no error text; the verdict and the record must not depend on it.
    ServerProfile again = before;
    FUZZ_CHECK(parseProfileUri(text, again) == accepted);
    FUZZ_CHECK(again == (accepted ? profile : before));
}

} // namespace fuzz

// What a target checks for one input; each target's source defines it, once.
void fuzzOne(const QByteArray& input);

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzOne(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    return 0;
}

#pragma once

#include <QString>
#include <QtGlobal>

// Stored and switched on by the configuration builders and the tunnel session:
// the numbers are part of the contract.
enum class ProfileKind : qint32 {
    Hysteria2 = 0,
    VlessGrpc = 1,
    VlessWebSocket = 2,
    VlessTcp = 3,
    VlessXhttp = 4,
    TrojanTcp = 5,
    TrojanGrpc = 6,
};

// One parsed profile line. A plain value, copied whole into every tunnel session.
struct ServerProfile
{
    ProfileKind kind = ProfileKind::Hysteria2;
    QString name;
    QString uri;
    QString host;
    QString credential;
    QString obfsPassword;
    QString sni;
    QString publicKey;
    QString shortId;
    QString serviceName;
    QString authority;
    bool grpcMultiMode = false;
    QString path;
    QString hostHeader;
    QString fingerprint;
    QString security;
    QString flow;
    QString xhttpMode;
    QString fragmentLengths;
    QString fragmentDelays;
    QString fragmentPackets;
    QString fragmentMaxSplit;
    qint32 port = 0;

    friend bool operator==(const ServerProfile&, const ServerProfile&) = default;
};

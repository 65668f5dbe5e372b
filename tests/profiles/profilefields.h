#pragma once

#include "profiles/serverprofile.h"

#include <QJsonObject>

// Every field of a profile under its member name, the form orvik-inspect prints.
inline QJsonObject profileFields(const ServerProfile& p)
{
    return {{"kind", int(p.kind)},
            {"name", p.name},
            {"uri", p.uri},
            {"host", p.host},
            {"credential", p.credential},
            {"obfsPassword", p.obfsPassword},
            {"sni", p.sni},
            {"publicKey", p.publicKey},
            {"shortId", p.shortId},
            {"serviceName", p.serviceName},
            {"authority", p.authority},
            {"grpcMultiMode", p.grpcMultiMode},
            {"path", p.path},
            {"hostHeader", p.hostHeader},
            {"fingerprint", p.fingerprint},
            {"security", p.security},
            {"flow", p.flow},
            {"xhttpMode", p.xhttpMode},
            {"fragmentLengths", p.fragmentLengths},
            {"fragmentDelays", p.fragmentDelays},
            {"fragmentPackets", p.fragmentPackets},
            {"fragmentMaxSplit", p.fragmentMaxSplit},
            {"port", p.port}};
}

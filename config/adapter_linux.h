#pragma once

#include "config/adapterchoice.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// The Linux enumerator's pieces, each working on text or on a folder so that tests can
// hand it fixtures instead of the running kernel's files.
namespace linuxnet {

struct DefaultRoute
{
    QString interfaceName;
    QString gateway; // dotted; "0.0.0.0" for a route without a gateway
    quint32 metric = 0;

    friend bool operator==(const DefaultRoute&, const DefaultRoute&) = default;
};

// The IPv4 default routes (destination and mask 0, route up) of a /proc/net/route text,
// in file order; malformed rows are skipped.
QList<DefaultRoute> parseDefaultRoutes(const QString& procNetRoute);

// One candidate per interface folder under sysfsNetRoot (normally /sys/class/net), ordered by
// interface index. Addresses come from ipv4ByInterface, gateways and metric from the default
// routes of that interface, the lowest metric first.
QList<AdapterCandidate> interfaceCandidates(const QString& sysfsNetRoot,
                                            const QList<DefaultRoute>& defaultRoutes,
                                            const QHash<QString, QStringList>& ipv4ByInterface);

// The running system's IPv4 addresses per interface, in the order getifaddrs lists them.
QHash<QString, QStringList> systemIpv4Addresses();

} // namespace linuxnet

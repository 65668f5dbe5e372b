#pragma once

#include "config/adapter.h"

#include <QList>
#include <QStringList>

// What the platform enumerators report about one network interface, in the order the
// system lists them. The choosing rule sees nothing else.
struct AdapterCandidate
{
    enum class Medium { Ethernet, Wireless, Other };

    QString name; // the friendly name (Windows) or interface name (Linux)
    Medium medium = Medium::Other;
    bool up = false;           // operational status
    QStringList ipv4Addresses; // dotted, in system order
    QStringList gateways;      // dotted; an empty entry stands for a gateway that is not IPv4
    quint32 metric = 0;        // the interface's own metric, before any penalty
    bool hardware = false;     // a physical device is behind it

    friend bool operator==(const AdapterCandidate&, const AdapterCandidate&) = default;
};

// The lowest-metric Ethernet or Wi-Fi adapter that is up, has a usable IPv4 address and an
// IPv4 default gateway; non-hardware adapters pay a penalty. Empty when none qualifies.
PhysicalAdapter choosePhysicalAdapter(const QList<AdapterCandidate>& candidates);

// The platform enumerator: every interface the system knows, in system order.
QList<AdapterCandidate> enumerateAdapterCandidates();

#pragma once

#include <QString>

// The physical network adapter that carries everything outside the tunnel.
// All fields are empty when no adapter qualifies.
struct PhysicalAdapter
{
    QString interfaceName;
    QString ipv4Address;
    QString gateway;

    bool isUsable() const { return !interfaceName.isEmpty() && !ipv4Address.isEmpty(); }
    friend bool operator==(const PhysicalAdapter&, const PhysicalAdapter&) = default;
};

// Queries the system afresh on every call; never fails, an empty record means "none".
PhysicalAdapter selectPhysicalAdapter();

// The system query behind selectPhysicalAdapter(): the platform enumerator and the rule.
PhysicalAdapter queryPhysicalAdapter();

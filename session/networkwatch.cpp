#include "session/networkwatch.h"

bool isSameNetwork(const PhysicalAdapter& bound, const PhysicalAdapter& current)
{
    // A new gateway alone leaves the cores' binding valid.
    return bound.interfaceName == current.interfaceName && bound.ipv4Address == current.ipv4Address;
}

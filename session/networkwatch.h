#pragma once

#include "config/adapter.h"

// True when the tunnel bound to `bound` can stay: same interface name and IPv4 address
// (exact, case-sensitive); the gateway is not compared.
bool isSameNetwork(const PhysicalAdapter& bound, const PhysicalAdapter& current);

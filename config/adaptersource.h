#pragma once

#include "config/adapter.h"

#include <functional>

// Internal seam: tests that simulate a network change replace where the adapter comes
// from. An empty function restores the system query.
void setAdapterSource(std::function<PhysicalAdapter()> source);

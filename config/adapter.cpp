#include "config/adapter.h"

// The enumerators and the choosing rule arrive with the adapter work.
PhysicalAdapter selectPhysicalAdapter()
{
    return {};
}

#include "config/adapter.h"
#include "config/adaptersource.h"

namespace {

std::function<PhysicalAdapter()>& adapterSource()
{
    static std::function<PhysicalAdapter()> source;
    return source;
}

} // namespace

void setAdapterSource(std::function<PhysicalAdapter()> source)
{
    adapterSource() = std::move(source);
}

PhysicalAdapter selectPhysicalAdapter()
{
    if (const auto& source = adapterSource())
        return source();
    return queryPhysicalAdapter();
}

// The enumerators and the choosing rule arrive with the adapter work.
PhysicalAdapter queryPhysicalAdapter()
{
    return {};
}

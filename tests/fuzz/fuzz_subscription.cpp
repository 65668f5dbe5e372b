// A whole subscription body: splitting, then every profile line through the parser.
#include "tests/fuzz/fuzzcheck.h"

#include "profiles/subscriptionbody.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray body =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const QString& piece : splitSubscriptionBody(body)) {
        FUZZ_CHECK(!piece.isEmpty());
        FUZZ_CHECK(!piece.contains(QLatin1Char('\n')));
        if (isProfileLine(piece))
            fuzz::parseAndCheck(piece);
    }
    return 0;
}

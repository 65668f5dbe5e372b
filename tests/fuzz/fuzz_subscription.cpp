// A whole subscription body: splitting, then every profile line through the parser.
#include "tests/fuzz/fuzzcheck.h"

#include "profiles/subscriptionbody.h"

void fuzzOne(const QByteArray& input)
{
    for (const QString& piece : splitSubscriptionBody(input)) {
        FUZZ_CHECK(!piece.isEmpty());
        FUZZ_CHECK(!piece.contains(QLatin1Char('\n')));
        if (isProfileLine(piece))
            fuzz::parseAndCheck(piece);
    }
}

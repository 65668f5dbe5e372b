// One subscription line through the profile parser.
#include "tests/fuzz/fuzzcheck.h"

void fuzzOne(const QByteArray& input)
{
    fuzz::parseAndCheck(QString::fromUtf8(input));
}

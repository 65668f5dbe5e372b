// What the user types into the site bypass list: a domain, a wildcard or a pasted URL.
#include "tests/fuzz/fuzzcheck.h"

#include "routing/bypassdomain.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString input =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString error = QStringLiteral("stale");
    const QString domain = normalizeBypassDomain(input, &error);
    FUZZ_CHECK(domain == normalizeBypassDomain(input));
    if (domain.isEmpty()) {
        FUZZ_CHECK(!error.isEmpty() && error != QLatin1String("stale"));
        return 0;
    }
    FUZZ_CHECK(error.isEmpty());

    // What reaches the routing rules and the settings store: a complete lower-case ASCII
    // name with valid labels, which normalises to itself when it is loaded again.
    FUZZ_CHECK(domain.size() <= 253 && domain.contains(QLatin1Char('.')));
    static const QRegularExpression name(QRegularExpression::anchoredPattern(QStringLiteral(
        "[a-z0-9](?:[a-z0-9-]{0,61}[a-z0-9])?(?:\\.[a-z0-9](?:[a-z0-9-]{0,61}[a-z0-9])?)+")));
    FUZZ_CHECK(name.match(domain).hasMatch());
    QString again = QStringLiteral("stale");
    FUZZ_CHECK(normalizeBypassDomain(domain, &again) == domain && again.isEmpty());
    return 0;
}

// What the user types into the site bypass list: a domain, a wildcard or a pasted URL.
#include "tests/fuzz/fuzzcheck.h"

#include "routing/bypassdomain.h"

void fuzzOne(const QByteArray& bytes)
{
    const QString input = QString::fromUtf8(bytes);
    QString error = QStringLiteral("stale");
    const QString domain = normalizeBypassDomain(input, &error);
    FUZZ_CHECK(domain == normalizeBypassDomain(input));
    if (domain.isEmpty()) {
        FUZZ_CHECK(!error.isEmpty() && error != QLatin1String("stale"));
        return;
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
}

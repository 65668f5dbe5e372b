#include "routing/bypassdomain.h"

// The normaliser and the built-in list arrive with the split-tunnelling work.
QString normalizeBypassDomain(const QString& input, QString* error)
{
    Q_UNUSED(input);
    if (error)
        *error = QStringLiteral("Введите домен или URL.");
    return {};
}

QStringList builtinBypassDomains()
{
    return {};
}

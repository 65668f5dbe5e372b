#include "profiles/profileuri.h"

#include <QUrlQuery>

// The parser arrives with the profiles work; until then every line is refused.
bool parseProfileUri(const QString& text, ServerProfile& out, QString* error)
{
    Q_UNUSED(text);
    Q_UNUSED(out);
    if (error)
        *error = QStringLiteral("Некорректный адрес сервера");
    return false;
}

QString protocolLabel(const ServerProfile& profile)
{
    Q_UNUSED(profile);
    return {};
}

bool isValidRange(const QString& text, int min, int max)
{
    Q_UNUSED(text);
    Q_UNUSED(min);
    Q_UNUSED(max);
    return false;
}

QString queryValue(const QUrlQuery& query, const char* key)
{
    return query.queryItemValue(QString::fromLatin1(key), QUrl::FullyDecoded);
}

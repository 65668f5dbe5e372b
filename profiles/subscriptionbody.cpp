#include "profiles/subscriptionbody.h"

// The decoding arrives with the profiles work.
QStringList splitSubscriptionBody(const QByteArray& body)
{
    Q_UNUSED(body);
    return {};
}

bool isProfileLine(const QString& piece)
{
    const QString trimmed = piece.trimmed();
    return !trimmed.isEmpty() && !trimmed.startsWith(QLatin1Char('#'));
}

#include "profiles/subscriptionbody.h"

#include <QRegularExpression>

namespace {

// Some services publish the body in the URL-safe alphabet ("-" and "_", often unpadded).
// Under the standard alphabet those two characters would be skipped and the rest decoded
// into garbage, so a body that uses them and never the standard "+" or "/" is read as
// URL-safe. Characters outside the chosen alphabet (line breaks of a wrapped block,
// padding) are skipped in both modes.
QByteArray decodeBase64(const QByteArray& text)
{
    const bool urlSafe =
        (text.contains('-') || text.contains('_')) && !text.contains('+') && !text.contains('/');
    return QByteArray::fromBase64(text, urlSafe ? QByteArray::Base64UrlEncoding
                                                : QByteArray::Base64Encoding);
}

} // namespace

QStringList splitSubscriptionBody(const QByteArray& body)
{
    QByteArray bytes = body.trimmed();
    if (!bytes.contains("://"))
        bytes = decodeBase64(bytes);

    static const QRegularExpression lineBreak(QStringLiteral("\r?\n"));
    return QString::fromUtf8(bytes).split(lineBreak, Qt::SkipEmptyParts);
}

bool isProfileLine(const QString& piece)
{
    const QString trimmed = piece.trimmed();
    return !trimmed.isEmpty() && !trimmed.startsWith(QLatin1Char('#'));
}

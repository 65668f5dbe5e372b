#include "session/redaction.h"

#include <QRegularExpression>

namespace {

const QString kHidden = QStringLiteral("[скрыто]");
const QString kSubscription = QStringLiteral("[подписка]");

// The last `limit` UTF-16 units, without starting on the second half of a surrogate pair
// (a lone half would turn into a replacement character wherever the text goes next).
QString keepTail(const QString& text, qsizetype limit)
{
    if (text.size() <= limit)
        return text;
    qsizetype start = text.size() - limit;
    if (text.at(start).isLowSurrogate())
        ++start;
    return text.mid(start);
}

} // namespace

QString redactCoreText(const QString& text, const ServerProfile& profile)
{
    static const QRegularExpression colourCode(QStringLiteral("\\x1b\\[[0-9;]*m"));
    static const QRegularExpression subscriptionLink(QStringLiteral("https://[^\\s]+/s/[^\\s]+"));

    QString result = text;
    // The whole URI first, so a printed URI becomes one marker rather than a mix of parts.
    for (const QString* secret : {&profile.uri, &profile.credential, &profile.obfsPassword,
                                  &profile.publicKey, &profile.shortId}) {
        if (!secret->isEmpty())
            result.replace(*secret, kHidden);
    }
    result.remove(colourCode);
    result.replace(subscriptionLink, kSubscription);
    return keepTail(result, kRedactedTextLimit);
}

void appendCoreOutput(QString& coreLog, const QByteArray& chunk, const ServerProfile& profile)
{
    coreLog += redactCoreText(QString::fromUtf8(chunk), profile);
    coreLog = keepTail(coreLog, kCoreLogLimit);
}

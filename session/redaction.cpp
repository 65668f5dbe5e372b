#include "session/redaction.h"

// The rules arrive with the redaction work.
QString redactCoreText(const QString& text, const ServerProfile& profile)
{
    Q_UNUSED(profile);
    return text.right(kRedactedTextLimit);
}

void appendCoreOutput(QString& coreLog, const QByteArray& chunk, const ServerProfile& profile)
{
    coreLog += redactCoreText(QString::fromUtf8(chunk), profile);
    if (coreLog.size() > kCoreLogLimit)
        coreLog = coreLog.right(kCoreLogLimit);
}

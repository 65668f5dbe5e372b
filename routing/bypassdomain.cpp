#include "routing/bypassdomain.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QUrl>

namespace {

const QString kEmptyInput = QStringLiteral("Введите домен или URL.");
const QString kBadUrl = QStringLiteral("Не удалось прочитать домен из URL.");
const QString kIpAddress = QStringLiteral("IP-адрес нельзя добавить как домен.");
const QString kNotFullDomain = QStringLiteral("Укажите полный домен, например example.ru.");
const QString kMisplacedWildcard =
    QStringLiteral("Wildcard допустим только в начале: *.example.ru.");
const QString kBadCharacters = QStringLiteral("Домен содержит недопустимые символы.");

QString reject(const QString& message, QString* error)
{
    if (error)
        *error = message;
    return {};
}

// Drops one leading "*." or, failing that, one leading ".".
void dropWildcardPrefix(QString& text)
{
    if (text.startsWith(QLatin1String("*.")))
        text.remove(0, 2);
    else if (text.startsWith(QLatin1Char('.')))
        text.remove(0, 1);
}

bool isDecimalPort(QStringView text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    bool ok = false;
    const uint port = text.toUInt(&ok);
    return ok && port <= 65535;
}

bool hasAsciiOutsideHostAlphabet(QStringView label)
{
    for (const QChar c : label) {
        if (c.unicode() >= 0x80)
            continue;
        const bool allowed = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                             (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                             c == QLatin1Char('-');
        if (!allowed)
            return true;
    }
    return false;
}

bool isAscii(QStringView text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

// Lower case, then the ASCII-compatible form of internationalised labels. Labels that are
// ASCII already, or that carry ASCII characters no host name may contain ("*", "!", ":",
// "\"...), are kept as they are: the toolkit's conversion refuses them outright, which
// would hide the precise reason the checks below give. An internationalised label the
// toolkit cannot convert makes the whole result empty.
QString toAsciiCompatible(const QString& host)
{
    const QString lower = host.toLower();
    if (isAscii(lower))
        return lower;
    QStringList labels = lower.split(QLatin1Char('.'));
    for (QString& label : labels) {
        if (isAscii(label) || hasAsciiOutsideHostAlphabet(label))
            continue;
        const QByteArray ace = QUrl::toAce(label);
        if (ace.isEmpty())
            return {};
        label = QString::fromLatin1(ace);
    }
    return labels.join(QLatin1Char('.'));
}

bool isIpAddress(const QString& text)
{
    QHostAddress address;
    if (address.setAddress(text))
        return true;
    // An IPv6 literal is often written in brackets, as in a URL.
    if (text.startsWith(QLatin1Char('[')) && text.endsWith(QLatin1Char(']')))
        return address.setAddress(text.mid(1, text.size() - 2)) &&
               address.protocol() == QAbstractSocket::IPv6Protocol;
    return false;
}

} // namespace

QString normalizeBypassDomain(const QString& input, QString* error)
{
    QString text = input.trimmed();
    if (text.isEmpty())
        return reject(kEmptyInput, error);

    if (text.startsWith(QLatin1String("//")))
        text.prepend(QLatin1String("https:"));

    QString host;
    if (text.contains(QLatin1String("://"))) {
        const QUrl url(text, QUrl::TolerantMode);
        host = url.isValid() ? url.host(QUrl::FullyDecoded) : QString();
        if (host.isEmpty())
            return reject(kBadUrl, error);
    } else {
        host = text;
        static const QRegularExpression cutPoint(QStringLiteral("[/\\?#]"));
        const qsizetype cut = host.indexOf(cutPoint);
        if (cut >= 0)
            host.truncate(cut);
        dropWildcardPrefix(host);
        const qsizetype colon = host.lastIndexOf(QLatin1Char(':'));
        if (colon > 0 && colon == host.indexOf(QLatin1Char(':')) &&
            isDecimalPort(QStringView(host).mid(colon + 1)))
            host.truncate(colon);
    }

    while (host.endsWith(QLatin1Char('.')))
        host.chop(1);
    dropWildcardPrefix(host);

    const QString domain = toAsciiCompatible(host);

    if (isIpAddress(domain))
        return reject(kIpAddress, error);
    if (domain.isEmpty() || domain.size() > 253)
        return reject(kNotFullDomain, error);
    if (!domain.contains(QLatin1Char('.')))
        return reject(kNotFullDomain, error);
    if (domain.contains(QLatin1Char('*')))
        return reject(kMisplacedWildcard, error);

    // Anchored to the very end: "$" alone would let a label end in a line break.
    static const QRegularExpression label(QRegularExpression::anchoredPattern(
        QStringLiteral("[a-z0-9](?:[a-z0-9-]{0,61}[a-z0-9])?")));
    const QStringList labels = domain.split(QLatin1Char('.'));
    for (const QString& piece : labels) {
        if (!label.match(piece).hasMatch())
            return reject(kBadCharacters, error);
    }

    if (error)
        error->clear();
    return domain;
}

QStringList builtinBypassDomains()
{
    // Domestic services that refuse or misbehave for visitors arriving from abroad.
    return {QStringLiteral("gosuslugi.ru"), QStringLiteral("yandex.ru"), QStringLiteral("vk.com"),
            QStringLiteral("sberbank.ru")};
}

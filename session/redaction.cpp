#include "session/redaction.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>

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

// Shorter secrets (a REALITY short id can be two letters) are hidden only as whole tokens, so
// they do not tear ordinary words apart.
constexpr qsizetype kWholeTokenBelow = 6;

QString jsonEscaped(const QString& text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(2, array.size() - 4)); // without [" and "]
}

// Go's JSON writer also escapes <, > and &; ASCII-only writers escape every other character.
QString jsonEscapedAscii(const QString& escaped, bool allNonAscii)
{
    QString result;
    for (const QChar c : escaped) {
        if (c == u'<' || c == u'>' || c == u'&' || (allNonAscii && c.unicode() > 0x7e))
            result += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            result += c;
    }
    return result;
}

// Every form in which the client hands a secret to a core or a core may print it back,
// longest first, so a printed URI becomes one marker rather than a mix of its parts.
QStringList secretForms(const ServerProfile& profile)
{
    QStringList bases;
    for (const QString* secret : {&profile.uri, &profile.credential, &profile.obfsPassword,
                                  &profile.publicKey, &profile.shortId}) {
        if (secret->isEmpty())
            continue;
        bases.append(*secret);
        // Xray is given a braced id without its braces.
        if (secret->size() > 2 && secret->startsWith(u'{') && secret->endsWith(u'}'))
            bases.append(secret->mid(1, secret->size() - 2));
    }
    // Hysteria2 "user:password": each half also travels and is printed on its own.
    if (profile.kind == ProfileKind::Hysteria2) {
        const qsizetype colon = profile.credential.indexOf(u':');
        if (colon >= 0) {
            bases.append(profile.credential.left(colon));
            bases.append(profile.credential.mid(colon + 1));
        }
    }
    QStringList forms;
    for (const QString& base : std::as_const(bases)) {
        const QString escaped = jsonEscaped(base);
        for (const QString& form :
             {base, escaped, jsonEscapedAscii(escaped, false), jsonEscapedAscii(escaped, true),
              QString::fromLatin1(QUrl::toPercentEncoding(base))}) {
            if (!form.isEmpty() && !forms.contains(form, Qt::CaseInsensitive))
                forms.append(form);
        }
    }
    std::stable_sort(forms.begin(), forms.end(),
                     [](const QString& a, const QString& b) { return a.size() > b.size(); });
    return forms;
}

void hideSecret(QString& text, const QString& form)
{
    if (form.size() >= kWholeTokenBelow) {
        text.replace(form, kHidden, Qt::CaseInsensitive);
        return;
    }
    const QRegularExpression wholeToken(QStringLiteral("(?<![\\p{L}\\p{N}])%1(?![\\p{L}\\p{N}])")
                                            .arg(QRegularExpression::escape(form)),
                                        QRegularExpression::CaseInsensitiveOption |
                                            QRegularExpression::UseUnicodePropertiesOption);
    text.replace(wholeToken, kHidden);
}

// How many characters at the end of `text` could be the beginning of a secret that the next
// read completes.
qsizetype possibleSecretStart(const QString& text, const QStringList& forms)
{
    qsizetype longest = 0;
    for (const QString& form : forms) {
        for (qsizetype length = std::min(form.size() - 1, text.size()); length > longest;
             --length) {
            if (text.endsWith(QStringView(form).left(length), Qt::CaseInsensitive)) {
                longest = length;
                break;
            }
        }
    }
    return longest;
}

} // namespace

QString redactCoreText(const QString& text, const ServerProfile& profile)
{
    static const QRegularExpression colourCode(QStringLiteral("\\x1b\\[[0-9;]*m"));
    static const QRegularExpression subscriptionLink(QStringLiteral("https://[^\\s]+/s/[^\\s]+"));

    QString result = text;
    for (const QString& form : secretForms(profile))
        hideSecret(result, form);
    result.remove(colourCode);
    result.replace(subscriptionLink, kSubscription);
    return keepTail(result, kRedactedTextLimit);
}

void appendCoreOutput(QString& coreLog, CoreOutputStream& stream, const QByteArray& chunk,
                      const ServerProfile& profile)
{
    QString text = stream.held + stream.decoder.decode(chunk);
    const qsizetype held = possibleSecretStart(text, secretForms(profile));
    stream.held = text.right(held);
    text.chop(held);
    coreLog += redactCoreText(text, profile);
    coreLog = keepTail(coreLog, kCoreLogLimit);
}

void flushCoreOutput(QString& coreLog, CoreOutputStream& stream, const ServerProfile& profile)
{
    coreLog += redactCoreText(stream.held, profile);
    coreLog = keepTail(coreLog, kCoreLogLimit);
    stream = CoreOutputStream();
}

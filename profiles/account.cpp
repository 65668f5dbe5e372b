#include "profiles/account.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

namespace subscription {

namespace {

constexpr qint64 kWarnBeforeEndSeconds = 3 * 24 * 3600;
constexpr double kBytesPerGb = 1024.0 * 1024.0 * 1024.0;

// A whole, non-negative decimal number, or -1.
qint64 parseCount(const QByteArray& text)
{
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    return ok && value >= 0 ? value : -1;
}

QString gigabytes(qint64 bytes)
{
    return QLocale(QLocale::Russian).toString(double(bytes) / kBytesPerGb, 'f', 1);
}

} // namespace

AccountInfo parseAccountHeaders(const QByteArray& userInfo, const QByteArray& updateInterval,
                                const QByteArray& title)
{
    AccountInfo info;
    qint64 upload = -1, download = -1, total = -1, expire = 0;
    bool malformed = false;
    for (const QByteArray& part : userInfo.split(';')) {
        if (part.trimmed().isEmpty())
            continue;
        const qsizetype equals = part.indexOf('=');
        if (equals < 0) {
            malformed = true;
            break;
        }
        const QByteArray key = part.left(equals).trimmed().toLower();
        const qint64 value = parseCount(part.mid(equals + 1));
        qint64* target = key == "upload"     ? &upload
                         : key == "download" ? &download
                         : key == "total"    ? &total
                         : key == "expire"   ? &expire
                                             : nullptr;
        if (!target)
            continue;
        if (value < 0) {
            malformed = true;
            break;
        }
        *target = value;
    }
    if (!malformed) {
        info.upload = upload;
        info.download = download;
        info.total = total;
        info.expire = expire;
    }

    const qint64 hours = parseCount(updateInterval);
    if (hours > 0 && hours <= 24 * 365)
        info.updateHours = int(hours);

    QByteArray text = title.trimmed();
    if (text.startsWith("base64:"))
        text = QByteArray::fromBase64(text.mid(7).trimmed());
    // A name for one line of the window: control characters would only break it.
    QString name = QString::fromUtf8(text).simplified();
    name.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
    info.title = name.left(100);
    return info;
}

QByteArray serializeAccount(const AccountInfo& info)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("upload"), info.upload},
                                     {QStringLiteral("download"), info.download},
                                     {QStringLiteral("total"), info.total},
                                     {QStringLiteral("expire"), info.expire},
                                     {QStringLiteral("updateHours"), info.updateHours},
                                     {QStringLiteral("title"), info.title}})
        .toJson(QJsonDocument::Compact);
}

AccountInfo deserializeAccount(const QByteArray& data)
{
    const QJsonObject object = QJsonDocument::fromJson(data).object();
    AccountInfo info;
    if (object.isEmpty())
        return info;
    const auto number = [&object](const char* key, qint64 fallback) {
        return qint64(object.value(QLatin1String(key)).toDouble(double(fallback)));
    };
    info.upload = number("upload", -1);
    info.download = number("download", -1);
    info.total = number("total", -1);
    info.expire = qMax(qint64(0), number("expire", 0));
    info.updateHours = int(qBound(qint64(0), number("updateHours", 0), qint64(24 * 365)));
    info.title = object.value(QLatin1String("title")).toString();
    return info;
}

AccountState accountState(const AccountInfo& info, const QDateTime& now)
{
    const qint64 seconds = now.toSecsSinceEpoch();
    if (info.expire > 0 && seconds >= info.expire)
        return AccountState::Expired;
    if (info.expire > 0 && info.expire - seconds <= kWarnBeforeEndSeconds)
        return AccountState::Warning;
    if (info.total > 0 && (info.total - info.used()) * 10 < info.total)
        return AccountState::Warning;
    return AccountState::Normal;
}

QString trafficText(const AccountInfo& info)
{
    if (!info.hasTraffic())
        return {};
    if (info.total == 0)
        return QStringLiteral("%1 ГБ, без ограничения").arg(gigabytes(info.used()));
    return QStringLiteral("%1 из %2 ГБ").arg(gigabytes(info.used()), gigabytes(info.total));
}

QString expiryText(const AccountInfo& info)
{
    if (info.expire <= 0)
        return {};
    return QStringLiteral("до ") +
           QDateTime::fromSecsSinceEpoch(info.expire).toLocalTime().toString(
               QStringLiteral("dd.MM.yyyy"));
}

QString accountNoticeSuffix(const AccountInfo& info, const QDateTime& now)
{
    if (accountState(info, now) == AccountState::Expired)
        return QStringLiteral(" · Подписка закончилась, продлите её в кабинете");
    QString suffix;
    if (info.total > 0)
        suffix += QStringLiteral(" · осталось %1 ГБ")
                      .arg(gigabytes(qMax<qint64>(0, info.total - info.used())));
    if (info.expire > 0)
        suffix += QStringLiteral(" · ") + expiryText(info);
    return suffix;
}

} // namespace subscription

#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// What a subscription service says about the account in its reply headers.
namespace subscription {

struct AccountInfo
{
    // Bytes; -1 when not given. A total of 0 means unlimited.
    qint64 upload = -1;
    qint64 download = -1;
    qint64 total = -1;
    // Unix seconds; 0 when the subscription has no end.
    qint64 expire = 0;
    // Hours between refreshes the service asks for; 0 when not given.
    int updateHours = 0;
    QString title;

    bool hasTraffic() const { return total >= 0; }
    qint64 used() const { return qMax<qint64>(0, upload) + qMax<qint64>(0, download); }
    bool isEmpty() const { return !hasTraffic() && expire == 0 && updateHours == 0 && title.isEmpty(); }
    bool operator==(const AccountInfo&) const = default;
};

// The headers "subscription-userinfo" ("upload=N; download=N; total=N; expire=UNIX"),
// "profile-update-interval" (hours) and "profile-title" (plain, or "base64:" and the text).
// Read tolerantly: unknown keys are skipped, spaces allowed, and a malformed header counts
// as absent without affecting the others.
AccountInfo parseAccountHeaders(const QByteArray& userInfo, const QByteArray& updateInterval,
                                const QByteArray& title);

// The stored form, kept sealed with the cached subscription; an unreadable one is empty.
QByteArray serializeAccount(const AccountInfo& info);
AccountInfo deserializeAccount(const QByteArray& data);

enum class AccountState { Normal, Warning, Expired };
// Expired after the end; a warning within 3 days of it or with less than 10% of the
// traffic left.
AccountState accountState(const AccountInfo& info, const QDateTime& now);

// "12,3 из 100,0 ГБ", or "12,3 ГБ, без ограничения" for an unlimited total; empty without
// traffic figures.
QString trafficText(const AccountInfo& info);
// "до 31.12.2026"; empty without an end.
QString expiryText(const AccountInfo& info);
// What follows the notice after an update: " · осталось 87,7 ГБ · до 31.12.2026", or the
// expiry message once the end has passed; empty when nothing is known.
QString accountNoticeSuffix(const AccountInfo& info, const QDateTime& now);

} // namespace subscription

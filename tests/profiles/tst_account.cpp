// What a subscription service says about the account: the reply headers as read, and what
// the window makes of them.

#include "profiles/account.h"
#include "tests/support/testenv.h"

#include <QTest>

using subscription::AccountInfo;
using subscription::AccountState;

class AccountTest : public QObject
{
    Q_OBJECT

private slots:
    void headers_data() { testenv::addRowsFromFile("account-headers.tsv", 10); }
    void headers();
    void shown_data() { testenv::addRowsFromFile("account-shown.tsv", 7); }
    void shown();
    void storedFormRoundTrips();
};

void AccountTest::headers()
{
    QFETCH(QStringList, row);
    const AccountInfo info =
        subscription::parseAccountHeaders(row[1].toUtf8(), row[2].toUtf8(), row[3].toUtf8());
    QCOMPARE(info.upload, row[4].toLongLong());
    QCOMPARE(info.download, row[5].toLongLong());
    QCOMPARE(info.total, row[6].toLongLong());
    QCOMPARE(info.expire, row[7].toLongLong());
    QCOMPARE(info.updateHours, row[8].toInt());
    QCOMPARE(info.title, row[9]);
}

void AccountTest::shown()
{
    QFETCH(QStringList, row);
    const qint64 daysLeft = row[3].toLongLong();
    const QDateTime now = QDateTime::currentDateTime();
    AccountInfo info;
    info.download = row[1].toLongLong();
    info.total = row[2].toLongLong();
    if (daysLeft != 0)
        info.expire = now.addDays(daysLeft).toSecsSinceEpoch();
    QCOMPARE(subscription::trafficText(info), row[4]);
    const QStringList states{"normal", "warning", "expired"};
    QCOMPARE(states.value(int(subscription::accountState(info, now))), row[5]);
    const QString end =
        daysLeft != 0
            ? QStringLiteral("до ") + now.addDays(daysLeft).toString(QStringLiteral("dd.MM.yyyy"))
            : QString();
    QCOMPARE(subscription::expiryText(info), end);
    QCOMPARE(subscription::accountNoticeSuffix(info, now),
             row[6].replace(QStringLiteral("{end}"), end));
}

void AccountTest::storedFormRoundTrips()
{
    const AccountInfo info = subscription::parseAccountHeaders(
        "upload=1; download=2; total=3; expire=1893456000", "12", "base64:0J7RgNCy0LjQug==");
    QCOMPARE(subscription::deserializeAccount(subscription::serializeAccount(info)), info);
    QVERIFY(subscription::deserializeAccount("not json").isEmpty());
}

QTEST_GUILESS_MAIN(AccountTest)
#include "tst_account.moc"

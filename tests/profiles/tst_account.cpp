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
    void headers_data();
    void headers();
    void shown_data();
    void shown();
    void storedFormRoundTrips();
};

void AccountTest::headers_data()
{
    testenv::addRowsFromFile("account-headers.tsv", 10);
}

void AccountTest::headers()
{
    QFETCH(QStringList, row);
    const AccountInfo info = subscription::parseAccountHeaders(row[1].toUtf8(), row[2].toUtf8(),
                                                               row[3].toUtf8());
    QCOMPARE(info.upload, row[4].toLongLong());
    QCOMPARE(info.download, row[5].toLongLong());
    QCOMPARE(info.total, row[6].toLongLong());
    QCOMPARE(info.expire, row[7].toLongLong());
    QCOMPARE(info.updateHours, row[8].toInt());
    QCOMPARE(info.title, row[9]);
}

void AccountTest::shown_data()
{
    QTest::addColumn<qint64>("used");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<qint64>("daysLeft"); // 0: no end
    QTest::addColumn<QString>("traffic");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("suffix");

    constexpr qint64 gb = 1024LL * 1024 * 1024;
    // clang-format off
    const int normal = int(AccountState::Normal), warning = int(AccountState::Warning), expired = int(AccountState::Expired);
    QTest::newRow("plenty left, no end") << 12 * gb + gb / 3 << 100 * gb << 0LL << "12,3 из 100,0 ГБ" << normal << " · осталось 87,7 ГБ";
    QTest::newRow("unlimited") << 5 * gb << 0LL << 0LL << "5,0 ГБ, без ограничения" << normal << "";
    QTest::newRow("just over 10% left") << 89 * gb << 100 * gb << 0LL << "89,0 из 100,0 ГБ" << normal << " · осталось 11,0 ГБ";
    QTest::newRow("under 10% left") << 91 * gb << 100 * gb << 0LL << "91,0 из 100,0 ГБ" << warning << " · осталось 9,0 ГБ";
    QTest::newRow("used past the total") << 120 * gb << 100 * gb << 0LL << "120,0 из 100,0 ГБ" << warning << " · осталось 0,0 ГБ";
    QTest::newRow("four days left") << 0LL << 100 * gb << 4LL << "0,0 из 100,0 ГБ" << normal << " · осталось 100,0 ГБ · {end}";
    QTest::newRow("two days left") << 0LL << 100 * gb << 2LL << "0,0 из 100,0 ГБ" << warning << " · осталось 100,0 ГБ · {end}";
    QTest::newRow("ended") << 0LL << 100 * gb << -1LL << "0,0 из 100,0 ГБ" << expired << " · Подписка закончилась, продлите её в кабинете";
    QTest::newRow("no traffic figures") << -1LL << -1LL << 0LL << "" << normal << "";
    // clang-format on
}

void AccountTest::shown()
{
    QFETCH(qint64, used);
    QFETCH(qint64, total);
    QFETCH(qint64, daysLeft);
    QFETCH(QString, traffic);
    QFETCH(int, state);
    QFETCH(QString, suffix);

    const QDateTime now = QDateTime::currentDateTime();
    AccountInfo info;
    info.download = used;
    info.total = total;
    if (daysLeft != 0)
        info.expire = now.addDays(daysLeft).toSecsSinceEpoch();
    QCOMPARE(subscription::trafficText(info), traffic);
    QCOMPARE(int(subscription::accountState(info, now)), state);
    const QString end = daysLeft != 0 ? QStringLiteral("до ") + now.addDays(daysLeft).toString(QStringLiteral("dd.MM.yyyy")) : QString();
    QCOMPARE(subscription::expiryText(info), end);
    QCOMPARE(subscription::accountNoticeSuffix(info, now), QString(suffix).replace(QStringLiteral("{end}"), end));
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

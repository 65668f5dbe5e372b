// The pure rules of subscription links and of the installer-token redeem.

#include "profiles/redeem.h"
#include "profiles/subscription.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QTest>

class SubscriptionRulesTest : public QObject
{
    Q_OBJECT

private slots:
    void typedLink_data();
    void typedLink();
    void redeemedLink_data();
    void redeemedLink();
    void bootstrapToken_data();
    void bootstrapToken();
    void redeemReplyMember_data();
    void redeemReplyMember();
};

void SubscriptionRulesTest::typedLink_data()
{
    // clang-format off
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("accepted"); // empty: refused

    QTest::newRow("https") << "https://sub.example.net/s/abc" << "https://sub.example.net/s/abc";
    QTest::newRow("white space around") << " \t https://sub.example.net/s/abc\r\n" << "https://sub.example.net/s/abc";
    QTest::newRow("scheme in capitals") << "HTTPS://Sub.Example.NET/s/abc" << "https://sub.example.net/s/abc";
    QTest::newRow("port and query") << "https://sub.example.net:8443/s/a?b=c d" << "https://sub.example.net:8443/s/a?b=c%20d";
    QTest::newRow("plain http") << "http://sub.example.net/s/abc" << "";
    QTest::newRow("no host") << "https:///s/abc" << "";
    QTest::newRow("user name") << "https://user@sub.example.net/s/abc" << "";
    QTest::newRow("user and password") << "https://user:pw@sub.example.net/s/abc" << "";
    QTest::newRow("password only") << "https://:pw@sub.example.net/s/abc" << "";
    QTest::newRow("no scheme") << "sub.example.net/s/abc" << "";
    QTest::newRow("other scheme") << "ftp://sub.example.net/s/abc" << "";
    QTest::newRow("profile line") << "vless://id@sub.example.net:443#x" << "";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("bad port") << "https://sub.example.net:99999/s" << "";
    // clang-format on
}

void SubscriptionRulesTest::typedLink()
{
    QFETCH(QString, typed);
    QFETCH(QString, accepted);
    const QUrl link = subscription::parseLink(typed);
    QCOMPARE(link.isEmpty(), accepted.isEmpty());
    QCOMPARE(link.toString(QUrl::FullyEncoded), accepted);
}

void SubscriptionRulesTest::redeemedLink_data()
{
    // clang-format off
    QTest::addColumn<QString>("link");
    QTest::addColumn<bool>("accepted");

    // Addressed host: api.example.com.
    QTest::newRow("own host") << "https://api.example.com/s/abc" << true;
    QTest::newRow("own host, other port") << "https://api.example.com:8443/s/abc" << true;
    QTest::newRow("encoded path under /s/") << "https://api.example.com/%73/abc" << true;
    QTest::newRow("host in capitals, normalised") << "https://API.example.com/s/abc" << true;
    QTest::newRow("plain http") << "http://api.example.com/s/abc" << false;
    QTest::newRow("other host") << "https://api2.example.net/s/abc" << false;
    QTest::newRow("own host as a prefix") << "https://api.example.com.evil.net/s/abc" << false;
    QTest::newRow("subdomain of own host") << "https://x.api.example.com/s/abc" << false;
    QTest::newRow("user info") << "https://u@api.example.com/s/abc" << false;
    QTest::newRow("upper-case /S/") << "https://api.example.com/S/abc" << false;
    QTest::newRow("other path") << "https://api.example.com/sub/abc" << false;
    QTest::newRow("/s without slash") << "https://api.example.com/s" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("no scheme") << "api.example.com/s/abc" << false;
    // clang-format on
}

void SubscriptionRulesTest::redeemedLink()
{
    QFETCH(QString, link);
    QFETCH(bool, accepted);
    QCOMPARE(redeem::isAcceptableLink(link, QStringLiteral("api.example.com")), accepted);
}

void SubscriptionRulesTest::bootstrapToken_data()
{
    // clang-format off
    QTest::addColumn<QString>("token");
    QTest::addColumn<bool>("accepted");

    const QString good = QStringLiteral("0123456789abcdef0123456789abcdef0123456789abcdef");
    QTest::newRow("48 lower-case hex digits") << good << true;
    QTest::newRow("47 digits") << good.left(47) << false;
    QTest::newRow("49 digits") << good + u'0' << false;
    QTest::newRow("upper case") << good.toUpper() << false;
    QTest::newRow("not hex") << QString(good).replace(0, 1, u'g') << false;
    QTest::newRow("trailing line break") << good + u'\n' << false;
    QTest::newRow("leading space") << u' ' + good << false;
    QTest::newRow("empty") << QString() << false;
    // clang-format on
}

void SubscriptionRulesTest::bootstrapToken()
{
    QFETCH(QString, token);
    QFETCH(bool, accepted);
    QCOMPARE(redeem::isBootstrapToken(token), accepted);
}

void SubscriptionRulesTest::redeemReplyMember_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("link");

    QTest::newRow("member") << QByteArray(R"({"ok":true,"subscription_url":"https://a/s/1"})")
                            << "https://a/s/1";
    QTest::newRow("not JSON") << QByteArray("https://a/s/1") << "";
    QTest::newRow("array") << QByteArray(R"(["https://a/s/1"])") << "";
    QTest::newRow("number") << QByteArray(R"({"subscription_url":5})") << "";
    QTest::newRow("missing") << QByteArray(R"({"url":"https://a/s/1"})") << "";
    QTest::newRow("nested") << QByteArray(R"({"data":{"subscription_url":"https://a/s/1"}})") << "";
    QTest::newRow("empty") << QByteArray() << "";
}

void SubscriptionRulesTest::redeemReplyMember()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, link);
    QCOMPARE(redeem::subscriptionUrlFromReply(body), link);
}

ORVIK_TEST_MAIN(SubscriptionRulesTest, QCoreApplication)
#include "tst_subscriptionrules.moc"

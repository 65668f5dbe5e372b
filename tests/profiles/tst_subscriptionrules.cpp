// The pure rules of subscription links and lines, and of the installer-token redeem.

#include "profiles/redeem.h"
#include "profiles/subscription.h"
#include "profiles/subscriptionbody.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QTest>

class SubscriptionRulesTest : public QObject
{
    Q_OBJECT

private slots:
    void rules_data() { testenv::addRowsFromFile("subscription-rules.tsv", 4); }
    void rules();
};

void SubscriptionRulesTest::rules()
{
    QFETCH(QStringList, row);
    const QString input = row[2]
                              .replace(QLatin1String("\\t"), QLatin1String("\t"))
                              .replace(QLatin1String("\\r"), QLatin1String("\r"))
                              .replace(QLatin1String("\\n"), QLatin1String("\n"));
    const QString& rule = row[1];
    const QString& expected = row[3];
    if (rule == QLatin1String("link")) {
        const QUrl link = subscription::parseLink(input);
        QCOMPARE(link.isEmpty(), expected.isEmpty());
        QCOMPARE(link.toString(QUrl::FullyEncoded), expected);
    } else if (rule == QLatin1String("redeemed")) {
        QCOMPARE(redeem::isAcceptableLink(input, QStringLiteral("api.example.com")),
                 expected == u'1');
    } else if (rule == QLatin1String("token")) {
        QCOMPARE(redeem::isBootstrapToken(input), expected == u'1');
    } else if (rule == QLatin1String("line")) {
        QCOMPARE(isProfileLine(input), expected == u'1');
    } else {
        QCOMPARE(rule, QStringLiteral("reply"));
        QCOMPARE(redeem::subscriptionUrlFromReply(input.toUtf8()), expected);
    }
}

ORVIK_TEST_MAIN(SubscriptionRulesTest, QCoreApplication)
#include "tst_subscriptionrules.moc"

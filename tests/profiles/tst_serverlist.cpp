// Server entries, the country guess, URI identity and the selection across list replacements.

#include "profiles/profileuri.h"
#include "profiles/serverlist.h"
#include "tests/support/testenv.h"

#include <QApplication>
#include <QTest>

class ServerListTest : public QObject
{
    Q_OBJECT

private slots:
    void rules_data() { testenv::addRowsFromFile("server-list.tsv", 5); }
    void rules();
    void entryHasExactlyTheEightKeys();
};

void ServerListTest::rules()
{
    QFETCH(QStringList, row);
    QVariantList list;
    for (const char* uri : {"hy2://a@one.example:443#one", "hy2://b@two.example:443#two",
                            "hy2://c@three.example:443#three", "hy2://b@two.example:443#two again"})
        list << makeServerEntry(testenv::parsedProfile(QString::fromLatin1(uri)));
    const QString& rule = row[1];
    if (rule == QLatin1String("country")) {
        QCOMPARE(detectCountryCode(row[2], row[3]), row[4]);
    } else if (rule == QLatin1String("fragment")) {
        QCOMPARE(uriWithoutFragment(row[2]), row[4]);
    } else if (rule == QLatin1String("restored")) {
        QCOMPARE(restoredSelectedRow(list, row[2]), row[4].toInt());
    } else {
        QCOMPARE(rule, QStringLiteral("contains"));
        QCOMPARE(listContainsServer(list, row[2]), row[4] == u'1');
        QVERIFY(!listContainsServer({}, row[2]));
    }
}

void ServerListTest::entryHasExactlyTheEightKeys()
{
    const ServerProfile profile = testenv::parsedProfile(
        QStringLiteral(u"trojan://pw@nl.example.net:8443?security=tls&sni=s#Нидерланды 1"));
    const QVariantMap expected{{"name", QStringLiteral(u"Нидерланды 1")},
                               {"endpoint", "nl.example.net:8443"},
                               {"uri", profile.uri},
                               {"countryCode", "NL"},
                               {"protocol", "Trojan · TCP · TLS"},
                               {"latency", -2},
                               {"pinging", false},
                               {"checkError", QString()}};
    QCOMPARE(makeServerEntry(profile), expected);
}

ORVIK_TEST_MAIN(ServerListTest, QApplication)
#include "tst_serverlist.moc"

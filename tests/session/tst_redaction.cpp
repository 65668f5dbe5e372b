#include "session/coreoutput.h"
#include "session/redaction.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>

Q_DECLARE_METATYPE(ServerProfile)

namespace {

const QString kHidden = QStringLiteral("[скрыто]");

ServerProfile realityProfile()
{
    ServerProfile profile;
    profile.kind = ProfileKind::VlessTcp;
    profile.credential = QStringLiteral("0f8e6e1c-1a4b-4c4e-9d4e-2b1f6a3c5d7e");
    profile.publicKey = QStringLiteral("SbVKOEMjK0sIlbwg4akyBg5mL5KZwwB-ed4eEE7YnRc");
    profile.shortId = QStringLiteral("6ba85179");
    profile.uri = QStringLiteral("vless://0f8e6e1c-1a4b-4c4e-9d4e-2b1f6a3c5d7e@vpn.example.com:443"
                                 "?security=reality&pbk=SbVKOEMjK0sIlbwg4akyBg5mL5KZwwB-ed4eEE7YnRc"
                                 "&sid=6ba85179#Helsinki");
    return profile;
}

ServerProfile hysteriaProfile()
{
    ServerProfile profile;
    profile.credential = QStringLiteral("user:pass");
    profile.obfsPassword = QStringLiteral("salamander-secret");
    return profile;
}

} // namespace

class TestRedaction : public QObject
{
    Q_OBJECT

private slots:
    void redact_data();
    void redact();
    void coreLogKeepsTheLast4000Characters();
    void coreLogDecodesInvalidUtf8AsReplacement();
};

void TestRedaction::redact_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<ServerProfile>("profile");
    QTest::addColumn<QString>("expected");

    const ServerProfile reality = realityProfile();
    const ServerProfile empty;

    // Secrets.
    QTest::newRow("credential") << QStringLiteral(
                                       "user 0f8e6e1c-1a4b-4c4e-9d4e-2b1f6a3c5d7e rejected")
                                << reality << QStringLiteral("user [скрыто] rejected");
    QTest::newRow("every occurrence")
        << QStringLiteral("user:pass, again user:pass") << hysteriaProfile()
        << QStringLiteral("[скрыто], again [скрыто]");
    QTest::newRow("the whole URI becomes one marker")
        << QStringLiteral("dial ") + reality.uri + QStringLiteral(" failed") << reality
        << QStringLiteral("dial [скрыто] failed");
    QTest::newRow("obfs password") << QStringLiteral("obfs salamander-secret") << hysteriaProfile()
                                   << QStringLiteral("obfs [скрыто]");
    QTest::newRow("public key and short id")
        << QStringLiteral("pbk=SbVKOEMjK0sIlbwg4akyBg5mL5KZwwB-ed4eEE7YnRc sid=6ba85179") << reality
        << QStringLiteral("pbk=[скрыто] sid=[скрыто]");
    QTest::newRow("case-sensitive")
        << QStringLiteral("0F8E6E1C-1A4B-4C4E-9D4E-2B1F6A3C5D7E") << reality
        << QStringLiteral("0F8E6E1C-1A4B-4C4E-9D4E-2B1F6A3C5D7E");
    QTest::newRow("empty fields replace nothing")
        << QStringLiteral("plain text") << empty << QStringLiteral("plain text");

    // Colour codes.
    QTest::newRow("colour codes removed") << QStringLiteral("\x1b[31mERROR\x1b[0m dial tcp")
                                          << empty << QStringLiteral("ERROR dial tcp");
    QTest::newRow("compound colour code")
        << QStringLiteral("\x1b[1;33mWARN\x1b[m x") << empty << QStringLiteral("WARN x");
    QTest::newRow("other escape sequences stay")
        << QStringLiteral("\x1b[2K line") << empty << QStringLiteral("\x1b[2K line");

    // Subscription links.
    QTest::newRow("subscription link")
        << QStringLiteral("fetch https://sub.example.com/s/AbC123xyz done") << empty
        << QStringLiteral("fetch [подписка] done");
    QTest::newRow("link without /s/ stays")
        << QStringLiteral("see https://example.com/docs/page") << empty
        << QStringLiteral("see https://example.com/docs/page");
    QTest::newRow("a secret inside a link is hidden, then the link")
        << QStringLiteral("https://sub.example.com/s/user:pass") << hysteriaProfile()
        << QStringLiteral("[подписка]");
    QTest::newRow("coloured link")
        << QStringLiteral("\x1b[36mhttps://sub.example.com/s/tok\x1b[0m ok") << empty
        << QStringLiteral("[подписка] ok");

    // Length.
    QTest::newRow("3000 characters kept whole")
        << QString(3000, QLatin1Char('a')) << empty << QString(3000, QLatin1Char('a'));
    QTest::newRow("longer text: the last 3000")
        << QString(500, QLatin1Char('a')) + QString(3000, QLatin1Char('b')) << empty
        << QString(3000, QLatin1Char('b'));
    // Redacting before cutting: a secret across the cut is never left half visible.
    QTest::newRow("secret across the 3000-character cut")
        << QString(20, QLatin1Char('a')) + reality.credential + QString(2980, QLatin1Char('z'))
        << reality << QString(12, QLatin1Char('a')) + kHidden + QString(2980, QLatin1Char('z'));
    QTest::newRow("colour codes removed before cutting")
        << QString(3000, QLatin1Char('c')) + QStringLiteral("\x1b[0m").repeated(10) << empty
        << QString(3000, QLatin1Char('c'));
    QTest::newRow("the cut never splits a surrogate pair")
        << QStringLiteral("x") + QString(1, QChar(0xD83D)) + QString(1, QChar(0xDE00)) +
               QString(2999, QLatin1Char('d'))
        << empty << QString(2999, QLatin1Char('d'));
}

void TestRedaction::redact()
{
    QFETCH(QString, text);
    QFETCH(ServerProfile, profile);
    QFETCH(QString, expected);

    QCOMPARE(redactCoreText(text, profile), expected);
}

void TestRedaction::coreLogKeepsTheLast4000Characters()
{
    const ServerProfile profile = realityProfile();
    CoreOutputTail coreLog;
    QString everything;
    for (int chunk = 0; chunk < 10; ++chunk) {
        const QByteArray bytes = QByteArray(1000, char('a' + chunk));
        everything += QString::fromLatin1(bytes);
        coreLog.append(bytes, profile);
    }
    QCOMPARE(coreLog.text(profile), everything.right(4000));

    // A failure message built from a prefix and the log keeps its last 3000 characters, so it
    // begins inside the log.
    const QString message =
        redactCoreText(QStringLiteral("VPN-ядро остановилось. ") + coreLog.text(profile), profile);
    QCOMPARE(message, everything.right(3000));

    // A secret that arrives in two reads is still found; a flood leaves the same bounded tail.
    const QByteArray secret = profile.credential.toUtf8();
    coreLog.append("auth " + secret.left(5), profile);
    coreLog.append(secret.mid(5) + " failed\n", profile);
    QVERIFY(coreLog.text(profile).endsWith(QStringLiteral("auth [скрыто] failed\n")));
    for (int line = 0; line < 100000; ++line)
        coreLog.append("flood " + QByteArray::number(line) + '\n', profile);
    QVERIFY(coreLog.text(profile).endsWith(QStringLiteral("flood 99998\nflood 99999\n")));
    QCOMPARE(coreLog.text(profile).size(), kCoreLogLimit);
}

void TestRedaction::coreLogDecodesInvalidUtf8AsReplacement()
{
    QString coreLog;
    appendCoreOutput(coreLog, QByteArray("ok \xff\xfe end"), ServerProfile());
    QVERIFY(coreLog.startsWith(QStringLiteral("ok ")));
    QVERIFY(coreLog.endsWith(QStringLiteral(" end")));
    QVERIFY(coreLog.contains(QChar::ReplacementCharacter));
}

ORVIK_TEST_MAIN(TestRedaction, QCoreApplication)
#include "tst_redaction.moc"

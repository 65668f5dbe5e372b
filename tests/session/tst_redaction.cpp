#include "session/redaction.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>

Q_DECLARE_METATYPE(ServerProfile)

namespace {

const QString kHidden = QStringLiteral("[скрыто]");

ServerProfile realityProfile()
{
    return testenv::parsedProfile(QStringLiteral(
        "vless://0f8e6e1c-1a4b-4c4e-9d4e-2b1f6a3c5d7e@vpn.example.com:443?security=reality&sni=s"
        "&pbk=SbVKOEMjK0sIlbwg4akyBg5mL5KZwwB-ed4eEE7YnRc&sid=6ba85179#Helsinki"));
}

ServerProfile hysteriaProfile()
{
    return testenv::parsedProfile(
        QStringLiteral("hy2://user:pass@h:443?obfs-password=salamander-secret"));
}

ServerProfile profileWith(ProfileKind kind, const QString& credential, const QString& shortId = {})
{
    ServerProfile profile;
    profile.kind = kind;
    profile.credential = credential;
    profile.shortId = shortId;
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
    void coreLogRedactsEachChunk();
    void coreLogHidesASecretSplitAcrossReads();
};

void TestRedaction::redact_data()
{
    // clang-format off
    QTest::addColumn<QString>("text");
    QTest::addColumn<ServerProfile>("profile");
    QTest::addColumn<QString>("expected");

    const ServerProfile reality = realityProfile();
    const ServerProfile empty;

    // Secrets.
    QTest::newRow("credential") << QStringLiteral( "user 0f8e6e1c-1a4b-4c4e-9d4e-2b1f6a3c5d7e rejected") << reality << QStringLiteral("user [скрыто] rejected");
    QTest::newRow("every occurrence") << QStringLiteral("user:pass, again user:pass") << hysteriaProfile() << QStringLiteral("[скрыто], again [скрыто]");
    QTest::newRow("the whole URI becomes one marker") << QStringLiteral("dial ") + reality.uri + QStringLiteral(" failed") << reality << QStringLiteral("dial [скрыто] failed");
    QTest::newRow("obfs password") << QStringLiteral("obfs salamander-secret") << hysteriaProfile() << QStringLiteral("obfs [скрыто]");
    QTest::newRow("public key and short id") << QStringLiteral("pbk=SbVKOEMjK0sIlbwg4akyBg5mL5KZwwB-ed4eEE7YnRc sid=6ba85179") << reality << QStringLiteral("pbk=[скрыто] sid=[скрыто]");
    // Forms the client hands to a core, or a core prints back.
    const ServerProfile braced = profileWith(
        ProfileKind::VlessTcp, QStringLiteral("{0F8E6E1C-1A4B-4C4E-9D4E-2B1F6A3C5D7E}"));
    const ServerProfile trojan =
        profileWith(ProfileKind::TrojanTcp, QStringLiteral("pa\"ss\\wörd<1>"));
    const ServerProfile hysteria =
        profileWith(ProfileKind::Hysteria2, QStringLiteral("alice:s3cr3t-pass"));
    const ServerProfile shortId =
        profileWith(ProfileKind::VlessTcp, QString(), QStringLiteral("ab"));
    QTest::newRow("braced id printed bare") << QStringLiteral("id 0F8E6E1C-1A4B-4C4E-9D4E-2B1F6A3C5D7E bad") << braced << QStringLiteral("id [скрыто] bad");
    QTest::newRow("id in other case") << QStringLiteral("id 0F8E6E1C-1A4B-4C4E-9D4E-2B1F6A3C5D7E") << reality << QStringLiteral("id [скрыто]");
    QTest::newRow("braced id in lower case") << QStringLiteral("{0f8e6e1c-1a4b-4c4e-9d4e-2b1f6a3c5d7e}") << braced << QStringLiteral("[скрыто]");
    QTest::newRow("JSON-escaped password") << QStringLiteral("\"password\":\"pa\\\"ss\\\\wörd<1>\"") << trojan << QStringLiteral("\"password\":\"[скрыто]\"");
    QTest::newRow("Go JSON-escaped password") << QStringLiteral("pa\\\"ss\\\\wörd\\u003c1\\u003e") << trojan << kHidden;
    QTest::newRow("ASCII JSON-escaped password") << QStringLiteral("pa\\\"ss\\\\w\\u00F6rd\\u003C1\\u003E") << trojan << kHidden;
    QTest::newRow("percent-encoded password") << QStringLiteral("x=pa%22ss%5cw%C3%B6rd%3C1%3E") << trojan << QStringLiteral("x=[скрыто]");
    QTest::newRow("hysteria2 password alone") << QStringLiteral("auth s3cr3t-pass") << hysteria << QStringLiteral("auth [скрыто]");
    QTest::newRow("hysteria2 user alone, a short whole token") << QStringLiteral("user alice, malice") << hysteria << QStringLiteral("user [скрыто], malice");
    QTest::newRow("short id inside words stays") << QStringLiteral("tab stable") << shortId << QStringLiteral("tab stable");
    QTest::newRow("short id as a token") << QStringLiteral("sid=AB, ab.") << shortId << QStringLiteral("sid=[скрыто], [скрыто].");
    QTest::newRow("empty fields replace nothing") << QStringLiteral("plain text") << empty << QStringLiteral("plain text");

    // Colour codes.
    QTest::newRow("colour codes removed") << QStringLiteral("\x1b[31mERROR\x1b[0m dial tcp") << empty << QStringLiteral("ERROR dial tcp");
    QTest::newRow("compound colour code") << QStringLiteral("\x1b[1;33mWARN\x1b[m x") << empty << QStringLiteral("WARN x");
    QTest::newRow("other escape sequences stay") << QStringLiteral("\x1b[2K line") << empty << QStringLiteral("\x1b[2K line");

    // Subscription links.
    QTest::newRow("subscription link") << QStringLiteral("fetch https://sub.example.com/s/AbC123xyz done") << empty << QStringLiteral("fetch [подписка] done");
    QTest::newRow("link without /s/ stays") << QStringLiteral("see https://example.com/docs/page") << empty << QStringLiteral("see https://example.com/docs/page");
    QTest::newRow("a secret inside a link is hidden, then the link") << QStringLiteral("https://sub.example.com/s/user:pass") << hysteriaProfile() << QStringLiteral("[подписка]");
    QTest::newRow("coloured link") << QStringLiteral("\x1b[36mhttps://sub.example.com/s/tok\x1b[0m ok") << empty << QStringLiteral("[подписка] ok");

    // Length.
    QTest::newRow("3000 characters kept whole") << QString(3000, QLatin1Char('a')) << empty << QString(3000, QLatin1Char('a'));
    QTest::newRow("longer text: the last 3000") << QString(500, QLatin1Char('a')) + QString(3000, QLatin1Char('b')) << empty << QString(3000, QLatin1Char('b'));
    // Redacting before cutting: a secret across the cut is never left half visible.
    QTest::newRow("secret across the 3000-character cut") << QString(20, QLatin1Char('a')) + reality.credential + QString(2980, QLatin1Char('z')) << reality << QString(12, QLatin1Char('a')) + kHidden + QString(2980, QLatin1Char('z'));
    QTest::newRow("colour codes removed before cutting") << QString(3000, QLatin1Char('c')) + QStringLiteral("\x1b[0m").repeated(10) << empty << QString(3000, QLatin1Char('c'));
    QTest::newRow("the cut never splits a surrogate pair") << QStringLiteral("x") + QString(1, QChar(0xD83D)) + QString(1, QChar(0xDE00)) + QString(2999, QLatin1Char('d')) << empty << QString(2999, QLatin1Char('d'));
    // clang-format on
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
    QString coreLog;
    CoreOutputStream stream;
    QString everything;
    for (int chunk = 0; chunk < 10; ++chunk) {
        const QByteArray bytes = QByteArray(1000, char('a' + chunk));
        everything += QString::fromLatin1(bytes);
        appendCoreOutput(coreLog, stream, bytes, ServerProfile());
    }
    QCOMPARE(coreLog.size(), kCoreLogLimit);
    QCOMPARE(coreLog, everything.right(4000));

    // A failure message built from a prefix and the log keeps its last 3000 characters, so it
    // begins inside the log.
    const QString message =
        redactCoreText(QStringLiteral("VPN-ядро остановилось. ") + coreLog, ServerProfile());
    QCOMPARE(message, everything.right(3000));
}

// Each chunk is redacted; bytes that are not UTF-8 become replacement characters.
void TestRedaction::coreLogRedactsEachChunk()
{
    const ServerProfile profile = realityProfile();
    QString coreLog;
    CoreOutputStream stream;
    appendCoreOutput(coreLog, stream,
                     "\x1b[31mauth failed for 0f8e6e1c-1a4b-4c4e-9d4e-2b1f6a3c5d7e\x1b[0m\n",
                     profile);
    appendCoreOutput(coreLog, stream, "fetching https://sub.example.com/s/abc \xff\n", profile);
    QCOMPARE(coreLog, QStringLiteral("auth failed for [скрыто]\nfetching [подписка] \uFFFD\n"));

    // A chunk longer than a failure text contributes only its redacted last 3000 characters.
    appendCoreOutput(coreLog, stream, QByteArray(5000, 'q'), profile);
    QCOMPARE(coreLog, QStringLiteral("auth failed for [скрыто]\nfetching [подписка] \uFFFD\n") +
                          QString(3000, QLatin1Char('q')));
}

void TestRedaction::coreLogHidesASecretSplitAcrossReads()
{
    const ServerProfile profile =
        profileWith(ProfileKind::TrojanTcp, QStringLiteral("пароль-секрет"));
    const QByteArray line = QStringLiteral("auth пароль-секрет failed\n").toUtf8();
    // Every cut, also inside a two-byte letter.
    for (qsizetype cut = 1; cut < line.size(); ++cut) {
        QString coreLog;
        CoreOutputStream stream;
        appendCoreOutput(coreLog, stream, line.left(cut), profile);
        appendCoreOutput(coreLog, stream, line.mid(cut), profile);
        QCOMPARE(coreLog, QStringLiteral("auth [скрыто] failed\n"));
    }
    // What a core left unfinished is handed on when it ends.
    QString coreLog;
    CoreOutputStream stream;
    appendCoreOutput(coreLog, stream, "last words: пар", profile);
    flushCoreOutput(coreLog, stream, profile);
    QCOMPARE(coreLog, QStringLiteral("last words: пар"));
}

ORVIK_TEST_MAIN(TestRedaction, QCoreApplication)
#include "tst_redaction.moc"

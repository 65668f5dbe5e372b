#include "session/redaction.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {

ServerProfile profileWith(ProfileKind kind, const QString& credential, const QString& shortId = {})
{
    ServerProfile profile;
    profile.kind = kind;
    profile.credential = credential;
    profile.shortId = shortId;
    return profile;
}

// The profiles the table in tests/data/redaction.tsv names.
ServerProfile namedProfile(const QString& name)
{
    if (name == "reality")
        return testenv::parsedProfile(
            "vless://"
            "0f8e6e1c-1a4b-4c4e-9d4e-2b1f6a3c5d7e@vpn.example.com:443?security=reality&sni=s"
            "&pbk=SbVKOEMjK0sIlbwg4akyBg5mL5KZwwB-ed4eEE7YnRc&sid=6ba85179#Helsinki");
    if (name == "hysteria")
        return testenv::parsedProfile("hy2://user:pass@h:443?obfs-password=salamander-secret");
    if (name == "braced")
        return profileWith(ProfileKind::VlessTcp, "{0F8E6E1C-1A4B-4C4E-9D4E-2B1F6A3C5D7E}");
    if (name == "trojan")
        return profileWith(ProfileKind::TrojanTcp, "pa\"ss\\wörd<1>");
    if (name == "alice")
        return profileWith(ProfileKind::Hysteria2, "alice:s3cr3t-pass");
    if (name == "shortid")
        return profileWith(ProfileKind::VlessTcp, {}, "ab");
    return {};
}

// "␛" is the escape character, "{N*c}" the character c N times.
QString expanded(QString text)
{
    text.replace(QChar(0x241B), QChar(0x1b));
    const QRegularExpression repeat(R"(\{(\d+)\*(.)\})");
    for (QRegularExpressionMatch m; (m = repeat.match(text)).hasMatch();)
        text.replace(m.capturedStart(), m.capturedLength(),
                     m.captured(2).repeated(m.captured(1).toInt()));
    return text;
}

} // namespace

class TestRedaction : public QObject
{
    Q_OBJECT

private slots:
    void redact_data() { testenv::addRowsFromFile("redaction.tsv", 4); }
    void redact();
    void coreLogKeepsTheLast4000Characters();
    void coreLogRedactsEachChunk();
    void coreLogHidesASecretSplitAcrossReads();
};

void TestRedaction::redact()
{
    QFETCH(QStringList, row);
    QCOMPARE(redactCoreText(expanded(row[2]), namedProfile(row[1])), expanded(row[3]));
}

void TestRedaction::coreLogKeepsTheLast4000Characters()
{
    QString coreLog;
    CoreOutputStream stream;
    QString everything;
    for (char letter = 'a'; letter < 'k'; ++letter) {
        everything += QString(1000, QLatin1Char(letter));
        appendCoreOutput(coreLog, stream, QByteArray(1000, letter), {});
    }
    QCOMPARE(coreLog, everything.right(4000));
    // A failure text of a prefix and the log keeps its last 3000 characters, inside the log.
    QCOMPARE(redactCoreText("VPN-ядро остановилось. " + coreLog, {}), everything.right(3000));
}

// Each chunk is redacted; bytes that are not UTF-8 become replacement characters.
void TestRedaction::coreLogRedactsEachChunk()
{
    const ServerProfile profile = namedProfile("reality");
    QString coreLog;
    CoreOutputStream stream;
    appendCoreOutput(coreLog, stream,
                     "\x1b[31mauth failed for 0f8e6e1c-1a4b-4c4e-9d4e-2b1f6a3c5d7e\x1b[0m\n",
                     profile);
    appendCoreOutput(coreLog, stream, "fetching https://sub.example.com/s/abc \xff\n", profile);
    const QString redacted = "auth failed for [скрыто]\nfetching [подписка] \uFFFD\n";
    QCOMPARE(coreLog, redacted);
    // A chunk longer than a failure text contributes only its redacted last 3000 characters.
    appendCoreOutput(coreLog, stream, QByteArray(5000, 'q'), profile);
    QCOMPARE(coreLog, redacted + QString(3000, 'q'));
}

void TestRedaction::coreLogHidesASecretSplitAcrossReads()
{
    const ServerProfile profile = profileWith(ProfileKind::TrojanTcp, "пароль-секрет");
    const QByteArray line = QString("auth пароль-секрет failed\n").toUtf8();
    // Every cut, also inside a two-byte letter.
    for (qsizetype cut = 1; cut < line.size(); ++cut) {
        QString coreLog;
        CoreOutputStream stream;
        appendCoreOutput(coreLog, stream, line.left(cut), profile);
        appendCoreOutput(coreLog, stream, line.mid(cut), profile);
        QCOMPARE(coreLog, QString("auth [скрыто] failed\n"));
    }
    // What a core left unfinished is handed on when it ends.
    QString coreLog;
    CoreOutputStream stream;
    appendCoreOutput(coreLog, stream, "last words: пар", profile);
    flushCoreOutput(coreLog, stream, profile);
    QCOMPARE(coreLog, QString("last words: пар"));
}

ORVIK_TEST_MAIN(TestRedaction, QCoreApplication)
#include "tst_redaction.moc"

#include "profiles/subscriptionbody.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>

namespace {

const QByteArray kLines = "vless://a@h:1?x=~~~>>>#Сервер\n"
                          "trojan://p@h:2#Второй ???\n"
                          "hy2://k@h:3\n";
const QStringList kPieces = QString::fromUtf8(kLines).split(u'\n', Qt::SkipEmptyParts);

// Inserts `separator` after every `width` characters, the way mail-style encoders wrap.
QByteArray wrapped(const QByteArray& text, int width, const QByteArray& separator)
{
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); i += width)
        out += text.mid(i, width) + separator;
    return out;
}

} // namespace

class TestSubscriptionBody : public QObject
{
    Q_OBJECT

private slots:
    void split_data();
    void split();
};

void TestSubscriptionBody::split_data()
{
    // clang-format off
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("pieces");

    const QByteArray standard = kLines.toBase64();
    const QByteArray urlSafe = kLines.toBase64(QByteArray::Base64UrlEncoding);
    const QByteArray urlSafeBare = kLines.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    QTest::newRow("plain") << kLines << kPieces;
    QTest::newRow("crlf") << QByteArray(kLines).replace("\n", "\r\n") << kPieces;
    QTest::newRow("surrounding white space") << QByteArray(" \t\r\n\v\f") + kLines + QByteArray("\f\v\n\r\t ") << kPieces;
    QTest::newRow("empty lines dropped") << QByteArray("\n\nvless://a\n\n\r\n\ntrojan://b\n") << QStringList{"vless://a", "trojan://b"};
    QTest::newRow("blank line kept for the filter") << QByteArray("vless://a\n  \ntrojan://b") << QStringList{"vless://a", "  ", "trojan://b"};
    QTest::newRow("lone cr is not a break") << QByteArray("vless://a\rtrojan://b\r\nhy2://c") << QStringList{"vless://a\rtrojan://b", "hy2://c"};
    QTest::newRow("cr cr lf keeps one cr") << QByteArray("vless://a\r\r\nhy2://c") << QStringList{"vless://a\r", "hy2://c"};

    QTest::newRow("base64") << standard << kPieces;
    QTest::newRow("base64 wrapped lf") << wrapped(standard, 76, "\n") << kPieces;
    QTest::newRow("base64 wrapped crlf indented") << wrapped(standard, 20, "\r\n  ") << kPieces;
    QTest::newRow("base64 surrounded by white space") << QByteArray("\n\t ") + standard + QByteArray(" \r\n") << kPieces;
    QTest::newRow("url-safe padded") << urlSafe << kPieces;
    QTest::newRow("url-safe unpadded") << urlSafeBare << kPieces;
    QTest::newRow("url-safe wrapped") << wrapped(urlSafeBare, 64, "\r\n") << kPieces;
    QTest::newRow("base64 of crlf lines") << QByteArray(kLines).replace("\n", "\r\n").toBase64() << kPieces;
    QTest::newRow("base64 with comments and blank lines") << QByteArray("#title: Orvik\r\n\r\nvless://a\r\n  # trojan://p@h:2\r\n").toBase64() << QStringList{"#title: Orvik", "vless://a", "  # trojan://p@h:2"};
    // "://" anywhere keeps the body as it is, even when the other lines look like base64.
    QTest::newRow("plain with base64-looking line") << standard + "\nhy2://k@h:3" << QStringList{QString::fromLatin1(standard), "hy2://k@h:3"};
    QTest::newRow("empty") << QByteArray() << QStringList();
    QTest::newRow("white space only") << QByteArray(" \r\n\t\n") << QStringList();
    // clang-format on
}

void TestSubscriptionBody::split()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, pieces);
    QCOMPARE(splitSubscriptionBody(body), pieces);
}

ORVIK_TEST_MAIN(TestSubscriptionBody, QCoreApplication)
#include "tst_subscriptionbody.moc"

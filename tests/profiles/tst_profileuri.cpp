#include "profiles/profileuri.h"
#include "tests/profiles/profilefields.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QUrlQuery>

namespace {

// Puts a VLESS id, the same in capitals and a REALITY key in place of "{ID}", "{UID}" and
// "{KEY}" (QString::arg would also take the URIs' percent escapes for place markers).
QString withIds(QString text)
{
    const QString id = QStringLiteral("4f2a8c1e-9b7d-4e3a-a1c5-6d8e0f2b3a79");
    return text.replace(QLatin1String("{ID}"), id)
        .replace(QLatin1String("{UID}"), id.toUpper())
        .replace(QLatin1String("{KEY}"),
                 QLatin1String("T6Kjg4wccAPAOW4_9cYuSpjpgagEyV4EFAq9fj7R_O4"));
}

} // namespace

class TestProfileUri : public QObject
{
    Q_OBJECT

private slots:
    void parse_data() { testenv::addRowsFromFile("profile-uris.tsv", 3); }
    void parse();
    void helpers_data() { testenv::addRowsFromFile("profile-helpers.tsv", 5); }
    void helpers();
};

// A refused line leaves the output alone; an accepted one has every field not listed at its
// default, and the same verdict comes without an error text.
void TestProfileUri::parse()
{
    QFETCH(QStringList, row);
    const QString uri = withIds(row[1]);
    ServerProfile sentinel;
    sentinel.name = QStringLiteral("untouched");
    ServerProfile out = sentinel;
    QString error = QStringLiteral("stale");
    const bool accepted =
        parseProfileUri(QStringLiteral(" \t") + uri + QStringLiteral("\r\n"), out, &error);
    ServerProfile again = sentinel;
    QCOMPARE(parseProfileUri(uri, again), accepted);
    QVERIFY(again == (accepted ? out : sentinel));
    if (!accepted) {
        QVERIFY(out == sentinel);
        QCOMPARE(error, row[2]);
        return;
    }
    QCOMPARE(error, QString());
    QCOMPARE(out.uri, uri);
    const QJsonObject fields = profileFields(out), defaults = profileFields({});
    QStringList set;
    for (auto field = fields.begin(); field != fields.end(); ++field) {
        if (field.key() == QLatin1String("kind") ||
            (field.key() != QLatin1String("uri") && field.value() != defaults[field.key()]))
            set << field.key() + u'=' + field.value().toVariant().toString();
    }
    QCOMPARE(set << QStringLiteral("label=") + protocolLabel(out), withIds(row[2]).split(u'|'));
}

void TestProfileUri::helpers()
{
    QFETCH(QStringList, row);
    if (row[1] == QLatin1String("range")) {
        const QStringList limits = row[3].split(u',');
        QCOMPARE(isValidRange(row[2], limits[0].toInt(), limits[1].toInt()), row[4] == u'1');
    } else if (row[1] == QLatin1String("label")) {
        ServerProfile profile;
        profile.kind = static_cast<ProfileKind>(row[2].toInt());
        QCOMPARE(protocolLabel(profile), row[4]);
    } else {
        const QUrlQuery query(QUrl(QStringLiteral("x://h:1?") + row[2], QUrl::TolerantMode));
        QCOMPARE(queryValue(query, row[3].toLatin1().constData()),
                 row[4].replace(QLatin1String("\\n"), QLatin1String("\n")));
    }
}

ORVIK_TEST_MAIN(TestProfileUri, QCoreApplication)
#include "tst_profileuri.moc"

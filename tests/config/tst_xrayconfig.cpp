#include "config/xrayconfig.h"
#include "tests/config/jsoncompare.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QJsonArray>

class TestXrayConfig : public QObject
{
    Q_OBJECT

private slots:
    void document_data() { testenv::addRowsFromFile("xray-config.tsv", 4); }
    void document();
};

void TestXrayConfig::document()
{
    QFETCH(QStringList, row);
    const QStringList adapter = row[2].split(u',');
    QJsonObject expected = jsonFile("xray-document.json");
    expected.insert(QStringLiteral("outbounds"), QJsonArray{jsonObject(row[3].toUtf8())});
    COMPARE_JSON(buildXrayConfig(testenv::parsedProfile(row[1]), QStringLiteral("203.0.113.5"),
                                 {adapter[0], adapter[1], adapter[2]}, 20002),
                 expected);
}

ORVIK_TEST_MAIN(TestXrayConfig, QCoreApplication)
#include "tst_xrayconfig.moc"

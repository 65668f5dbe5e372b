#include "config/singboxconfig.h"
#include "tests/config/jsoncompare.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>

namespace {

// Replaces the members named by "a/b" paths in the document.
QJsonObject patched(QJsonObject document, const QJsonObject& changes)
{
    for (auto change = changes.begin(); change != changes.end(); ++change) {
        const QStringList path = change.key().split(QLatin1Char('/'));
        if (path.size() == 1) {
            document.insert(path[0], change.value());
        } else {
            QJsonObject inner = document.value(path[0]).toObject();
            inner.insert(path[1], change.value());
            document.insert(path[0], inner);
        }
    }
    return document;
}

} // namespace

class TestSingBoxConfig : public QObject
{
    Q_OBJECT

private slots:
    // Each row states only what it changes in the document of a VLESS connection through an
    // Ethernet adapter without split tunnelling.
    void document_data() { testenv::addRowsFromFile("singbox-config.tsv", 8); }
    void document();
};

void TestSingBoxConfig::document()
{
    QFETCH(QStringList, row);
    const QStringList adapter = row[2].split(u',');
    const auto list = [](const QString& text) { return text.split(u',', Qt::SkipEmptyParts); };
    const QJsonObject actual =
        buildSingBoxConfig(testenv::parsedProfile(row[1]), QStringLiteral("203.0.113.5"),
                           {adapter[0], adapter[1], adapter[2]}, 20001, 20002, row[3] == u'1',
                           list(row[4]), list(row[5]), row[6] == u'1');
    COMPARE_JSON(actual, patched(jsonFile("singbox-connection.json"), jsonObject(row[7].toUtf8())));
}

ORVIK_TEST_MAIN(TestSingBoxConfig, QCoreApplication)
#include "tst_singboxconfig.moc"

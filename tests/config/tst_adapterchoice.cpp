#include "config/adapterchoice.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>

namespace {

// "a b", "-" for none, "''" for an empty text.
QStringList addresses(const QString& text)
{
    if (text == u'-')
        return {};
    return text.split(u' ').replaceInStrings(QStringLiteral("''"), QString());
}

} // namespace

class TestAdapterChoice : public QObject
{
    Q_OBJECT

private slots:
    void choose_data() { testenv::addRowsFromFile("adapter-choice.tsv", 3); }
    void choose();
};

void TestAdapterChoice::choose()
{
    QFETCH(QStringList, row);
    QList<AdapterCandidate> candidates;
    for (const QString& text : row[1].split(QStringLiteral("; "), Qt::SkipEmptyParts)) {
        const QStringList f = text.split(u'/');
        const QString flags = f.value(5);
        const auto medium = f[1] == QLatin1String("ethernet")   ? AdapterCandidate::Medium::Ethernet
                            : f[1] == QLatin1String("wireless") ? AdapterCandidate::Medium::Wireless
                                                                : AdapterCandidate::Medium::Other;
        candidates.append({f[0], medium, !flags.contains(QLatin1String("down")), addresses(f[3]),
                           addresses(f[4]), f[2].toUInt(),
                           !flags.contains(QLatin1String("software"))});
    }
    const PhysicalAdapter actual = choosePhysicalAdapter(candidates);
    QCOMPARE(QStringList({actual.interfaceName, actual.ipv4Address, actual.gateway}).join(u','),
             row[2].isEmpty() ? QStringLiteral(",,") : row[2]);
}

ORVIK_TEST_MAIN(TestAdapterChoice, QCoreApplication)
#include "tst_adapterchoice.moc"

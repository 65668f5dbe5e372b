#include "config/cores.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QFile>

class TestCores : public QObject
{
    Q_OBJECT

private slots:
    void minimumVersions();
    void readmeNamesTheMinimumVersions();
};

void TestCores::minimumVersions()
{
    QCOMPARE(coreMinimumVersion(Core::SingBox), QVersionNumber(1, 12, 0));
    QCOMPARE(coreMinimumVersion(Core::Xray), QVersionNumber(26, 6, 22));
}

// People install the cores themselves; the README is where they read which releases work.
void TestCores::readmeNamesTheMinimumVersions()
{
    QFile readme(QStringLiteral(ORVIK_SOURCE_DIR "/README.md"));
    QVERIFY(readme.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(readme.readAll());
    QVERIFY(text.contains(
        QStringLiteral("sing-box %1 or newer").arg(QLatin1String(kSingBoxMinimumVersion))));
    QVERIFY(
        text.contains(QStringLiteral("Xray %1 or newer").arg(QLatin1String(kXrayMinimumVersion))));
}

ORVIK_TEST_MAIN(TestCores, QCoreApplication)
#include "tst_cores.moc"

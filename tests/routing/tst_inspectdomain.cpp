#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTest>

// orvik-inspect domain, run as support staff run it.
class InspectDomainTest : public QObject
{
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
};

void InspectDomainTest::answers_data()
{
    // clang-format off
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("exitCode");

    QTest::newRow("URL") << QStringList({"domain", "https://user:pw@Mail.Example.com:8443/a?b#c"}) << "mail.example.com\n" << 0;
    QTest::newRow("wildcard") << QStringList({"domain", "*.example.ru"}) << "example.ru\n" << 0;
    QTest::newRow("Cyrillic") << QStringList({"domain", "Пример.РФ"}) << "xn--e1afmkfd.xn--p1ai\n" << 0;
    QTest::newRow("misplaced wildcard") << QStringList({"domain", "a.*.example.ru"}) << "Wildcard допустим только в начале: *.example.ru.\n" << 1;
    QTest::newRow("address") << QStringList({"domain", "[2001:db8::1]"}) << "IP-адрес нельзя добавить как домен.\n" << 1;
    QTest::newRow("single label") << QStringList({"domain", "localhost"}) << "Укажите полный домен, например example.ru.\n" << 1;
    QTest::newRow("bad character") << QStringList({"domain", "shop$.example"}) << "Домен содержит недопустимые символы.\n" << 1;
    QTest::newRow("empty") << QStringList({"domain", " "}) << "Введите домен или URL.\n" << 1;
    QTest::newRow("no input") << QStringList({"domain"}) << QString() << 2;
    QTest::newRow("two inputs") << QStringList({"domain", "a.ru", "b.ru"}) << QString() << 2;
    // clang-format on
}

void InspectDomainTest::answers()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, output);
    QFETCH(int, exitCode);

    QProcess inspect;
    inspect.start(QStringLiteral(ORVIK_INSPECT_EXE), arguments);
    QVERIFY(inspect.waitForFinished(10000));
    QCOMPARE(inspect.exitStatus(), QProcess::NormalExit);
    QCOMPARE(inspect.exitCode(), exitCode);
    QCOMPARE(QString::fromUtf8(inspect.readAllStandardOutput()), output);
    const QString errors = QString::fromUtf8(inspect.readAllStandardError());
    QCOMPARE(errors.contains(QLatin1String("usage: orvik-inspect domain INPUT")), exitCode == 2);
}

ORVIK_TEST_MAIN(InspectDomainTest, QCoreApplication)
#include "tst_inspectdomain.moc"

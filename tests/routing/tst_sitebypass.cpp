#include "controller/controller.h"
#include "controller/settingskeys.h"
#include "routing/bypassdomain.h"
#include "tests/support/testenv.h"

#include <QGuiApplication>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString kDuplicate = QStringLiteral("Этот домен уже есть в списке.");

QStringList storedDomains()
{
    return QSettings().value(settingskeys::siteBypassDomains).toStringList();
}

} // namespace

class SiteBypassTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { QSettings().clear(); }

    void normalizes_data() { testenv::addRowsFromFile("bypass-domains.tsv", 4); }
    void normalizes();

    void addStoresNormalisedDomain();
    void addRefusesWithMessage_data();
    void addRefusesWithMessage();
    void removeIgnoresBuiltinsAndMatchesAnyCase();
    void changesWithoutTunnelLeaveStatusAlone();
};

void SiteBypassTest::normalizes()
{
    QFETCH(QStringList, row);
    const QString input = QString(row[1]).replace("\\t", "\t").replace("\\n", "\n");
    const QString& domain = row[2];
    QString error = QStringLiteral("старое сообщение");
    QCOMPARE(normalizeBypassDomain(input, &error), domain);
    QCOMPARE(error, row[3]);
    QCOMPARE(normalizeBypassDomain(input), domain);
    // Stored domains are normalised again at every start: they must come back unchanged.
    if (!domain.isEmpty())
        QCOMPARE(normalizeBypassDomain(domain), domain);
}

void SiteBypassTest::addStoresNormalisedDomain()
{
    Controller controller;
    controller.addBypassDomain(QStringLiteral("no domain"));
    QSignalSpy listSpy(&controller, &Controller::bypassDomainsChanged);
    QSignalSpy errorSpy(&controller, &Controller::bypassDomainErrorChanged);
    QVERIFY(controller.addBypassDomain(QStringLiteral("https://Пример.рф/путь?x=1")));
    QVERIFY(controller.addBypassDomain(QStringLiteral("*.example.org")));
    // Each addition is announced; the earlier error is cleared, and announced, once.
    QCOMPARE(listSpy.count(), 2);
    QCOMPARE(errorSpy.count(), 1);
    QVERIFY(controller.bypassDomainError().isEmpty());
    const QStringList user{"xn--e1afmkfd.xn--p1ai", "example.org"};
    QCOMPARE(storedDomains(), user);
    QCOMPARE(Controller().effectiveBypassDomains(), builtinBypassDomains() + user);
    // The list shows the built-in domains first, then the user's in the order added.
    QVariantList shown;
    for (const QString& domain : builtinBypassDomains() + user)
        shown.append(QVariantMap{{"domain", domain}, {"builtin", !user.contains(domain)}});
    QCOMPARE(controller.property("bypassDomains").toList(), shown);
}

void SiteBypassTest::addRefusesWithMessage_data()
{
    // clang-format off
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("message");
    QTest::newRow("built-in domain") << builtinBypassDomains().constFirst() << kDuplicate;
    QTest::newRow("user domain in other case") << "Mine.Example" << kDuplicate;
    QTest::newRow("not a domain") << "mine" << "Укажите полный домен, например example.ru.";
    // clang-format on
}

void SiteBypassTest::addRefusesWithMessage()
{
    QFETCH(QString, input);
    QFETCH(QString, message);
    Controller controller;
    QVERIFY(controller.addBypassDomain(QStringLiteral("mine.example")));
    const QVariantList before = controller.bypassDomains();

    QSignalSpy listSpy(&controller, &Controller::bypassDomainsChanged);
    QSignalSpy errorSpy(&controller, &Controller::bypassDomainErrorChanged);
    QVERIFY(!controller.addBypassDomain(input));
    QCOMPARE(controller.bypassDomainError(), message);
    QCOMPARE(errorSpy.count(), 1);
    QCOMPARE(listSpy.count(), 0);
    QCOMPARE(controller.bypassDomains(), before);
    QCOMPARE(storedDomains(), QStringList({"mine.example"}));

    // The same refusal again changes nothing and is not announced again.
    QVERIFY(!controller.addBypassDomain(input));
    QCOMPARE(errorSpy.count(), 1);
}

void SiteBypassTest::removeIgnoresBuiltinsAndMatchesAnyCase()
{
    Controller controller;
    QVERIFY(controller.addBypassDomain(QStringLiteral("one.example")));
    QVERIFY(controller.addBypassDomain(QStringLiteral("two.example")));
    controller.addBypassDomain(QStringLiteral("bad input"));
    QVERIFY(!controller.bypassDomainError().isEmpty());

    QSignalSpy listSpy(&controller, &Controller::bypassDomainsChanged);
    controller.removeBypassDomain(builtinBypassDomains().constFirst().toUpper());
    controller.removeBypassDomain(QStringLiteral("three.example"));
    // The argument is matched as shown in the list, not normalised.
    controller.removeBypassDomain(QStringLiteral("*.one.example"));
    QCOMPARE(listSpy.count(), 0);
    QCOMPARE(controller.bypassDomains().size(), 6);
    QVERIFY(!controller.bypassDomainError().isEmpty());

    controller.removeBypassDomain(QStringLiteral("ONE.Example"));
    QCOMPARE(listSpy.count(), 1);
    QVERIFY(controller.bypassDomainError().isEmpty());
    QCOMPARE(storedDomains(), QStringList({"two.example"}));
    QCOMPARE(controller.effectiveBypassDomains(),
             builtinBypassDomains() + QStringList({"two.example"}));
}

void SiteBypassTest::changesWithoutTunnelLeaveStatusAlone()
{
    Controller controller;
    QSignalSpy statusSpy(&controller, &Controller::statusChanged);
    QVERIFY(controller.addBypassDomain(QStringLiteral("site.example")));
    controller.removeBypassDomain(QStringLiteral("site.example"));
    controller.setProcessRouteMode(QStringLiteral("include"));
    controller.toggleProcessSelection(QStringLiteral("app.exe"), true);
    controller.toggleProcessSelection(QStringLiteral("app.exe"), false);
    QCOMPARE(statusSpy.count(), 0);
    QCOMPARE(controller.status(), QStringLiteral("Отключено"));
    QCOMPARE(storedDomains(), QStringList());
}

ORVIK_TEST_MAIN(SiteBypassTest, QGuiApplication)
#include "tst_sitebypass.moc"

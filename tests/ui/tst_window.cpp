// The real main window with the real controller, loaded offscreen the way the client loads it.

#include "app/shell.h"
#include "app/tray.h"
#include "controller/controller.h"
#include "profiles/subscription.h"
#include "tests/support/controllertestaccess.h"
#include "tests/support/testenv.h"
#include "tests/ui/mainwindow.h"

#include <QAccessible>
#include <QApplication>
#include <QColor>
#include <QDateTime>
#include <QJSEngine>
#include <QJsonArray>
#include <QJsonDocument>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTcpServer>
#include <QTest>

#include <memory>

using uitest::findNamed;

namespace {

QString accessibleName(QObject* object)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
    return accessible ? accessible->text(QAccessible::Name) : QString();
}

QString text(QQuickItem* item)
{
    return item->property("text").toString();
}

} // namespace

class WindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void subscriptionTextStaysText();
    void stateView_data();
    void stateView();
    void locationRows_data();
    void locationRows();
    void clicksReachTheController_data();
    void clicksReachTheController();
    void qmlRules_data();
    void qmlRules();
    void popupShowsNoticesAndAccount();
    void processListKeepsItsScrollPosition();
    void locationListKeepsItsPlaceWhileChecksRun();
    void reducedMotionStopsTheLoops();
    void closingHidesUntilQuitAllowsIt();

private:
    QQuickItem* item(const QString& name) const { return findNamed<QQuickItem>(m_window, name); }
    void putInto(const QString& state);
    QQuickItem* locationRow(int index) const;
    void openPopup();
    QQuickWindow* showSecondary(const QString& name, const QString& button);
    void click(QQuickWindow* window, QQuickItem* target) const;
    QString callQml(const QString& object, const QString& function,
                    const QVariantList& arguments) const;

    std::unique_ptr<Shell> m_shell;
    QQuickWindow* m_window = nullptr;
    Controller* m_vpn = nullptr;
};

void WindowTest::initTestCase()
{
    QAccessible::setActive(true);
    m_shell = std::make_unique<Shell>(nullptr, QStringList());
    m_window = m_shell->window();
    m_vpn = m_shell->controller();
    QVERIFY(m_window && m_vpn);
    m_window->resize(500, 860);
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    // The font comes from the resources, not from the system.
    QTRY_COMPARE(m_window->property("font").value<QFont>().family(), QStringLiteral("Manrope"));
}

void WindowTest::init()
{
    m_window->setProperty("reducedMotion", true); // no waiting for fades; one test turns it off
    if (QObject* popup = findNamed(m_window, QStringLiteral("subscriptionPopup")))
        QMetaObject::invokeMethod(popup, "close");
    // The popup's content and the two windows are made on first use.
    for (const char* name :
         {"siteWindow", "appWindow", "subscriptionUrl", "domainInput", "processSearch"}) {
        if (auto* secondary = findNamed<QWindow>(m_window, QString::fromLatin1(name)))
            secondary->hide();
        else if (QObject* field = findNamed(m_window, QString::fromLatin1(name)))
            field->setProperty("text", QString());
    }
    ControllerTestAccess::reset(*m_vpn);
    m_window->requestActivate();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
}

void WindowTest::cleanupTestCase()
{
    m_window->setProperty("allowClose", true);
    m_shell.reset();
}

void WindowTest::putInto(const QString& state)
{
    if (state == u"connecting") {
        ControllerTestAccess::setConnecting(*m_vpn, true);
        m_vpn->setStatus(QStringLiteral("Подключение..."));
    } else if (state == u"connected") {
        ControllerTestAccess::setConnected(*m_vpn, true);
        m_vpn->setStatus(QStringLiteral("Подключено"));
    } else if (state == u"error") {
        m_vpn->setStatus(QStringLiteral("Ошибка подключения"));
    }
}

QQuickItem* WindowTest::locationRow(int index) const
{
    auto* list = item(QStringLiteral("locations"));
    QMetaObject::invokeMethod(list, "forceLayout");
    const auto isRow = [index](QQuickItem* row) {
        return row->objectName() == u"location" && row->property("index").toInt() == index;
    };
    return uitest::findItems(list, isRow).value(0);
}

void WindowTest::openPopup()
{
    QObject* popup = findNamed(m_window, QStringLiteral("subscriptionPopup"));
    QVERIFY(popup);
    QMetaObject::invokeMethod(popup, "open");
    QTRY_VERIFY(popup->property("opened").toBool());
}

// Opened the way the user opens it: by its shortcut button under the picture.
QQuickWindow* WindowTest::showSecondary(const QString& name, const QString& button)
{
    click(m_window, item(button));
    auto* secondary = findNamed<QQuickWindow>(m_window, name);
    if (!secondary || !secondary->isVisible() || secondary->transientParent() != m_window ||
        !QTest::qWaitForWindowExposed(secondary))
        return nullptr;
    return secondary;
}

void WindowTest::click(QQuickWindow* window, QQuickItem* target) const
{
    QVERIFY(target);
    const QPointF centre(target->width() / 2, target->height() / 2);
    QTest::mouseClick(window, Qt::LeftButton, {}, target->mapToScene(centre).toPoint());
}

QString WindowTest::callQml(const QString& object, const QString& function,
                            const QVariantList& arguments) const
{
    QObject* target = findNamed(m_window, object);
    for (QObject* child :
         m_window->findChildren<QObject*>()) { // a Theme has no name, only its type
        if (!target &&
            QString::fromLatin1(child->metaObject()->className()).startsWith(object + u'_'))
            target = child;
    }
    QJSEngine* engine = qjsEngine(target);
    QJSValueList values;
    for (const QVariant& argument : arguments)
        values << engine->toScriptValue(argument);
    const QJSValue self = engine->toScriptValue(target);
    return self.property(function).callWithInstance(self, values).toString();
}

void WindowTest::subscriptionTextStaysText()
{
    // Markup from a subscription must neither fetch anything nor change what is shown.
    QTcpServer tracker;
    QVERIFY(tracker.listen(QHostAddress::LocalHost));
    const QString tag =
        QStringLiteral("<img src=\"http://127.0.0.1:%1/b.png\">").arg(tracker.serverPort());
    const QString line =
        QStringLiteral("vless://0f8e6e1c-1a4b-4c4e-9d4e-2b1f6a3c5d7e@h:443?security=tls&sni=h");
    const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(tag));
    const subscription::ParsedBody parsed =
        subscription::parseBody((line + u'#' + encoded + QStringLiteral("Ams%E2%80%AEter%07dam\n") +
                                 line + QStringLiteral("&type=") + encoded)
                                    .toUtf8());
    ControllerTestAccess::setServers(*m_vpn, parsed.entries);
    ControllerTestAccess::setSubscription(*m_vpn, subscription::listNotice(parsed, false), false);
    ControllerTestAccess::setServerField(*m_vpn, 0, QStringLiteral("checkError"), tag);
    putInto(QStringLiteral("connected"));
    openPopup();
    findNamed(m_window, QStringLiteral("checkTip"))->setProperty("visible", true);
    QTest::qWait(1500);
    QVERIFY(!tracker.hasPendingConnections());

    // The name without its control and direction characters, the refused line's notice and
    // the check error in its tip, all plain text.
    QStringList shown;
    for (QQuickItem* label : uitest::findItems(m_window->contentItem(), [&](QQuickItem* item) {
             return item->inherits("QQuickText") && item->isVisible() && text(item).contains(tag);
         })) {
        QCOMPARE(label->property("textFormat").toInt(), 0); // Text.PlainText
        shown.append(text(label));
    }
    for (const QString& expected :
         {tag + QStringLiteral("Amsterdam"), tag,
          QStringLiteral("Часть профилей не добавлена: Неподдерживаемый транспорт VLESS: ") + tag})
        QVERIFY2(shown.contains(expected), qPrintable(shown.join(u'|')));
}

// The round button, the state's texts, the subscription button and the footer.
void WindowTest::stateView_data()
{
    testenv::addRowsFromFile("window-states.tsv", 14);
}

void WindowTest::stateView()
{
    QFETCH(QStringList, row);
    ControllerTestAccess::setServers(*m_vpn, uitest::sampleServers(row.at(1).toInt()), 1);
    ControllerTestAccess::setSubscription(*m_vpn, QStringLiteral("Загружено 3 профиля."), false);
    putInto(row.at(2));
    QQuickItem* connect = item(QStringLiteral("connectButton"));
    QCOMPARE(connect->isEnabled(), row.at(3) == u"1");
    QCOMPARE(connect->opacity(), row.at(4).toDouble());
    QCOMPARE(accessibleName(connect), row.at(5));
    QCOMPARE(text(item(QStringLiteral("stateTitle"))), row.at(6));
    QCOMPARE(text(item(QStringLiteral("headline"))),
             QString(row.at(12)).replace(QStringLiteral("\\n"), QStringLiteral("\n")));
    QCOMPARE(item(QStringLiteral("connectIcon"))->property("name").toString(), row.at(13));
    QCOMPARE(text(item(QStringLiteral("stateDetail"))), row.at(7));
    QQuickItem* manage = item(QStringLiteral("subscriptionButton"));
    QCOMPARE(accessibleName(manage), row.at(8));
    QCOMPARE(manage->property("primary").toBool(), row.at(9) == u"1");
    QQuickItem* notice = item(QStringLiteral("footerNotice"));
    QCOMPARE(notice->isVisible() ? text(notice) : QStringLiteral("-"),
             QString(row.at(10)).replace(QStringLiteral("\\n"), QStringLiteral("\n")));
    QCOMPARE(notice->property("color").value<QColor>() == QColor("#ffadb0"), row.at(2) == u"error");
    const QUrl picture(QStringLiteral("qrc:/OrvikVPN/assets/%1.jpg").arg(row.at(11)));
    QVERIFY(!uitest::findItems(m_window->contentItem(), [&](QQuickItem* image) {
                 return image->property("source").toUrl() == picture &&
                        image->property("sourceSize").toSize().width() == 1000;
             }).isEmpty());
}

// A row's latency button, and the row as a radio button for assistive technology.
void WindowTest::locationRows_data()
{
    testenv::addRowsFromFile("window-latency.tsv", 4);
}

void WindowTest::locationRows()
{
    QFETCH(QStringList, row);
    QVariantMap entry =
        uitest::serverEntry(QStringLiteral("Польша"), QStringLiteral("PL"), row.at(1).toInt());
    entry.insert(QStringLiteral("pinging"), row.at(2) == u"1");
    ControllerTestAccess::setServers(
        *m_vpn, {entry, uitest::serverEntry(QStringLiteral("Чехия"), QStringLiteral("CZ"), 0)}, 1);
    auto* button = findNamed<QQuickItem>(locationRow(0), QStringLiteral("latencyButton"));
    QCOMPARE(text(button), row.at(3));
    QCOMPARE(button->isEnabled(), row.at(2) != u"1");
    for (const int index : {0, 1}) {
        QAccessibleInterface* accessible =
            QAccessible::queryAccessibleInterface(locationRow(index));
        QCOMPARE(accessible->role(), QAccessible::RadioButton);
        QVERIFY(accessible->state().checkable);
        QCOMPARE(bool(accessible->state().checked), index == 1);
        QCOMPARE(accessible->text(QAccessible::Name),
                 index == 1 ? QStringLiteral("Чехия, выбрано") : QStringLiteral("Польша"));
    }
}

void WindowTest::clicksReachTheController_data()
{
    testenv::addRowsFromFile("window-clicks.tsv", 6);
}

void WindowTest::clicksReachTheController()
{
    QFETCH(QStringList, row);
    const QString target = row.at(1);
    ControllerTestAccess::setServers(*m_vpn, uitest::sampleServers(3), 0);
    putInto(row.at(2));
    QQuickWindow* window = m_window;
    QString field;
    if (target == u"subscriptionUrl" || target == u"importButton") {
        openPopup();
        field = QStringLiteral("subscriptionUrl");
    } else if (target.endsWith(QLatin1String("ModeButton"))) {
        window = showSecondary(QStringLiteral("appWindow"), QStringLiteral("appsButton"));
    } else if (target == u"domainInput" || target == u"addDomainButton") {
        window = showSecondary(QStringLiteral("siteWindow"), QStringLiteral("sitesButton"));
        field = QStringLiteral("domainInput");
    }
    QVERIFY(window);
    if (!field.isEmpty())
        item(field)->setProperty("text", row.at(3));
    QQuickItem* button = target == u"location" ? locationRow(1) : item(target);
    if (target == field) {
        window->requestActivate();
        button->forceActiveFocus();
        QTRY_VERIFY(button->hasActiveFocus());
        QTest::keyClick(window, Qt::Key_Return);
    } else {
        click(window, button);
    }
    QTRY_VERIFY(!m_vpn->property("subscriptionLoading").toBool()); // a download has failed
    const QString property = row.at(4);
    QCOMPARE(property == u"userBypassDomains"
                 ? ControllerTestAccess::userBypassDomains(*m_vpn).join(u',')
                 : m_vpn->property(property.toLatin1().constData()).toString(),
             row.at(5));
    if (field == u"domainInput") {
        // The window shows the controller's answer; an accepted entry leaves the field.
        QQuickItem* error = item(QStringLiteral("domainError"));
        QCOMPARE(error->isVisible() ? text(error) : QString(), m_vpn->bypassDomainError());
        QCOMPARE(text(item(field)).isEmpty(), m_vpn->bypassDomainError().isEmpty());
        m_vpn->removeBypassDomain(QStringLiteral("news.example.net"));
    } else if (target.endsWith(QLatin1String("ModeButton"))) {
        // The labels follow the mode.
        QVERIFY(button->property("checked").toBool());
        QCOMPARE(item(QStringLiteral("includeModeButton"))->property("checked").toBool(),
                 row.at(5) == u"include");
        QCOMPARE(text(item(QStringLiteral("processCount"))),
                 (row.at(5) == u"include" ? QStringLiteral("Отмечено через VPN: ")
                                          : QStringLiteral("Отмечено напрямую: ")) +
                     QString::number(m_vpn->selectedProcessCount()));
        QCOMPARE(text(item(QStringLiteral("routeExplanation"))),
                 callQml(QStringLiteral("appWindow"), QStringLiteral("routeExplanation"),
                         {m_vpn->processBypassAvailable(), row.at(5)}));
        putInto(QStringLiteral("connecting"));
        QVERIFY(!button->isEnabled());
    }
}

// The window's own rules, as functions of its documents.
void WindowTest::qmlRules_data()
{
    testenv::addRowsFromFile("window-rules.tsv", 5);
}

void WindowTest::qmlRules()
{
    QFETCH(QStringList, row);
    QVERIFY(showSecondary(QStringLiteral("appWindow"), QStringLiteral("appsButton")));
    const QVariantList arguments =
        QJsonDocument::fromJson(row.at(3).toUtf8()).array().toVariantList();
    QCOMPARE(callQml(row.at(1), row.at(2), arguments), row.at(4));
}

void WindowTest::popupShowsNoticesAndAccount()
{
    // An account near its end: its lines in the popup, and its warning stays in the footer.
    subscription::AccountInfo account;
    account.title = QStringLiteral("Орвик");
    account.total = 100LL << 30;
    account.expire = QDateTime::currentDateTime().addDays(2).toSecsSinceEpoch();
    const QString notice = QStringLiteral("Сначала добавьте ссылку из кабинета.");
    ControllerTestAccess::setServers(*m_vpn, uitest::sampleServers(2));
    ControllerTestAccess::setAccount(*m_vpn, account);
    ControllerTestAccess::setSubscription(*m_vpn, notice, false);
    QQuickItem* footer = item(QStringLiteral("footerNotice"));
    QCOMPARE(footer->isVisible() ? text(footer) : QString(), notice);
    QCOMPARE(footer->property("color").value<QColor>(), QColor(QStringLiteral("#9df2d0")));
    // The subscription button opens the popup with the link field ready for typing.
    click(m_window, item(QStringLiteral("subscriptionButton")));
    QTRY_VERIFY(
        findNamed(m_window, QStringLiteral("subscriptionPopup"))->property("opened").toBool());
    QTRY_VERIFY(item(QStringLiteral("subscriptionUrl"))->hasActiveFocus());
    QCOMPARE(text(item(QStringLiteral("accountInfo"))),
             QStringLiteral("Орвик\nТрафик: %1\nДействует %2")
                 .arg(m_vpn->subscriptionTraffic(), m_vpn->subscriptionExpiry()));
    QCOMPARE(text(item(QStringLiteral("popupNotice"))), notice);
    QVERIFY(!item(QStringLiteral("copyErrorButton"))->isVisible());

    putInto(QStringLiteral("error"));
    QCOMPARE(text(item(QStringLiteral("popupNotice"))),
             notice + QStringLiteral("\nОшибка подключения"));
    QVERIFY(item(QStringLiteral("copyErrorButton"))->isVisible());
    ControllerTestAccess::setSubscription(*m_vpn, QString(), true);
    QVERIFY(!item(QStringLiteral("importButton"))->isEnabled());
}

void WindowTest::processListKeepsItsScrollPosition()
{
    QVERIFY(showSecondary(QStringLiteral("appWindow"), QStringLiteral("appsButton")));
    auto* list = item(QStringLiteral("processList"));
    // A replaced model is put back in place on the next pass of the event loop (-1: it is not).
    const auto replace = [&](int count, const QStringList& selected) {
        ControllerTestAccess::setProcesses(*m_vpn, uitest::sampleProcesses(count), selected);
        const bool shown = list->property("count").toInt() == int(m_vpn->processes().size());
        const bool settled =
            QTest::qWaitFor([list] { return !list->property("restoring").toBool(); });
        return shown && settled ? list->property("contentY").toReal() : -1.0;
    };
    replace(60, {});
    QMetaObject::invokeMethod(list, "forceLayout");
    list->setProperty("contentY", 900.0);

    // A refresh or a toggle replaces the model; the list comes back to where it was.
    QCOMPARE(replace(60, {QStringLiteral("steam")}), 900.0);
    QCOMPARE(replace(59, {}), 900.0);
    // A shorter list limits the position to its end.
    const qreal shorter = replace(15, {});
    const qreal end = list->property("contentHeight").toReal() - list->height();
    QVERIFY(end > 0 && end < 900);
    QCOMPARE(shorter, end);

    // Typing a search goes back to the top and filters in the controller.
    replace(60, {});
    list->setProperty("contentY", 700.0);
    item(QStringLiteral("processSearch"))->setProperty("text", QStringLiteral("fire"));
    QCOMPARE(m_vpn->processFilter(), QStringLiteral("fire"));
    QTRY_VERIFY(!list->property("restoring").toBool());
    QCOMPARE(list->property("contentY").toReal(), 0.0);
    QCOMPARE(replace(60, {}), 0.0);
    QVERIFY(list->property("count").toInt() < 60);
}

void WindowTest::locationListKeepsItsPlaceWhileChecksRun()
{
    ControllerTestAccess::setServers(*m_vpn, uitest::sampleServers(40));
    auto* list = item(QStringLiteral("locations"));
    list->setProperty("contentY", 900.0);
    QMetaObject::invokeMethod(list, "forceLayout");
    const auto rowUnderPointer = [list] {
        QQuickItem* row = nullptr;
        QMetaObject::invokeMethod(list, "itemAt", Q_RETURN_ARG(QQuickItem*, row), Q_ARG(qreal, 20),
                                  Q_ARG(qreal, 930));
        return row;
    };
    QQuickItem* under = rowUnderPointer();
    QVERIFY(under && under->property("index").toInt() > 5);
    const int index = under->property("index").toInt();

    // A check starts, its result arrives, the rest are cancelled: the rows change in place.
    ControllerTestAccess::setServerField(*m_vpn, index, QStringLiteral("pinging"), true);
    ControllerTestAccess::setServerField(*m_vpn, index, QStringLiteral("latency"), 87);
    ControllerTestAccess::setServerField(*m_vpn, index, QStringLiteral("pinging"), false);
    m_vpn->cancelPings();
    QCOMPARE(list->property("contentY").toReal(), 900.0);
    QCOMPARE(rowUnderPointer(), under);
    QCOMPARE(text(findNamed<QQuickItem>(under, QStringLiteral("latencyButton"))),
             QStringLiteral("HTTPS 87 мс"));
}

void WindowTest::reducedMotionStopsTheLoops()
{
    m_window->setProperty("reducedMotion", false);
    ControllerTestAccess::setServers(*m_vpn, uitest::sampleServers(2));
    putInto(QStringLiteral("connecting"));
    QQuickItem* ring = item(QStringLiteral("pulseRing"));
    QQuickItem* icon = item(QStringLiteral("connectIcon"));
    QVERIFY(ring->isVisible());
    QTRY_VERIFY(icon->rotation() > 0);

    // The switch in the popup turns motion down for the whole window.
    openPopup();
    QQuickItem* motionSwitch = item(QStringLiteral("reducedMotionSwitch"));
    QTest::mouseClick(m_window, Qt::LeftButton, {},
                      motionSwitch->mapToScene(QPointF(20, motionSwitch->height() / 2)).toPoint());
    QVERIFY(m_window->property("reducedMotion").toBool());
    QVERIFY(!ring->isVisible());
    QCOMPARE(icon->rotation(), 0.0);

    // Turning stops, too, when connecting ends.
    m_window->setProperty("reducedMotion", false);
    QTRY_VERIFY(icon->rotation() > 0);
    ControllerTestAccess::setConnected(*m_vpn, true);
    QCOMPARE(icon->rotation(), 0.0);
}

void WindowTest::closingHidesUntilQuitAllowsIt()
{
    // Without the tray (its rule is the tray test's), closing only hides the window.
    m_window->removeEventFilter(m_shell->tray());
    QVERIFY(!m_window->close());
    QVERIFY(!m_window->isVisible());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));

    m_window->setProperty("allowClose", true);
    QVERIFY(m_window->close());
    QVERIFY(!m_window->isVisible());
}

ORVIK_TEST_MAIN(WindowTest, QApplication)
#include "tst_window.moc"

// The real main window with the real controller, loaded offscreen the way the client loads it.

#include "app/shell.h"
#include "app/tray.h"
#include "controller/controller.h"
#include "profiles/subscription.h"
#include "tests/support/httpstestserver.h"
#include "tests/support/testenv.h"
#include "tests/support/controllertestaccess.h"
#include "tests/ui/mainwindow.h"

#include <QAccessible>
#include <QApplication>
#include <QColor>
#include <QDateTime>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <memory>

using uitest::findNamed;

namespace {

enum class State { Idle, Connecting, Connected, Error };

QString accessibleName(QObject* object)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
    return accessible ? accessible->text(QAccessible::Name) : QString();
}

} // namespace

Q_DECLARE_METATYPE(State)

class WindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void loadsLikeTheClient();
    void subscriptionTextStaysText();
    void connectButton_data();
    void connectButton();
    void stateTexts_data();
    void stateTexts();
    void latencyButton_data();
    void latencyButton();
    void locationRowsAreRadioButtons();
    void clicksReachTheController_data();
    void clicksReachTheController();
    void pictureFollowsTheSelectedName_data();
    void pictureFollowsTheSelectedName();
    void footerNotice_data();
    void footerNotice();
    void subscriptionButton_data();
    void subscriptionButton();
    void linkEnterRule_data();
    void linkEnterRule();
    void popupNoticeIsAlwaysShown();
    void accountInfoFromTheService_data();
    void accountInfoFromTheService();
    void siteWindowAdd_data();
    void siteWindowAdd();
    void routeExplanation_data();
    void routeExplanation();
    void routeModeButtonsAndCount_data();
    void routeModeButtonsAndCount();
    void processListKeepsItsScrollPosition();
    void locationListKeepsItsPlaceWhileChecksRun();
    void reducedMotionStopsTheLoops();
    void closingHidesUntilQuitAllowsIt();

private:
    QQuickItem* item(const QString& name) const { return findNamed<QQuickItem>(m_window, name); }
    void putInto(State state);
    QQuickItem* locationRow(int index) const;
    void openPopup();
    void showSecondary(const QString& name);
    QVariant call(const QString& objectName, const char* function,
                  const QVariantList& arguments) const;
    void press(QQuickWindow* window, QQuickItem* field, Qt::Key key) const;

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
}

void WindowTest::init()
{
    m_window->setProperty("reducedMotion", true); // no waiting for fades; one test turns it off
    if (QObject* popup = findNamed(m_window, QStringLiteral("subscriptionPopup")))
        QMetaObject::invokeMethod(popup, "close");
    for (const char* name : {"siteWindow", "appWindow"}) {
        if (auto* secondary = findNamed<QQuickWindow>(m_window, QString::fromLatin1(name)))
            secondary->hide();
    }
    // The popup's content and the two windows are made on first use.
    for (const char* name : {"subscriptionUrl", "domainInput", "processSearch"}) {
        if (QQuickItem* field = item(QString::fromLatin1(name)))
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

void WindowTest::putInto(State state)
{
    switch (state) {
    case State::Idle:
        break;
    case State::Connecting:
        ControllerTestAccess::setConnecting(*m_vpn, true);
        m_vpn->setStatus(QStringLiteral("Подключение..."));
        break;
    case State::Connected:
        ControllerTestAccess::setConnected(*m_vpn, true);
        m_vpn->setStatus(QStringLiteral("Подключено"));
        break;
    case State::Error:
        m_vpn->setStatus(QStringLiteral("Ошибка подключения"));
        break;
    }
}

QQuickItem* WindowTest::locationRow(int index) const
{
    auto* list = item(QStringLiteral("locations"));
    QMetaObject::invokeMethod(list, "forceLayout");
    for (QQuickItem* row : uitest::findAllNamed(list, QStringLiteral("location"))) {
        if (row->property("index").toInt() == index)
            return row;
    }
    return nullptr;
}

void WindowTest::openPopup()
{
    QObject* popup = findNamed(m_window, QStringLiteral("subscriptionPopup"));
    QVERIFY(popup);
    QMetaObject::invokeMethod(popup, "open");
    QTRY_VERIFY(popup->property("opened").toBool());
}

void WindowTest::showSecondary(const QString& name)
{
    // The way the user opens it: the shortcut button under the picture.
    QQuickItem* button = item(name == QLatin1String("siteWindow") ? QStringLiteral("sitesButton")
                                                                  : QStringLiteral("appsButton"));
    QVERIFY(button);
    QTest::mouseClick(m_window, Qt::LeftButton, {}, button->mapToScene(QPointF(30, 30)).toPoint());
    auto* secondary = findNamed<QQuickWindow>(m_window, name);
    QVERIFY(secondary);
    QVERIFY(secondary->isVisible());
    QCOMPARE(secondary->transientParent(), m_window);
    QVERIFY(QTest::qWaitForWindowExposed(secondary));
}

QVariant WindowTest::call(const QString& objectName, const char* function,
                          const QVariantList& arguments) const
{
    QObject* target = findNamed(m_window, objectName);
    QVariant result;
    if (arguments.size() == 2)
        QMetaObject::invokeMethod(target, function, Q_RETURN_ARG(QVariant, result),
                                  Q_ARG(QVariant, arguments.at(0)),
                                  Q_ARG(QVariant, arguments.at(1)));
    else
        QMetaObject::invokeMethod(
            target, function, Q_RETURN_ARG(QVariant, result), Q_ARG(QVariant, arguments.at(0)),
            Q_ARG(QVariant, arguments.at(1)), Q_ARG(QVariant, arguments.at(2)));
    return result;
}

void WindowTest::press(QQuickWindow* window, QQuickItem* field, Qt::Key key) const
{
    window->requestActivate();
    field->forceActiveFocus();
    QTRY_VERIFY(field->hasActiveFocus());
    QTest::keyClick(window, key);
}

void WindowTest::loadsLikeTheClient()
{
    QCOMPARE(m_window->title(), QStringLiteral("OrvikVPN 0.3.1 · Stay free"));
    QCOMPARE(m_window->property("allowClose").toBool(), false);
    QCOMPARE(m_window->minimumSize(), QSize(420, 650));
    QCOMPARE(m_window->findChildren<Controller*>(QString(), Qt::FindChildrenRecursively).size(), 1);
    for (const char* name :
         {"connectButton", "locations", "subscriptionButton", "subscriptionPopup"})
        QVERIFY2(findNamed(m_window, QString::fromLatin1(name)), name);
    // The rest are made when first opened.
    openPopup();
    QMetaObject::invokeMethod(findNamed(m_window, QStringLiteral("subscriptionPopup")), "close");
    QTRY_VERIFY(
        !findNamed(m_window, QStringLiteral("subscriptionPopup"))->property("visible").toBool());
    showSecondary(QStringLiteral("siteWindow"));
    showSecondary(QStringLiteral("appWindow"));
    for (const char* name : {"subscriptionUrl", "domainInput", "processSearch"})
        QVERIFY2(findNamed(m_window, QString::fromLatin1(name)), name);
    // The font comes from the resources, not from the system.
    QTRY_COMPARE(m_window->property("font").value<QFont>().family(), QStringLiteral("Manrope"));
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
    putInto(State::Connected);
    openPopup();
    findNamed(m_window, QStringLiteral("checkTip"))->setProperty("visible", true);
    QTest::qWait(1500);
    QVERIFY(!tracker.hasPendingConnections());

    // Shown as it stands: the name without its control and direction characters, the refused
    // line's notice and the check error in its tip.
    QStringList shown;
    QList<QQuickItem*> pending{m_window->contentItem()};
    while (!pending.isEmpty()) {
        QQuickItem* next = pending.takeLast();
        pending += next->childItems();
        if (next->inherits("QQuickText") && next->isVisible() &&
            next->property("text").toString().contains(tag)) {
            QCOMPARE(next->property("textFormat").toInt(), 0); // Text.PlainText
            shown.append(next->property("text").toString());
        }
    }
    for (const QString& text :
         {tag + QStringLiteral("Amsterdam"), tag,
          QStringLiteral("Часть профилей не добавлена: Неподдерживаемый транспорт VLESS: ") + tag})
        QVERIFY2(shown.contains(text), qPrintable(shown.join(u'|')));
}

void WindowTest::connectButton_data()
{
    // clang-format off
    QTest::addColumn<int>("servers");
    QTest::addColumn<State>("state");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<qreal>("opacity");
    QTest::newRow("empty list") << 0 << State::Idle << false << 0.4;
    QTest::newRow("list") << 3 << State::Idle << true << 1.0;
    QTest::newRow("list, busy") << 3 << State::Connecting << false << 1.0;
    QTest::newRow("empty list, busy") << 0 << State::Connecting << false << 1.0;
    QTest::newRow("connected") << 3 << State::Connected << true << 1.0;
    QTest::newRow("list, error") << 3 << State::Error << true << 1.0;
    // clang-format on
}

void WindowTest::connectButton()
{
    QFETCH(int, servers);
    QFETCH(State, state);
    QFETCH(bool, enabled);
    QFETCH(qreal, opacity);
    ControllerTestAccess::setServers(*m_vpn, uitest::sampleServers(servers));
    putInto(state);
    QQuickItem* button = item(QStringLiteral("connectButton"));
    QVERIFY(button);
    QCOMPARE(button->isEnabled(), enabled);
    QCOMPARE(button->opacity(), opacity);
}

void WindowTest::stateTexts_data()
{
    // clang-format off
    QTest::addColumn<State>("state");
    QTest::addColumn<QString>("headline");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QString>("buttonName");
    QTest::addColumn<QString>("icon");
    QTest::newRow("idle") << State::Idle << "Ближе к миру.\nДальше от шума." << "Вы ещё не подключены" << "Один клик — и можно выдохнуть" << "Подключить VPN" << "power";
    QTest::newRow("connecting") << State::Connecting << "На пути\nк свободе." << "Устанавливаем туннель…" << "Это займёт несколько секунд" << "Подключение" << "refresh";
    QTest::newRow("connected") << State::Connected << "Ваш мир.\nБез границ." << "Соединение защищено" << "Нидерланды · Амстердам · Hysteria2" << "Отключить VPN" << "power";
    QTest::newRow("error") << State::Error << "Ближе к миру.\nДальше от шума." << "Не удалось подключиться" << "Повторите попытку или смените сервер" << "Повторить подключение" << "power";
    // clang-format on
}

void WindowTest::stateTexts()
{
    QFETCH(State, state);
    QFETCH(QString, headline);
    QFETCH(QString, title);
    QFETCH(QString, detail);
    QFETCH(QString, buttonName);
    QFETCH(QString, icon);
    ControllerTestAccess::setServers(*m_vpn, uitest::sampleServers(3), 1);
    putInto(state);
    QCOMPARE(item(QStringLiteral("headline"))->property("text").toString(), headline);
    QCOMPARE(item(QStringLiteral("stateTitle"))->property("text").toString(), title);
    QCOMPARE(item(QStringLiteral("stateDetail"))->property("text").toString(), detail);
    QCOMPARE(accessibleName(item(QStringLiteral("stateTitle"))), title);
    QCOMPARE(accessibleName(item(QStringLiteral("connectButton"))), buttonName);
    QCOMPARE(item(QStringLiteral("connectIcon"))->property("name").toString(), icon);
}

void WindowTest::latencyButton_data()
{
    // clang-format off
    QTest::addColumn<int>("latency");
    QTest::addColumn<bool>("pinging");
    QTest::addColumn<QString>("text");
    QTest::newRow("never checked") << -2 << false << "ПРОВЕРИТЬ";
    QTest::newRow("failed") << -1 << false << "Нет связи";
    QTest::newRow("zero") << 0 << false << "HTTPS 0 мс";
    QTest::newRow("measured") << 187 << false << "HTTPS 187 мс";
    QTest::newRow("checking a measured one") << 187 << true << "…";
    QTest::newRow("checking a failed one") << -1 << true << "…";
    QTest::newRow("other negative") << -7 << false << "ПРОВЕРИТЬ";
    // clang-format on
}

void WindowTest::latencyButton()
{
    QFETCH(int, latency);
    QFETCH(bool, pinging);
    QFETCH(QString, text);
    QVariantMap entry =
        uitest::serverEntry(QStringLiteral("Польша · Варшава"), QStringLiteral("PL"), latency);
    entry.insert(QStringLiteral("pinging"), pinging);
    ControllerTestAccess::setServers(*m_vpn, {entry});
    QQuickItem* row = locationRow(0);
    QVERIFY(row);
    auto* button = findNamed<QQuickItem>(row, QStringLiteral("latencyButton"));
    QVERIFY(button);
    QCOMPARE(button->property("text").toString(), text);
    QCOMPARE(button->isEnabled(), !pinging);
}

void WindowTest::locationRowsAreRadioButtons()
{
    ControllerTestAccess::setServers(*m_vpn, uitest::sampleServers(2), 1);
    auto* list = item(QStringLiteral("locations"));
    QMetaObject::invokeMethod(list, "forceLayout");
    const QList<QQuickItem*> rows = uitest::findAllNamed(list, QStringLiteral("location"));
    QCOMPARE(rows.size(), 2);
    for (QQuickItem* row : rows) {
        const int index = row->property("index").toInt();
        const QString name =
            uitest::sampleServers(2).at(index).toMap().value(QStringLiteral("name")).toString();
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(row);
        QVERIFY(accessible);
        QCOMPARE(accessible->role(), QAccessible::RadioButton);
        QVERIFY(accessible->state().checkable);
        QCOMPARE(bool(accessible->state().checked), index == 1);
        QCOMPARE(accessible->text(QAccessible::Name),
                 index == 1 ? name + QStringLiteral(", выбрано") : name);
    }
}

void WindowTest::clicksReachTheController_data()
{
    // clang-format off
    QTest::addColumn<QString>("target");
    QTest::addColumn<State>("state");
    QTest::addColumn<QString>("link");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QVariant>("value");
    QTest::newRow("round button connects") << "connectButton" << State::Idle << "" << QByteArray("status") << QVariant(QStringLiteral("Ошибка профиля"));
    QTest::newRow("row, disconnected") << "location" << State::Idle << "" << QByteArray("selectedRow") << QVariant(1);
    QTest::newRow("row, connected") << "location" << State::Connected << "" << QByteArray("selectedRow") << QVariant(0);
    QTest::newRow("import without a link") << "importButton" << State::Idle << "" << QByteArray("subscriptionNotice") << QVariant(QStringLiteral("Сначала добавьте ссылку из кабинета."));
    QTest::newRow("refresh button") << "refreshSubscriptionButton" << State::Idle << "" << QByteArray("subscriptionNotice") << QVariant(QStringLiteral("Сначала добавьте ссылку из кабинета."));
    QTest::newRow("whitelist mode") << "includeModeButton" << State::Idle << "" << QByteArray("processRouteMode") << QVariant(QStringLiteral("include"));
    QTest::newRow("Enter, connected") << "subscriptionUrl" << State::Connected << "https://127.0.0.1:9/s/window-test/" << QByteArray("subscriptionNotice") << QVariant(QString());
    QTest::newRow("Enter") << "subscriptionUrl" << State::Idle << "https://127.0.0.1:9/s/window-test/" << QByteArray("subscriptionNotice") << QVariant(QStringLiteral("Не удалось обновить подписку. Сохранённые профили остаются доступны."));
    QTest::newRow("import a link") << "importButton" << State::Idle << "https://127.0.0.1:9/s/window-test/" << QByteArray("subscriptionNotice") << QVariant(QStringLiteral("Не удалось обновить подписку. Сохранённые профили остаются доступны."));
    // clang-format on
}

void WindowTest::clicksReachTheController()
{
    QFETCH(QString, target);
    QFETCH(State, state);
    QFETCH(QString, link);
    QFETCH(QByteArray, property);
    QFETCH(QVariant, value);
    ControllerTestAccess::setServers(*m_vpn, uitest::sampleServers(3), 0);
    putInto(state);
    QQuickWindow* window = m_window;
    const bool enter = target == QLatin1String("subscriptionUrl");
    if (enter || target == QLatin1String("importButton")) {
        // Nothing listens on the discard port: a real import fails fast and says so.
        openPopup();
        item(QStringLiteral("subscriptionUrl"))->setProperty("text", link);
    } else if (target.endsWith(QLatin1String("ModeButton"))) {
        showSecondary(QStringLiteral("appWindow"));
        window = findNamed<QQuickWindow>(m_window, QStringLiteral("appWindow"));
    }
    QQuickItem* button = target == QLatin1String("location") ? locationRow(1) : item(target);
    QVERIFY(button);
    const QPointF centre(button->width() / 2, button->height() / 2);
    if (enter)
        press(window, button, Qt::Key_Return);
    else
        QTest::mouseClick(window, Qt::LeftButton, {}, button->mapToScene(centre).toPoint());
    QTRY_VERIFY(!m_vpn->property("subscriptionLoading").toBool()); // a download has failed
    QCOMPARE(m_vpn->property(property.constData()), value);
}

void WindowTest::pictureFollowsTheSelectedName_data()
{
    // clang-format off
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("picture");
    QTest::newRow("Poland") << "Польша · Варшава" << "qrc:/OrvikVPN/assets/warsaw.jpg";
    QTest::newRow("Netherlands") << "Нидерланды 2" << "qrc:/OrvikVPN/assets/amsterdam.jpg";
    QTest::newRow("both: Poland first") << "Нидерланды через Польша" << "qrc:/OrvikVPN/assets/warsaw.jpg";
    QTest::newRow("lower case is another word") << "польша" << "qrc:/OrvikVPN/assets/hero.jpg";
    QTest::newRow("elsewhere") << "Германия" << "qrc:/OrvikVPN/assets/hero.jpg";
    // clang-format on
}

void WindowTest::pictureFollowsTheSelectedName()
{
    QFETCH(QString, name);
    QFETCH(QString, picture);
    ControllerTestAccess::setServers(*m_vpn,
                                     {uitest::serverEntry(name, QStringLiteral("VPN"), -2)});
    QCOMPARE(m_vpn->selectedName(), name);
    const QList<QQuickItem*> images = uitest::findAllNamed(m_window->contentItem(), QString());
    const bool shown = std::any_of(images.begin(), images.end(), [&](QQuickItem* image) {
        return image->inherits("QQuickImage") &&
               image->property("source").toUrl() == QUrl(picture) &&
               image->property("sourceSize").toSize().width() == 1000;
    });
    QVERIFY(shown);
}

void WindowTest::footerNotice_data()
{
    // clang-format off
    QTest::addColumn<State>("state");
    QTest::addColumn<QString>("notice");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<QString>("text");
    QTest::newRow("idle with a notice") << State::Idle << "Загружено 3 профиля." << false << "";
    QTest::newRow("connected with a notice") << State::Connected << "Загружено 3 профиля." << false << "";
    QTest::newRow("connecting") << State::Connecting << "Загружено 3 профиля." << true << "Загружено 3 профиля.";
    QTest::newRow("error") << State::Error << "Загружено 3 профиля." << true << "Загружено 3 профиля.\nОшибка подключения";
    QTest::newRow("error without a notice") << State::Error << "" << true << "\nОшибка подключения";
    // clang-format on
}

void WindowTest::footerNotice()
{
    QFETCH(State, state);
    QFETCH(QString, notice);
    QFETCH(bool, visible);
    QFETCH(QString, text);
    ControllerTestAccess::setServers(*m_vpn, uitest::sampleServers(3));
    ControllerTestAccess::setSubscription(*m_vpn, notice, false);
    putInto(state);
    QQuickItem* label = item(QStringLiteral("footerNotice"));
    QCOMPARE(label->isVisible(), visible);
    if (visible) {
        QCOMPARE(label->property("text").toString(), text);
        QCOMPARE(label->property("color").value<QColor>(),
                 QColor(state == State::Error ? "#ffadb0" : "#a8bcc4"));
    }
}

void WindowTest::subscriptionButton_data()
{
    // clang-format off
    QTest::addColumn<int>("servers");
    QTest::addColumn<State>("state");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("icon");
    QTest::addColumn<bool>("primary");
    QTest::newRow("no servers") << 0 << State::Idle << "Добавить подписку" << "plus" << true;
    QTest::newRow("servers") << 4 << State::Idle << "Управление подпиской" << "sliders" << false;
    QTest::newRow("servers, connected") << 4 << State::Connected << "Управление подпиской" << "sliders" << false;
    QTest::newRow("servers, error") << 4 << State::Error << "Подписка и диагностика" << "sliders" << false;
    QTest::newRow("no servers, error") << 0 << State::Error << "Подписка и диагностика" << "plus" << true;
    // clang-format on
}

void WindowTest::subscriptionButton()
{
    QFETCH(int, servers);
    QFETCH(State, state);
    QFETCH(QString, text);
    QFETCH(QString, icon);
    QFETCH(bool, primary);
    ControllerTestAccess::setServers(*m_vpn, uitest::sampleServers(servers));
    putInto(state);
    QQuickItem* button = item(QStringLiteral("subscriptionButton"));
    QCOMPARE(button->property("text").toString(), text);
    QCOMPARE(button->property("iconName").toString(), icon);
    QCOMPARE(button->property("primary").toBool(), primary);
    QCOMPARE(accessibleName(button), text);

    QTest::mouseClick(m_window, Qt::LeftButton, {}, button->mapToScene(QPointF(20, 20)).toPoint());
    QObject* popup = findNamed(m_window, QStringLiteral("subscriptionPopup"));
    QTRY_VERIFY(popup->property("opened").toBool());
    QTRY_VERIFY(item(QStringLiteral("subscriptionUrl"))->hasActiveFocus());
}

void WindowTest::linkEnterRule_data()
{
    // clang-format off
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QString>("imported");
    QTest::newRow("idle") << "https://my.example/s/abc/" << false << false << "https://my.example/s/abc/";
    QTest::newRow("trimmed") << "  https://my.example/s/abc/\t" << false << false << "https://my.example/s/abc/";
    QTest::newRow("connected") << "https://my.example/s/abc/" << false << true << "";
    QTest::newRow("busy") << "https://my.example/s/abc/" << true << false << "";
    QTest::newRow("blank") << "   " << false << false << "";
    // clang-format on
}

void WindowTest::linkEnterRule()
{
    QFETCH(QString, text);
    QFETCH(bool, busy);
    QFETCH(bool, connected);
    QFETCH(QString, imported);
    QCOMPARE(call(QStringLiteral("subscriptionPopup"), "linkToImport", {text, busy, connected}),
             QVariant(imported));
}

void WindowTest::popupNoticeIsAlwaysShown()
{
    ControllerTestAccess::setServers(*m_vpn, uitest::sampleServers(2));
    ControllerTestAccess::setSubscription(
        *m_vpn, QStringLiteral("Сначала добавьте ссылку из кабинета."), false);
    openPopup();
    QQuickItem* notice = item(QStringLiteral("popupNotice"));
    QQuickItem* copy = item(QStringLiteral("copyErrorButton"));
    QVERIFY(notice->isVisible());
    QCOMPARE(notice->property("text").toString(),
             QStringLiteral("Сначала добавьте ссылку из кабинета."));
    QVERIFY(!copy->isVisible());
    QVERIFY(!item(QStringLiteral("footerNotice"))->isVisible());

    putInto(State::Error);
    QCOMPARE(notice->property("text").toString(),
             QStringLiteral("Сначала добавьте ссылку из кабинета.\nОшибка подключения"));
    QVERIFY(copy->isVisible());
    QCOMPARE(copy->property("text").toString(), QStringLiteral("Скопировать ошибку"));

    ControllerTestAccess::setSubscription(*m_vpn, QString(), true);
    QCOMPARE(item(QStringLiteral("importButton"))->property("text").toString(),
             QStringLiteral("Обновление..."));
    QVERIFY(!item(QStringLiteral("importButton"))->isEnabled());
}

void WindowTest::accountInfoFromTheService_data()
{
    QTest::addColumn<QByteArray>("userInfo");
    QTest::addColumn<QString>("info");   // the popup's account lines; {end} is the end date
    QTest::addColumn<QString>("suffix"); // after the notice of the update
    QTest::addColumn<bool>("warning");

    const QByteArray soon = QByteArray::number(QDateTime::currentDateTime().addDays(2).toSecsSinceEpoch());
    const QByteArray later = QByteArray::number(QDateTime::currentDateTime().addDays(40).toSecsSinceEpoch());
    const QByteArray past = QByteArray::number(QDateTime::currentDateTime().addDays(-1).toSecsSinceEpoch());
    // clang-format off
    QTest::newRow("no headers") << QByteArray() << "" << "" << false;
    QTest::newRow("plenty left") << "upload=0; download=1073741824; total=107374182400; expire=" + later << "Орвик\nТрафик: 1,0 из 100,0 ГБ\nДействует {end}" << " · осталось 99,0 ГБ · {end}" << false;
    QTest::newRow("ends in two days") << "upload=0; download=0; total=0; expire=" + soon << "Орвик\nТрафик: 0,0 ГБ, без ограничения\nДействует {end}" << " · {end}" << true;
    QTest::newRow("ended") << "upload=0; download=0; total=1073741824; expire=" + past << "Орвик\nТрафик: 0,0 из 1,0 ГБ\nДействует {end}" << " · Подписка закончилась, продлите её в кабинете" << true;
    // clang-format on
}

// A real download whose reply carries the service's account headers.
void WindowTest::accountInfoFromTheService()
{
    QFETCH(QByteArray, userInfo);
    QFETCH(QString, info);
    QFETCH(QString, suffix);
    QFETCH(bool, warning);

    HttpsTestServer server;
    QVERIFY2(server.start(), qPrintable(server.errorText()));
    HttpHeaders headers;
    if (!userInfo.isEmpty())
        headers = {{"subscription-userinfo", userInfo}, {"profile-title", "base64:" + QStringLiteral("Орвик").toUtf8().toBase64()}};
    server.setResponse("/sub", {200, headers, "hy2://pw@127.0.0.1:443?sni=a.example.net#A\n"});
    m_vpn->importSubscription(QStringLiteral("https://127.0.0.1:%1/sub").arg(server.port()));
    QTRY_VERIFY_WITH_TIMEOUT(!m_vpn->isSubscriptionLoading(), 20000);
    m_vpn->cancelPings();

    const QDateTime end = QDateTime::fromSecsSinceEpoch(QByteArray(userInfo).split('=').last().toLongLong());
    const QString endText = QStringLiteral("до ") + end.toString(QStringLiteral("dd.MM.yyyy"));
    openPopup();
    QQuickItem* account = item(QStringLiteral("accountInfo"));
    QCOMPARE(account->isVisible(), !info.isEmpty());
    QCOMPARE(account->property("text").toString(), QString(info).replace(QStringLiteral("{end}"), endText));
    const QString notice = QStringLiteral("Подписка обновлена · 1 профилей") + QString(suffix).replace(QStringLiteral("{end}"), endText);
    QCOMPARE(item(QStringLiteral("popupNotice"))->property("text").toString(), notice);
    QQuickItem* footer = item(QStringLiteral("footerNotice"));
    QCOMPARE(footer->isVisible(), warning);
    QCOMPARE(footer->property("text").toString(), notice);
    QCOMPARE(footer->property("color").value<QColor>() == QColor(QStringLiteral("#9df2d0")), warning);
    ControllerTestAccess::reset(*m_vpn);
}

void WindowTest::siteWindowAdd_data()
{
    // clang-format off
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("byEnter");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("domain, Enter") << "example.org" << true << true;
    QTest::newRow("link, button") << "https://news.example.net/a/b?c=1" << false << true;
    QTest::newRow("single label, Enter") << "localhost" << true << false;
    QTest::newRow("IP address, button") << "10.1.2.3" << false << false;
    QTest::newRow("blank, button") << "   " << false << false;
    // clang-format on
}

void WindowTest::siteWindowAdd()
{
    QFETCH(QString, input);
    QFETCH(bool, byEnter);
    QFETCH(bool, accepted);
    showSecondary(QStringLiteral("siteWindow"));
    auto* siteWindow = findNamed<QQuickWindow>(m_window, QStringLiteral("siteWindow"));
    QQuickItem* field = item(QStringLiteral("domainInput"));
    field->setProperty("text", input);
    if (byEnter) {
        press(siteWindow, field, Qt::Key_Return);
    } else {
        QQuickItem* add = item(QStringLiteral("addDomainButton"));
        QTest::mouseClick(siteWindow, Qt::LeftButton, {},
                          add->mapToScene(QPointF(20, 20)).toPoint());
    }

    // Whatever the controller answered, the window shows its error text and nothing else.
    const QString error = m_vpn->bypassDomainError();
    QCOMPARE(item(QStringLiteral("domainError"))->isVisible(), !error.isEmpty());
    QCOMPARE(item(QStringLiteral("domainError"))->property("text").toString(), error);
    const bool cleared = field->property("text").toString().isEmpty();

    QCOMPARE(cleared, accepted);
    QCOMPARE(error.isEmpty(), accepted);
    if (accepted) {
        const QVariantList domains = m_vpn->bypassDomains();
        QVERIFY(!domains.isEmpty());
        const QString added =
            domains.constLast().toMap().value(QStringLiteral("domain")).toString();
        QVERIFY2(input.contains(added), qPrintable(added));
        m_vpn->removeBypassDomain(added);
    }
}

void WindowTest::routeExplanation_data()
{
    // clang-format off
    QTest::addColumn<bool>("available");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("text");
    QTest::newRow("no core") << false << "include" << "Для маршрутизации приложений нужен sing-box рядом с приложением.";
    QTest::newRow("include") << true << "include" << "Выбранные приложения будут работать через VPN. Остальные " "приложения останутся напрямую.";
    QTest::newRow("exclude") << true << "exclude" << "Выбранные приложения будут работать напрямую. Остальные приложения пойдут через VPN.";
    // clang-format on
}

void WindowTest::routeExplanation()
{
    QFETCH(bool, available);
    QFETCH(QString, mode);
    QFETCH(QString, text);
    showSecondary(QStringLiteral("appWindow"));
    const QString window = QStringLiteral("appWindow");
    QCOMPARE(call(window, "routeExplanation", {available, mode}).toString(), text);
    // The label uses the same rule with the controller's own values.
    m_vpn->setProcessRouteMode(mode);
    QCOMPARE(item(QStringLiteral("routeExplanation"))->property("text").toString(),
             call(window, "routeExplanation", {m_vpn->processBypassAvailable(), mode}).toString());
}

void WindowTest::routeModeButtonsAndCount_data()
{
    // clang-format off
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("click");
    QTest::newRow("exclude") << "exclude" << "Отмечено напрямую: 2" << "includeModeButton";
    QTest::newRow("include") << "include" << "Отмечено через VPN: 2" << "excludeModeButton";
    // clang-format on
}

void WindowTest::routeModeButtonsAndCount()
{
    QFETCH(QString, mode);
    QFETCH(QString, count);
    QFETCH(QString, click);
    showSecondary(QStringLiteral("appWindow"));
    // Two names are selected, one of them not running: both count.
    ControllerTestAccess::setProcesses(
        *m_vpn, uitest::sampleProcesses(4),
        {QStringLiteral("telegram-desktop"), QStringLiteral("gone.bin")});
    m_vpn->setProcessRouteMode(mode);
    auto* appWindow = findNamed<QQuickWindow>(m_window, QStringLiteral("appWindow"));
    QCOMPARE(item(QStringLiteral("processCount"))->property("text").toString(), count);
    QQuickItem* exclude = item(QStringLiteral("excludeModeButton"));
    QQuickItem* include = item(QStringLiteral("includeModeButton"));
    QCOMPARE(exclude->property("checked").toBool(), mode == QLatin1String("exclude"));
    QCOMPARE(include->property("checked").toBool(), mode == QLatin1String("include"));
    QCOMPARE(accessibleName(exclude),
             QStringLiteral("Режим исключений: выбранные приложения напрямую"));
    QCOMPARE(accessibleName(include),
             QStringLiteral("Белый список: только выбранные приложения через VPN"));

    // Clicking the current mode changes nothing and leaves it checked.
    QQuickItem* current = mode == QLatin1String("include") ? include : exclude;
    QTest::mouseClick(appWindow, Qt::LeftButton, {},
                      current->mapToScene(QPointF(10, 10)).toPoint());
    QCOMPARE(m_vpn->processRouteMode(), mode);
    QVERIFY(current->property("checked").toBool());

    QQuickItem* other = item(click);
    QTest::mouseClick(appWindow, Qt::LeftButton, {}, other->mapToScene(QPointF(10, 10)).toPoint());
    QCOMPARE(m_vpn->processRouteMode(), mode == QLatin1String("include")
                                            ? QStringLiteral("exclude")
                                            : QStringLiteral("include"));
    QVERIFY(other->property("checked").toBool());
    QVERIFY(!current->property("checked").toBool());

    putInto(State::Connecting);
    QVERIFY(!exclude->isEnabled());
    QVERIFY(!include->isEnabled());
}

void WindowTest::processListKeepsItsScrollPosition()
{
    showSecondary(QStringLiteral("appWindow"));
    auto* list = item(QStringLiteral("processList"));
    QVERIFY(list);
    // A replaced model is put back in place on the next pass of the event loop.
    const auto replace = [&](int count, const QStringList& selected) {
        ControllerTestAccess::setProcesses(*m_vpn, uitest::sampleProcesses(count), selected);
        // The controller filters by the search text.
        QCOMPARE(list->property("count").toInt(), int(m_vpn->processes().size()));
        QTRY_VERIFY(!list->property("restoring").toBool());
    };
    replace(60, {});
    QMetaObject::invokeMethod(list, "forceLayout");
    list->setProperty("contentY", 900.0);
    QCOMPARE(list->property("contentY").toReal(), 900.0);

    // A refresh or a toggle replaces the model; the list comes back to where it was.
    replace(60, {QStringLiteral("steam")});
    QCOMPARE(list->property("contentY").toReal(), 900.0);
    replace(59, {});
    QCOMPARE(list->property("contentY").toReal(), 900.0);

    // A shorter list limits the position to its end.
    replace(15, {});
    const qreal end = list->property("contentHeight").toReal() - list->height();
    QVERIFY(end > 0 && end < 900);
    QCOMPARE(list->property("contentY").toReal(), end);

    // Typing a search goes back to the top and filters in the controller.
    replace(60, {});
    list->setProperty("contentY", 700.0);
    item(QStringLiteral("processSearch"))->setProperty("text", QStringLiteral("fire"));
    QCOMPARE(m_vpn->processFilter(), QStringLiteral("fire"));
    QTRY_VERIFY(!list->property("restoring").toBool());
    QCOMPARE(list->property("contentY").toReal(), 0.0);
    replace(60, {});
    QCOMPARE(list->property("contentY").toReal(), 0.0);
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
    QCOMPARE(findNamed<QQuickItem>(under, QStringLiteral("latencyButton"))->property("text"),
             QVariant(QStringLiteral("HTTPS 87 мс")));
}

void WindowTest::reducedMotionStopsTheLoops()
{
    m_window->setProperty("reducedMotion", false);
    ControllerTestAccess::setServers(*m_vpn, uitest::sampleServers(2));
    putInto(State::Connecting);
    QQuickItem* button = item(QStringLiteral("connectButton"));
    QQuickItem* ring = item(QStringLiteral("pulseRing"));
    QQuickItem* icon = item(QStringLiteral("connectIcon"));
    QVERIFY(button->property("spinning").toBool());
    QVERIFY(ring->isVisible());
    QTRY_VERIFY(icon->rotation() > 0);

    // The switch in the popup turns motion down for the whole window.
    openPopup();
    QQuickItem* motionSwitch = item(QStringLiteral("reducedMotionSwitch"));
    QCOMPARE(accessibleName(motionSwitch), QStringLiteral("Уменьшить движение"));
    QTest::mouseClick(m_window, Qt::LeftButton, {},
                      motionSwitch->mapToScene(QPointF(20, motionSwitch->height() / 2)).toPoint());
    QVERIFY(m_window->property("reducedMotion").toBool());
    QVERIFY(!button->property("spinning").toBool());
    QVERIFY(!ring->isVisible());
    QCOMPARE(icon->rotation(), 0.0);

    // Turning stops, too, when connecting ends.
    m_window->setProperty("reducedMotion", false);
    QTRY_VERIFY(icon->rotation() > 0);
    ControllerTestAccess::setConnected(*m_vpn, true);
    QVERIFY(!button->property("spinning").toBool());
    QCOMPARE(icon->rotation(), 0.0);
}

void WindowTest::closingHidesUntilQuitAllowsIt()
{
    QVERIFY(m_window->isVisible());
    // The tray's rule for a desktop without a notification area is the tray test's; without
    // the tray, closing only hides the window.
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

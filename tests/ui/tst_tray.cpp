// The notification-area icon: its texts, showing the window, and the way out.

#include "app/shell.h"
#include "app/tray.h"
#include "controller/controller.h"
#include "tests/support/testenv.h"
#include "tests/support/controllertestaccess.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QProcess>
#include <QQuickWindow>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>

#include <cstdio>

namespace {

const char quitChildMode[] = "--quit-from-tray";
const char closeChildMode[] = "--close-window";
const char appQuitChildMode[] = "--quit-application";

// The client's shell, connected, that then quits by the tray's "Выйти", by closing its window
// or by the application's own quit. It reports what it saw on standard output.
int runQuitChild(int argc, char** argv)
{
    testenv::isolateUserDirectories();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    app.setApplicationName(QStringLiteral("OrvikVPN"));
    app.setOrganizationName(QStringLiteral("OrvikVPN"));
    app.setApplicationVersion(QStringLiteral(ORVIK_VERSION));
    const auto report = [](const QString& line) {
        std::printf("%s\n", qPrintable(line));
        std::fflush(stdout);
    };

    const Shell shell(nullptr, QCoreApplication::arguments());
    QQuickWindow* window = shell.window();
    Controller* controller = shell.controller();
    if (!window || !controller)
        return 3;
    ControllerTestAccess::setConnected(*controller, true);
    // From here on, connection signals come only from shutdown().
    QObject::connect(controller, &Controller::connectedChanged, [&] {
        report(QStringLiteral("shutdown connected=%1 allowClose=%2 visible=%3")
                   .arg(controller->isConnected())
                   .arg(window->property("allowClose").toBool())
                   .arg(window->isVisible()));
    });
    QObject::connect(window, &QWindow::visibleChanged, [&](bool visible) {
        if (!visible)
            report(QStringLiteral("window hidden"));
    });
    QObject::connect(window, &QObject::destroyed,
                     [&] { report(QStringLiteral("window destroyed")); });
    QTimer::singleShot(300, [&] {
        if (qstrcmp(argv[1], closeChildMode) == 0)
            window->close();
        else if (qstrcmp(argv[1], appQuitChildMode) == 0)
            QCoreApplication::quit();
        else
            shell.tray()->menu()->actions().constLast()->trigger();
    });
    const int code = QApplication::exec();
    report(QStringLiteral("event loop returned %1").arg(code));
    // The engine ends the window and the controller on the way out; only the window reports.
    QObject::disconnect(controller, &Controller::connectedChanged, nullptr, nullptr);
    return code;
}

} // namespace

class TrayTest : public QObject
{
    Q_OBJECT

private slots:
    void menuHasItsFourEntries();
    void textsFollowConnected();
    void withoutControllerThereIsNoTooltip();
    void activation_data();
    void activation();
    void toggleEntrySwitchesTheVpn();
    void quit_data();
    void quit();
};

void TrayTest::menuHasItsFourEntries()
{
    Tray tray(Shell::icon(), nullptr);
    const QList<QAction*> actions = tray.menu()->actions();
    QCOMPARE(actions.size(), 4);
    QCOMPARE(actions.at(0)->text(), QStringLiteral("Показать OrvikVPN"));
    QCOMPARE(actions.at(1)->text(), QStringLiteral("Включить VPN"));
    QVERIFY(actions.at(2)->isSeparator());
    QCOMPARE(actions.at(3)->text(), QStringLiteral("Выйти"));
    QVERIFY(!tray.trayIcon()->icon().isNull());
    QVERIFY(tray.trayIcon()->icon().availableSizes().contains(QSize(16, 16)));
}

void TrayTest::textsFollowConnected()
{
    Controller controller;
    Tray tray(Shell::icon(), nullptr);
    tray.attachController(&controller);
    QCOMPARE(tray.toggleText(), QStringLiteral("Включить VPN"));
    QCOMPARE(tray.toolTip(), QStringLiteral("OrvikVPN · Отключено"));

    ControllerTestAccess::setConnecting(controller, true);
    QCOMPARE(tray.toggleText(), QStringLiteral("Включить VPN"));
    QCOMPARE(tray.toolTip(), QStringLiteral("OrvikVPN · Отключено"));

    ControllerTestAccess::setConnected(controller, true);
    QCOMPARE(tray.toggleText(), QStringLiteral("Отключить VPN"));
    QCOMPARE(tray.toolTip(), QStringLiteral("OrvikVPN · Подключено"));

    controller.setStatus(QStringLiteral("Ошибка подключения"));
    ControllerTestAccess::setConnected(controller, false);
    QCOMPARE(tray.toggleText(), QStringLiteral("Включить VPN"));
    QCOMPARE(tray.toolTip(), QStringLiteral("OrvikVPN · Отключено"));
}

void TrayTest::withoutControllerThereIsNoTooltip()
{
    Tray tray(Shell::icon(), nullptr);
    tray.show();
    QVERIFY(tray.toolTip().isEmpty());
    tray.menu()->actions().at(1)->trigger(); // nothing to switch, nothing happens
    tray.menu()->actions().at(0)->trigger(); // no window to show
    QCOMPARE(tray.toggleText(), QStringLiteral("Включить VPN"));
}

void TrayTest::activation_data()
{
    QTest::addColumn<QSystemTrayIcon::ActivationReason>("reason");
    QTest::addColumn<bool>("shows");
    QTest::newRow("single click") << QSystemTrayIcon::Trigger << true;
    QTest::newRow("double click") << QSystemTrayIcon::DoubleClick << true;
    QTest::newRow("middle click") << QSystemTrayIcon::MiddleClick << false;
    QTest::newRow("context menu") << QSystemTrayIcon::Context << false;
    QTest::newRow("unknown") << QSystemTrayIcon::Unknown << false;
}

void TrayTest::activation()
{
    QFETCH(QSystemTrayIcon::ActivationReason, reason);
    QFETCH(bool, shows);
    QQuickWindow window;
    Tray tray(Shell::icon(), &window);
    QVERIFY(!window.isVisible());
    emit tray.trayIcon()->activated(reason);
    QCOMPARE(window.isVisible(), shows);

    window.hide();
    tray.menu()->actions().at(0)->trigger();
    QVERIFY(window.isVisible());
}

void TrayTest::toggleEntrySwitchesTheVpn()
{
    Controller controller;
    Tray tray(Shell::icon(), nullptr);
    tray.attachController(&controller);
    // A scheduled restart counts as a running tunnel: the toggle stops it.
    ControllerTestAccess::setReconnectPending(controller, true);
    controller.setStatus(QStringLiteral("Применение списка сайтов..."));
    tray.menu()->actions().at(1)->trigger();
    QVERIFY(!ControllerTestAccess::reconnectPending(controller));
    QCOMPARE(controller.status(), QStringLiteral("Отключено"));
}

void TrayTest::quit_data()
{
    QTest::addColumn<QString>("mode");
    QTest::newRow("Выйти") << quitChildMode;
    // Without a notification area a hidden window could never come back, so closing it quits.
    QTest::newRow("closing the window without a tray") << closeChildMode;
    // Not through the tray at all: the session's end, say.
    QTest::newRow("the application's own quit") << appQuitChildMode;
}

void TrayTest::quit()
{
    QFETCH(QString, mode);
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {mode});
    QVERIFY(child.waitForFinished(20000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);

    const QStringList lines = QString::fromUtf8(child.readAllStandardOutput())
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY2(!lines.isEmpty(), "the child reported nothing");
    // The cores stop first, while the window is still up and may not close yet.
    QCOMPARE(lines.constFirst(), QStringLiteral("shutdown connected=0 allowClose=0 visible=1"));
    // Then the event loop ends with 0 and only after that does the window go.
    const qsizetype ended = lines.indexOf(QStringLiteral("event loop returned 0"));
    const qsizetype hidden = lines.indexOf(QStringLiteral("window hidden"));
    QVERIFY2(ended > 0 && hidden > 0, qPrintable(lines.join(QLatin1Char('|'))));
    QVERIFY(lines.indexOf(QStringLiteral("window destroyed")) > ended);
}

int main(int argc, char** argv)
{
    for (const char* mode : {quitChildMode, closeChildMode, appQuitChildMode}) {
        if (argc > 1 && qstrcmp(argv[1], mode) == 0)
            return runQuitChild(argc, argv);
    }
    testenv::isolateUserDirectories();
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("OrvikVPN"));
    app.setOrganizationName(QStringLiteral("OrvikVPN"));
    app.setApplicationVersion(QStringLiteral(ORVIK_VERSION));
    TrayTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tray.moc"

// The notification-area icon: its texts, showing the window, and the ways out.

#include "app/shell.h"
#include "app/tray.h"
#include "controller/controller.h"
#include "tests/support/controllertestaccess.h"
#include "tests/support/testenv.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QQuickWindow>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>

#include <cstdio>

namespace {

const char* const quitModes[] = {"--child-quit-from-tray", "--child-close-window", "--child-quit"};

// The client's shell, connected, that then quits by the tray's "Выйти", by closing its window
// (no notification area here) or by the application's own quit, and prints what it saw.
int runQuitChild(int argc, char** argv)
{
    testenv::isolateUserDirectories();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
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
        if (qstrcmp(argv[1], quitModes[1]) == 0)
            window->close();
        else if (qstrcmp(argv[1], quitModes[2]) == 0)
            QCoreApplication::quit();
        else
            shell.tray()->menu()->actions().constLast()->trigger();
    });
    const int code = QApplication::exec();
    report(QStringLiteral("event loop returned %1").arg(code));
    QObject::disconnect(controller, &Controller::connectedChanged, nullptr, nullptr);
    return code;
}

} // namespace

class TrayTest : public QObject
{
    Q_OBJECT

private slots:
    void textsAndToggleFollowTheController();
    void clickAndShowEntryShowTheWindow();
    void quit_data();
    void quit();
};

void TrayTest::textsAndToggleFollowTheController()
{
    Controller controller;
    Tray tray(Shell::icon(), nullptr);
    tray.attachController(&controller);
    QVERIFY(tray.trayIcon()->icon().availableSizes().contains(QSize(16, 16)));
    const QList<QAction*> actions = tray.menu()->actions();
    QCOMPARE(actions.size(), 4);
    const auto expect = [&](bool on) {
        QCOMPARE(tray.toggleText(), QString::fromUtf16(on ? u"Отключить VPN" : u"Включить VPN"));
        QCOMPARE(tray.toolTip(),
                 QString::fromUtf16(on ? u"OrvikVPN · Подключено" : u"OrvikVPN · Отключено"));
    };
    expect(false);
    ControllerTestAccess::setConnecting(controller, true);
    expect(false);
    ControllerTestAccess::setConnected(controller, true);
    expect(true);
    controller.setStatus(QStringLiteral("Ошибка подключения"));
    ControllerTestAccess::setConnected(controller, false);
    expect(false);
    actions.at(0)->trigger(); // no window to show

    // A scheduled restart counts as a running tunnel: the toggle stops it.
    ControllerTestAccess::setReconnectPending(controller, true);
    controller.setStatus(QStringLiteral("Применение списка сайтов..."));
    actions.at(1)->trigger();
    QVERIFY(!ControllerTestAccess::reconnectPending(controller));
    QCOMPARE(controller.status(), QStringLiteral("Отключено"));
}

void TrayTest::clickAndShowEntryShowTheWindow()
{
    QQuickWindow window;
    Tray tray(Shell::icon(), &window);
    tray.show();
    QVERIFY(tray.toolTip().isEmpty()); // no controller: no state, and the toggle does nothing
    tray.menu()->actions().at(1)->trigger();
    // clang-format off
    const std::pair<QSystemTrayIcon::ActivationReason, bool> clicks[] = {
        {QSystemTrayIcon::Trigger, true},
        {QSystemTrayIcon::DoubleClick, true},
        {QSystemTrayIcon::MiddleClick, false},
        {QSystemTrayIcon::Context, false},
    };
    // clang-format on
    for (const auto& [reason, shows] : clicks) {
        window.hide();
        emit tray.trayIcon()->activated(reason);
        QCOMPARE(window.isVisible(), shows);
    }
    window.hide();
    tray.menu()->actions().at(0)->trigger();
    QVERIFY(window.isVisible());
}

void TrayTest::quit_data()
{
    QTest::addColumn<QString>("mode");
    for (const char* mode : quitModes)
        QTest::newRow(mode) << QString::fromLatin1(mode);
}

void TrayTest::quit()
{
    QFETCH(QString, mode);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const testenv::ProcessRun child =
        testenv::runProcess(QCoreApplication::applicationFilePath(), {mode}, {}, environment);
    const QStringList lines = QString::fromUtf8(child.out).split(u'\n', Qt::SkipEmptyParts);
    QVERIFY2(child.exitCode == 0 && !lines.isEmpty(), child.err.constData());
    // The cores stop first, while the window is still up and may not close yet; then the event
    // loop ends with 0, and only after that does the window go.
    QCOMPARE(lines.constFirst(), QStringLiteral("shutdown connected=0 allowClose=0 visible=1"));
    const qsizetype ended = lines.indexOf(QStringLiteral("event loop returned 0"));
    QVERIFY2(ended > 0 && lines.indexOf(QStringLiteral("window hidden")) > 0,
             qPrintable(lines.join(u'|')));
    QVERIFY(lines.indexOf(QStringLiteral("window destroyed")) > ended);
}

int main(int argc, char** argv)
{
    if (argc > 1 && qstrncmp(argv[1], "--child-", 8) == 0)
        return runQuitChild(argc, argv);
    testenv::isolateUserDirectories();
    QApplication app(argc, argv);
    TrayTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tray.moc"

// The real window with the real controller, put into one state: for screenshots
// (tools/screenshots.sh) and for the start-up figures (bench/bench_window.cpp).
//
//   orvik-ui-harness [--state empty|servers|connecting|connected|error] [--servers N]
//                    [--show popup|sites|apps] [--size WxH] [--reduced-motion]
//                    [--ready-file PATH] [--first-frame]
//
// With --ready-file it writes "main|sites|apps <X window id>" lines once the window has
// settled. With --first-frame the servers are in the list before the first frame, which is
// reported with the resident memory (see firstframe.h), and the process ends. With
// --reduced-motion the first frame already shows the whole page instead of the start of
// its fade-in.

#include "app/shell.h"
#include "bench/firstframe.h"
#include "controller/controller.h"
#include "tests/support/testenv.h"
#include "tests/support/controllertestaccess.h"
#include "tests/ui/mainwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QFile>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>

#include <utility>

namespace {

void applyState(Controller& vpn, const QString& state, int servers)
{
    if (state == QLatin1String("empty"))
        return;
    const QVariantList list = uitest::sampleServers(servers);
    if (state == QLatin1String("servers")) {
        ControllerTestAccess::setServers(vpn, list, 0);
        if (servers > 4)
            ControllerTestAccess::setServerField(vpn, 4, QStringLiteral("pinging"), true);
    } else if (state == QLatin1String("connecting")) {
        ControllerTestAccess::setServers(vpn, list, 1);
        ControllerTestAccess::setConnecting(vpn, true);
        vpn.setStatus(QStringLiteral("Проверка трафика..."));
    } else if (state == QLatin1String("connected")) {
        ControllerTestAccess::setServers(vpn, list, 1);
        ControllerTestAccess::setServerField(vpn, 1, QStringLiteral("latency"), 63);
        ControllerTestAccess::setConnected(vpn, true);
        vpn.setStatus(QStringLiteral("Подключено"));
    } else if (state == QLatin1String("error")) {
        ControllerTestAccess::setServers(vpn, list, 2);
        ControllerTestAccess::setSubscription(
            vpn, QStringLiteral("Подписка обновлена · %1 профилей").arg(servers), false);
        ControllerTestAccess::setLastError(vpn, QStringLiteral("sing-box: start service: timeout"));
        vpn.setStatus(QStringLiteral("Ошибка подключения"));
    } else if (state == QLatin1String("account")) {
        // Two days and a tenth of the traffic left: the notice warns.
        subscription::AccountInfo account;
        account.title = QStringLiteral("Орвик Премиум");
        account.download = 90LL << 30;
        account.total = 100LL << 30;
        account.expire = QDateTime::currentDateTime().addDays(2).toSecsSinceEpoch();
        ControllerTestAccess::setServers(vpn, list, 0);
        ControllerTestAccess::setAccount(vpn, account);
        ControllerTestAccess::setSubscription(
            vpn, QStringLiteral("Подписка обновлена · %1 профилей").arg(servers) +
                     subscription::accountNoticeSuffix(account, QDateTime::currentDateTime()),
            false);
    }
}

QString windowIds(QQuickWindow* main)
{
    QString lines = QStringLiteral("main 0x%1\n").arg(main->winId(), 0, 16);
    const std::pair<const char*, const char*> secondary[] = {{"siteWindow", "sites"},
                                                             {"appWindow", "apps"}};
    for (const auto& [objectName, label] : secondary) {
        auto* window = uitest::findNamed<QQuickWindow>(main, QString::fromLatin1(objectName));
        if (window && window->isVisible())
            lines += QStringLiteral("%1 0x%2\n")
                         .arg(QString::fromLatin1(label))
                         .arg(window->winId(), 0, 16);
    }
    return lines;
}

} // namespace

int main(int argc, char** argv)
{
    testenv::isolateUserDirectories();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    app.setApplicationName(QStringLiteral("OrvikVPN"));
    app.setOrganizationName(QStringLiteral("OrvikVPN"));
    app.setApplicationVersion(QStringLiteral(ORVIK_VERSION));
    QApplication::setWindowIcon(Shell::icon());

    QCommandLineParser parser;
    const QCommandLineOption stateOption(QStringLiteral("state"), QStringLiteral("window state"),
                                         QStringLiteral("state"), QStringLiteral("servers"));
    const QCommandLineOption serversOption(QStringLiteral("servers"),
                                           QStringLiteral("number of servers"),
                                           QStringLiteral("count"), QStringLiteral("6"));
    const QCommandLineOption showOption(
        QStringLiteral("show"), QStringLiteral("popup, sites or apps"), QStringLiteral("what"));
    const QCommandLineOption readyOption(
        QStringLiteral("ready-file"), QStringLiteral("window ids go here"), QStringLiteral("path"));
    const QCommandLineOption sizeOption(QStringLiteral("size"), QStringLiteral("window size"),
                                        QStringLiteral("WIDTHxHEIGHT"));
    const QCommandLineOption reducedOption(QStringLiteral("reduced-motion"),
                                           QStringLiteral("start with motion turned down"));
    const QCommandLineOption frameOption(QStringLiteral("first-frame"),
                                         QStringLiteral("report the first frame"));
    parser.addOptions({stateOption, serversOption, showOption, readyOption, sizeOption,
                       reducedOption, frameOption});
    parser.addHelpOption();
    parser.process(app);

    QVariantMap initialProperties;
    if (parser.isSet(reducedOption))
        initialProperties.insert(QStringLiteral("reducedMotion"), true);
    const Shell shell(nullptr, QStringList(), initialProperties);
    if (!shell.window() || !shell.controller())
        return 1;
    Controller& vpn = *shell.controller();
    if (parser.isSet(sizeOption)) {
        const QStringList size = parser.value(sizeOption).split(QLatin1Char('x'));
        shell.window()->resize(size.value(0).toInt(), size.value(1).toInt());
    }
    const QString state = parser.value(stateOption);
    const int servers = parser.value(serversOption).toInt();

    if (parser.isSet(frameOption)) {
        // The list is in place before anything is drawn, as a cached subscription would be.
        applyState(vpn, state, servers);
        firstframe::reportAndQuit(shell.window());
        return QApplication::exec();
    }

    QTimer::singleShot(0, &app, [&] {
        applyState(vpn, state, servers);
        const QString show = parser.value(showOption);
        if (show == QLatin1String("popup")) {
            QMetaObject::invokeMethod(
                uitest::findNamed(shell.window(), QStringLiteral("subscriptionPopup")), "open");
        } else if (show == QLatin1String("sites")) {
            // Opened the way the user opens it, by its shortcut button.
            QMetaObject::invokeMethod(
                uitest::findNamed(shell.window(), QStringLiteral("sitesButton")), "clicked");
            vpn.addBypassDomain(QStringLiteral("news.example.org"));
            uitest::findNamed(shell.window(), QStringLiteral("domainInput"))
                ->setProperty("text", QStringLiteral("localhost"));
            vpn.setBypassDomainError(QStringLiteral("Укажите полный домен, например example.ru."));
        } else if (show == QLatin1String("apps")) {
            QMetaObject::invokeMethod(
                uitest::findNamed(shell.window(), QStringLiteral("appsButton")), "clicked");
            QVariantList processes = uitest::sampleProcesses(12);
            QStringList selected;
            for (const QVariant& process : processes) {
                const QVariantMap entry = process.toMap();
                if (entry.value(QStringLiteral("selected")).toBool())
                    selected << entry.value(QStringLiteral("name")).toString();
            }
            ControllerTestAccess::setProcesses(vpn, processes, selected);
        }
    });
    if (parser.isSet(readyOption)) {
        // Ready once the entry animation and the popup's fade have run to their end (a
        // software renderer may take a while), and a moment later for the pictures.
        auto* poll = new QTimer(&app);
        QObject::connect(poll, &QTimer::timeout, &app, [&, poll] {
            QObject* page = uitest::findNamed(shell.window(), QStringLiteral("page"));
            QObject* popup = uitest::findNamed(shell.window(), QStringLiteral("subscriptionPopup"));
            const bool popupSettled =
                !popup->property("visible").toBool() || popup->property("opacity").toReal() >= 1.0;
            if (page->property("opacity").toReal() < 1.0 || !popupSettled)
                return;
            poll->stop();
            QTimer::singleShot(800, &app, [&] {
                QFile ready(parser.value(readyOption));
                if (ready.open(QIODevice::WriteOnly))
                    ready.write(windowIds(shell.window()).toUtf8());
            });
        });
        poll->start(100);
    }
    return QApplication::exec();
}

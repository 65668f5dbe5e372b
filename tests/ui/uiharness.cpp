// The real window and controller in one state, for tools/screenshots.sh and bench_window:
//   orvik-ui-harness [--state empty|servers|connecting|connected|error|account] [--servers N]
//                    [--show popup|sites|apps] [--size WxH] [--reduced-motion]
//                    [--ready-file PATH] [--first-frame]
// --ready-file gets "main|sites|apps <X window id>" lines once the window has settled;
// --first-frame reports the first frame, drawn with the servers in place (firstframe.h).

#include "app/shell.h"
#include "bench/firstframe.h"
#include "controller/controller.h"
#include "tests/support/controllertestaccess.h"
#include "tests/support/testenv.h"
#include "tests/ui/mainwindow.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>

namespace {

void applyState(Controller& vpn, const QString& state, int servers)
{
    const QVariantList list = uitest::sampleServers(state == u"empty" ? 0 : servers);
    const QString updated = QStringLiteral("Подписка обновлена · %1 профилей").arg(servers);
    ControllerTestAccess::setServers(vpn, list,
                                     state == u"error" ? 2 : int(state.startsWith(u"connect")));
    if (state == u"servers" && servers > 4) {
        ControllerTestAccess::setServerField(vpn, 4, QStringLiteral("pinging"), true);
    } else if (state == u"connecting") {
        ControllerTestAccess::setConnecting(vpn, true);
        vpn.setStatus(QStringLiteral("Проверка трафика..."));
    } else if (state == u"connected") {
        ControllerTestAccess::setServerField(vpn, 1, QStringLiteral("latency"), 63);
        ControllerTestAccess::setConnected(vpn, true);
        vpn.setStatus(QStringLiteral("Подключено"));
    } else if (state == u"error") {
        ControllerTestAccess::setSubscription(vpn, updated, false);
        ControllerTestAccess::setLastError(vpn, QStringLiteral("sing-box: start service: timeout"));
        vpn.setStatus(QStringLiteral("Ошибка подключения"));
    } else if (state == u"account") {
        // Two days and a tenth of the traffic left: the notice warns.
        subscription::AccountInfo account;
        account.title = QStringLiteral("Орвик Премиум");
        account.download = 90LL << 30;
        account.total = 100LL << 30;
        account.expire = QDateTime::currentDateTime().addDays(2).toSecsSinceEpoch();
        ControllerTestAccess::setAccount(vpn, account);
        ControllerTestAccess::setSubscription(
            vpn, updated + subscription::accountNoticeSuffix(account, QDateTime::currentDateTime()),
            false);
    }
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

    // "--name value", or "--name" alone for a switch.
    QHash<QString, QString> options{{QStringLiteral("state"), QStringLiteral("servers")},
                                    {QStringLiteral("servers"), QStringLiteral("6")}};
    const QStringList arguments = QCoreApplication::arguments();
    for (int i = 1; i < arguments.size(); ++i) {
        const QString name = arguments.at(i).mid(2);
        const bool hasValue = i + 1 < arguments.size() && !arguments.at(i + 1).startsWith(u'-');
        options.insert(name, hasValue ? arguments.at(++i) : QStringLiteral("1"));
    }
    const auto value = [&options](const char* name) {
        return options.value(QString::fromLatin1(name));
    };

    QVariantMap initialProperties;
    if (options.contains(QStringLiteral("reduced-motion")))
        initialProperties.insert(QStringLiteral("reducedMotion"), true);
    const Shell shell(nullptr, QStringList(), initialProperties);
    if (!shell.window() || !shell.controller())
        return 1;
    QQuickWindow* window = shell.window();
    Controller& vpn = *shell.controller();
    if (options.contains(QStringLiteral("size"))) {
        const QStringList size = value("size").split(u'x');
        window->resize(size.value(0).toInt(), size.value(1).toInt());
    }
    const QString state = value("state");
    const int servers = value("servers").toInt();

    if (options.contains(QStringLiteral("first-frame"))) {
        applyState(vpn, state, servers);
        firstframe::reportAndQuit(window);
        return QApplication::exec();
    }

    const auto named = [window](const char* name) {
        return uitest::findNamed(window, QString::fromLatin1(name));
    };
    QTimer::singleShot(0, &app, [&] {
        applyState(vpn, state, servers);
        // Each opened the way the user opens it.
        if (value("show") == u"popup") {
            QMetaObject::invokeMethod(named("subscriptionPopup"), "open");
        } else if (value("show") == u"sites") {
            QMetaObject::invokeMethod(named("sitesButton"), "clicked");
            vpn.addBypassDomain(QStringLiteral("news.example.org"));
            named("domainInput")->setProperty("text", QStringLiteral("localhost"));
            vpn.setBypassDomainError(QStringLiteral("Укажите полный домен, например example.ru."));
        } else if (value("show") == u"apps") {
            QMetaObject::invokeMethod(named("appsButton"), "clicked");
            const QVariantList processes = uitest::sampleProcesses(12);
            QStringList selected;
            for (const QVariant& process : processes) {
                if (process.toMap().value(QStringLiteral("selected")).toBool())
                    selected << process.toMap().value(QStringLiteral("name")).toString();
            }
            ControllerTestAccess::setProcesses(vpn, processes, selected);
        }
    });
    if (options.contains(QStringLiteral("ready-file"))) {
        // Ready once the entry animation and the popup's fade have run to their end (a
        // software renderer may take a while), and a moment later for the pictures.
        auto* poll = new QTimer(&app);
        QObject::connect(poll, &QTimer::timeout, &app, [&, poll] {
            QObject* popup = named("subscriptionPopup");
            if (named("page")->property("opacity").toReal() < 1.0 ||
                (popup->property("visible").toBool() && popup->property("opacity").toReal() < 1.0))
                return;
            poll->stop();
            QTimer::singleShot(800, &app, [&] {
                QFile ready(value("ready-file"));
                QString lines = QStringLiteral("main 0x%1\n").arg(window->winId(), 0, 16);
                for (const char* label : {"site", "app"}) {
                    auto* secondary = uitest::findNamed<QQuickWindow>(
                        window, QString::fromLatin1(label) + QStringLiteral("Window"));
                    if (secondary && secondary->isVisible())
                        lines += QStringLiteral("%1s 0x%2\n")
                                     .arg(QString::fromLatin1(label))
                                     .arg(secondary->winId(), 0, 16);
                }
                if (ready.open(QIODevice::WriteOnly))
                    ready.write(lines.toUtf8());
            });
        });
        poll->start(100);
    }
    return QApplication::exec();
}

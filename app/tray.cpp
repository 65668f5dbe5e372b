#include "app/tray.h"

#include "controller/controller.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QQuickWindow>
#include <QSystemTrayIcon>

void bringWindowForward(QQuickWindow* window)
{
    if (!window)
        return;
    window->show();
    window->raise();
    window->requestActivate();
}

Tray::Tray(const QIcon& icon, QQuickWindow* window)
    : m_window(window), m_trayIcon(new QSystemTrayIcon(icon, QCoreApplication::instance())),
      m_menu(std::make_unique<QMenu>())
{
    m_showAction = m_menu->addAction(QStringLiteral("Показать OrvikVPN"));
    m_toggleAction = m_menu->addAction(QStringLiteral("Включить VPN"));
    m_menu->addSeparator();
    m_quitAction = m_menu->addAction(QStringLiteral("Выйти"));

    connect(m_showAction, &QAction::triggered, this, &Tray::bringWindowForward);
    connect(m_trayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger)
                    bringWindowForward();
            });
    if (m_window)
        m_window->installEventFilter(this);
}

Tray::~Tray()
{
    // The menu goes first, then the icon, before the window and the controller.
    m_menu.reset();
    delete m_trayIcon;
}

void Tray::attachController(Controller* controller)
{
    m_controller = controller;
    if (!controller)
        return;
    connect(m_toggleAction, &QAction::triggered, controller, &Controller::toggleVpn);
    connect(controller, &Controller::connectedChanged, this, &Tray::updateTexts);
    updateTexts();
}

void Tray::show()
{
    connect(m_quitAction, &QAction::triggered, this, &Tray::quit);
    m_trayIcon->setContextMenu(m_menu.get());
    m_trayIcon->show();
}

void Tray::bringWindowForward()
{
    ::bringWindowForward(m_window);
}

void Tray::quit()
{
    // The cores stop before the window goes away.
    if (m_controller)
        m_controller->shutdown();
    if (m_window)
        m_window->setProperty("allowClose", true);
    QCoreApplication::quit();
}

bool Tray::eventFilter(QObject* watched, QEvent* event)
{
    // A desktop without a notification area (GNOME without its extension, for one) has no
    // icon to bring a hidden window back or to quit from: closing the window quits there.
    if (watched == m_window && event->type() == QEvent::Close &&
        !m_window->property("allowClose").toBool() && !QSystemTrayIcon::isSystemTrayAvailable())
        quit();
    return QObject::eventFilter(watched, event);
}

QString Tray::toggleText() const
{
    return m_toggleAction->text();
}

QString Tray::toolTip() const
{
    return m_trayIcon->toolTip();
}

void Tray::updateTexts()
{
    const bool connected = m_controller && m_controller->isConnected();
    m_toggleAction->setText(connected ? QStringLiteral("Отключить VPN")
                                      : QStringLiteral("Включить VPN"));
    m_trayIcon->setToolTip(connected ? QStringLiteral("OrvikVPN · Подключено")
                                     : QStringLiteral("OrvikVPN · Отключено"));
}

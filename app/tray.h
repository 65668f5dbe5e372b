#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>

#include <memory>

class Controller;
class QAction;
class QMenu;
class QQuickWindow;
class QSystemTrayIcon;

// The notification-area icon: shows the window, switches the VPN, and is the only way
// to end the process.
class Tray : public QObject
{
    Q_OBJECT

public:
    Tray(const QIcon& icon, QQuickWindow* window);
    ~Tray() override;

    // Wires the toggle entry and the connection texts; only called when a controller exists.
    void attachController(Controller* controller);
    // Wires the quit entry, attaches the menu and shows the icon.
    void show();

    void bringWindowForward();
    void quit();

    QString toggleText() const;
    QString toolTip() const;
    QSystemTrayIcon* trayIcon() const { return m_trayIcon; }
    QMenu* menu() const { return m_menu.get(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateTexts();

    QPointer<QQuickWindow> m_window;
    QPointer<Controller> m_controller;
    QSystemTrayIcon* m_trayIcon = nullptr;
    std::unique_ptr<QMenu> m_menu;
    QAction* m_showAction = nullptr;
    QAction* m_toggleAction = nullptr;
    QAction* m_quitAction = nullptr;
};

// show(), raise(), requestActivate(): how the window is brought back from the tray.
void bringWindowForward(QQuickWindow* window);

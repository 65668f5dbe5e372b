#pragma once

#include "profiles/account.h"

#include <QString>
#include <QStringList>
#include <QVariantList>

class Controller;
class QTimer;
class TunnelSession;

// Puts the real controller into states that otherwise need a subscription, a live tunnel
// or running programs, and emits the signals the window listens to.
class ControllerTestAccess
{
public:
    static void setServers(Controller& controller, const QVariantList& servers,
                           int selectedRow = 0);
    static void setServerField(Controller& controller, int row, const QString& key,
                               const QVariant& value);
    static void setConnecting(Controller& controller, bool connecting);
    static void setConnected(Controller& controller, bool connected);
    static void setSubscription(Controller& controller, const QString& notice, bool loading);
    static void setLastError(Controller& controller, const QString& text);
    // What the service said about the account, as after a download.
    static void setAccount(Controller& controller, const subscription::AccountInfo& account);
    static void setReconnectPending(Controller& controller, bool pending);
    static bool reconnectPending(const Controller& controller);
    static void setProcesses(Controller& controller, const QVariantList& processes,
                             const QStringList& selected);
    static void restart(Controller& controller, const QString& message);
    static QTimer& watchTimer(Controller& controller);
    static QStringList pingQueue(const Controller& controller);
    static TunnelSession* pingSession(const Controller& controller);
    static const QTimer& pingStart(const Controller& controller);
    static void setDownloadDeadline(Controller& controller, int milliseconds);
    static void setHourLength(Controller& controller, int milliseconds);
    // A downloaded subscription body taken in as the updater does; false when it was refused.
    static bool applySubscriptionBody(Controller& controller, const QByteArray& body,
                                      bool fromCache = false);
    static QStringList selectedProcesses(const Controller& controller);
    static QStringList userBypassDomains(const Controller& controller);
    // Back to a fresh controller's state: no servers, idle, "Отключено", no notices.
    static void reset(Controller& controller);
};

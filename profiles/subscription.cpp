#include "controller/controller.h"

// Subscription download and start-up arrive with the subscription work.

void Controller::importSubscription(const QString& url)
{
    Q_UNUSED(url);
}

void Controller::refreshSubscription()
{
}

void Controller::loadSavedSubscription()
{
}

bool Controller::applySubscriptionBody(const QByteArray& body, bool fromCache)
{
    Q_UNUSED(body);
    Q_UNUSED(fromCache);
    return false;
}

void Controller::redeemBootstrapToken(const QString& token, int hostIndex)
{
    Q_UNUSED(token);
    Q_UNUSED(hostIndex);
}

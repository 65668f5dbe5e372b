#include "controller/controller.h"

// Site bypass arrives with the split-tunnelling work.

QVariantList Controller::bypassDomains() const
{
    return {};
}

QStringList Controller::effectiveBypassDomains() const
{
    return m_userBypassDomains;
}

bool Controller::addBypassDomain(const QString& input)
{
    Q_UNUSED(input);
    return false;
}

void Controller::removeBypassDomain(const QString& domain)
{
    Q_UNUSED(domain);
}

void Controller::saveBypassDomains() const
{
}

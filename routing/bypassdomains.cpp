#include "controller/controller.h"
#include "controller/settingskeys.h"
#include "routing/bypassdomain.h"

#include <QSettings>

#include <algorithm>

// Sites that always go direct: the built-in domains first, then the user's own.

namespace {

const QString kApplyingSites = QStringLiteral("Применение списка сайтов...");

} // namespace

QVariantList Controller::bypassDomains() const
{
    QVariantList list;
    const auto append = [&list](const QString& domain, bool builtin) {
        list.append(
            QVariantMap{{QStringLiteral("domain"), domain}, {QStringLiteral("builtin"), builtin}});
    };
    for (const QString& domain : builtinBypassDomains())
        append(domain, true);
    for (const QString& domain : m_userBypassDomains)
        append(domain, false);
    return list;
}

QStringList Controller::effectiveBypassDomains() const
{
    QStringList effective = builtinBypassDomains();
    for (const QString& domain : m_userBypassDomains) {
        if (!effective.contains(domain, Qt::CaseInsensitive))
            effective.append(domain);
    }
    return effective;
}

bool Controller::addBypassDomain(const QString& input)
{
    QString error;
    const QString domain = normalizeBypassDomain(input, &error);
    if (domain.isEmpty()) {
        setBypassDomainError(error);
        return false;
    }
    if (effectiveBypassDomains().contains(domain, Qt::CaseInsensitive)) {
        setBypassDomainError(QStringLiteral("Этот домен уже есть в списке."));
        return false;
    }
    m_userBypassDomains.append(domain);
    saveBypassDomains();
    setBypassDomainError(QString());
    emit bypassDomainsChanged();
    restartTunnel(kApplyingSites);
    return true;
}

void Controller::removeBypassDomain(const QString& domain)
{
    if (builtinBypassDomains().contains(domain, Qt::CaseInsensitive))
        return;
    const auto found = std::find_if(m_userBypassDomains.begin(), m_userBypassDomains.end(),
                                    [&domain](const QString& entry) {
                                        return entry.compare(domain, Qt::CaseInsensitive) == 0;
                                    });
    if (found == m_userBypassDomains.end())
        return;
    m_userBypassDomains.erase(found);
    saveBypassDomains();
    setBypassDomainError(QString());
    emit bypassDomainsChanged();
    restartTunnel(kApplyingSites);
}

void Controller::saveBypassDomains() const
{
    QSettings settings;
    settings.setValue(settingskeys::siteBypassDomains, m_userBypassDomains);
}

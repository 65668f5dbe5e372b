#include "routing/bypasslist.h"

#include "controller/settingskeys.h"
#include "routing/bypassdomain.h"

#include <QSettings>

#include <algorithm>

namespace {

const QString kApplyingSites = QStringLiteral("Применение списка сайтов...");

} // namespace

QStringList cleanedBypassDomains(const QStringList& stored)
{
    const QStringList builtins = builtinBypassDomains();
    QStringList kept;
    for (const QString& entry : stored) {
        const QString domain = normalizeBypassDomain(entry);
        if (domain.isEmpty() || builtins.contains(domain, Qt::CaseInsensitive) ||
            kept.contains(domain, Qt::CaseInsensitive))
            continue;
        kept.append(domain);
    }
    return kept;
}

BypassList::BypassList(QObject* parent) : QObject(parent)
{
    const QSettings store;
    m_user = cleanedBypassDomains(store.value(settingskeys::siteBypassDomains).toStringList());
}

QVariantList BypassList::entries() const
{
    QVariantList list;
    const auto append = [&list](const QString& domain, bool builtin) {
        list.append(
            QVariantMap{{QStringLiteral("domain"), domain}, {QStringLiteral("builtin"), builtin}});
    };
    for (const QString& domain : builtinBypassDomains())
        append(domain, true);
    for (const QString& domain : m_user)
        append(domain, false);
    return list;
}

QStringList BypassList::effective() const
{
    QStringList effective = builtinBypassDomains();
    for (const QString& domain : m_user) {
        if (!effective.contains(domain, Qt::CaseInsensitive))
            effective.append(domain);
    }
    return effective;
}

bool BypassList::add(const QString& input)
{
    QString error;
    const QString domain = normalizeBypassDomain(input, &error);
    if (domain.isEmpty()) {
        setError(error);
        return false;
    }
    if (effective().contains(domain, Qt::CaseInsensitive)) {
        setError(QStringLiteral("Этот домен уже есть в списке."));
        return false;
    }
    m_user.append(domain);
    save();
    setError(QString());
    emit changed();
    emit applied(kApplyingSites);
    return true;
}

void BypassList::remove(const QString& domain)
{
    if (builtinBypassDomains().contains(domain, Qt::CaseInsensitive))
        return;
    const auto found = std::find_if(m_user.begin(), m_user.end(),
                                    [&domain](const QString& entry) {
                                        return entry.compare(domain, Qt::CaseInsensitive) == 0;
                                    });
    if (found == m_user.end())
        return;
    m_user.erase(found);
    save();
    setError(QString());
    emit changed();
    emit applied(kApplyingSites);
}

void BypassList::setError(const QString& text)
{
    if (text == m_error)
        return;
    m_error = text;
    emit errorChanged();
}

void BypassList::save() const
{
    QSettings store;
    store.setValue(settingskeys::siteBypassDomains, m_user);
}

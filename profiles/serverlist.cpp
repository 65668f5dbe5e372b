#include "profiles/serverlist.h"

#include "controller/settings.h"
#include "profiles/profileuri.h"

#include <QUrl>

namespace {

struct CountryGroup
{
    const char* code;
    QStringList needles;
};

// In this order: the first group with any needle in the search text wins, so a Polish name
// on an "-nl" host counts as the Netherlands.
const QList<CountryGroup>& countryGroups()
{
    static const QList<CountryGroup> groups = {
        {"NL",
         {QStringLiteral(u"\U0001F1F3\U0001F1F1"), QStringLiteral(u"нидерланд"),
          QStringLiteral("netherland"), QStringLiteral("amsterdam"), QStringLiteral("-nl")}},
        {"PL",
         {QStringLiteral(u"\U0001F1F5\U0001F1F1"), QStringLiteral(u"польш"),
          QStringLiteral("poland"), QStringLiteral("warsaw"), QStringLiteral("-pl")}},
        {"FI",
         {QStringLiteral(u"\U0001F1EB\U0001F1EE"), QStringLiteral(u"финлянд"),
          QStringLiteral("finland"), QStringLiteral("helsinki"), QStringLiteral("-fi")}},
        {"DE",
         {QStringLiteral(u"герман"), QStringLiteral("germany"),
          QStringLiteral(u"\U0001F1E9\U0001F1EA")}},
    };
    return groups;
}

QString entryUri(const QVariant& entry)
{
    return ServerEntry::text(entry, ServerEntry::uri);
}

} // namespace

const QString ServerEntry::name = QStringLiteral("name");
const QString ServerEntry::endpoint = QStringLiteral("endpoint");
const QString ServerEntry::uri = QStringLiteral("uri");
const QString ServerEntry::countryCode = QStringLiteral("countryCode");
const QString ServerEntry::protocol = QStringLiteral("protocol");
const QString ServerEntry::latency = QStringLiteral("latency");
const QString ServerEntry::pinging = QStringLiteral("pinging");
const QString ServerEntry::checkError = QStringLiteral("checkError");

QVariantMap makeServerEntry(const ServerProfile& profile)
{
    return {{ServerEntry::name, profile.name},
            {ServerEntry::endpoint, profile.host + u':' + QString::number(profile.port)},
            {ServerEntry::uri, profile.uri},
            {ServerEntry::countryCode, detectCountryCode(profile.name, profile.host)},
            {ServerEntry::protocol, protocolLabel(profile)},
            {ServerEntry::latency, -2},
            {ServerEntry::pinging, false},
            {ServerEntry::checkError, QString()}};
}

QString detectCountryCode(const QString& name, const QString& host)
{
    const QString text = (name + u' ' + host).toLower();
    for (const CountryGroup& group : countryGroups()) {
        for (const QString& needle : group.needles) {
            if (text.contains(needle))
                return QString::fromLatin1(group.code);
        }
    }
    return QStringLiteral("VPN");
}

QString uriWithoutFragment(const QString& uri)
{
    QUrl url(uri, QUrl::TolerantMode);
    url.setFragment(QString());
    return url.toString(QUrl::FullyEncoded);
}

bool listContainsServer(const QVariantList& entries, const QString& uri)
{
    const QString wanted = uriWithoutFragment(uri);
    for (const QVariant& entry : entries) {
        if (uriWithoutFragment(entryUri(entry)) == wanted)
            return true;
    }
    return false;
}

int restoredSelectedRow(const QVariantList& entries, const QString& previousUri)
{
    // Nothing chosen before: the first entry, without normalising every URI of a long list.
    if (previousUri.isEmpty())
        return 0;
    const QString wanted = uriWithoutFragment(previousUri);
    int row = 0;
    // Not stopping at the first match: of several lines for one server the last one wins.
    for (int i = 0; i < entries.size(); ++i) {
        if (uriWithoutFragment(entryUri(entries.at(i))) == wanted)
            row = i;
    }
    return row;
}

ServerList::ServerList(QObject* parent) : QObject(parent) {}

QString ServerList::selectedText(const QString& key) const
{
    return hasSelection() ? ServerEntry::text(m_entries.at(m_selectedRow), key) : QString();
}

QString ServerList::selectedName() const
{
    return hasSelection() ? selectedText(ServerEntry::name) : QStringLiteral("Выберите сервер");
}

bool ServerList::select(int row)
{
    if (row < 0 || row >= m_entries.size() || row == m_selectedRow)
        return false;
    m_selectedRow = row;
    settings::writeSelectedProfile(selectedText(ServerEntry::uri));
    emit selectedChanged();
    return true;
}

void ServerList::replace(const QVariantList& entries, int selectedRow)
{
    m_model.beginReplace();
    m_entries = entries;
    m_model.endReplace();
    m_selectedRow = selectedRow;
}

#include "profiles/serverlistmodel.h"

namespace {

constexpr int kEntryRole = Qt::UserRole + 1;

} // namespace

ServerListModel::ServerListModel(const QVariantList& entries, QObject* parent)
    : QAbstractListModel(parent), m_entries(entries)
{}

int ServerListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant ServerListModel::data(const QModelIndex& index, int role) const
{
    if (role != kEntryRole || !index.isValid() || index.row() >= m_entries.size())
        return {};
    return m_entries.at(index.row());
}

QHash<int, QByteArray> ServerListModel::roleNames() const
{
    return {{kEntryRole, QByteArrayLiteral("modelData")}};
}

void ServerListModel::rowsUpdated(qsizetype first, qsizetype last)
{
    if (first < 0 || last < first || last >= m_entries.size())
        return;
    emit dataChanged(index(int(first)), index(int(last)), {kEntryRole});
}

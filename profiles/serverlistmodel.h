#pragma once

#include <QAbstractListModel>
#include <QVariantList>

// The controller's server list as the window's list view sees it. A change inside entries
// updates those rows in place, so the view keeps its scroll position and the row under the
// pointer; only a new list resets it. The single role also reaches a delegate as
// `modelData`, the same entry map the `servers` property hands out.
class ServerListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    ServerListModel(const QVariantList& entries, QObject* parent);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Around a replacement of the whole list.
    void beginReplace() { beginResetModel(); }
    void endReplace() { endResetModel(); }
    // After entries first..last were rewritten in place.
    void rowsUpdated(qsizetype first, qsizetype last);

private:
    const QVariantList& m_entries;
};

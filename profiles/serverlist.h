#pragma once

#include "profiles/serverlistmodel.h"
#include "profiles/serverprofile.h"

#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

// One element of the server list, a map with exactly these keys. The window, the status file
// and the checks all read entries by these names.
struct ServerEntry
{
    static const QString name;
    static const QString endpoint;
    static const QString uri;
    static const QString countryCode;
    static const QString protocol;
    // Milliseconds of the last check; -2: never checked, -1: failed.
    static const QString latency;
    static const QString pinging;
    static const QString checkError;

    static QString text(const QVariant& entry, const QString& key)
    {
        return entry.toMap().value(key).toString();
    }
};

QVariantMap makeServerEntry(const ServerProfile& profile);

// "NL", "PL", "FI", "DE" from the display name and host, or "VPN" for a neutral badge.
QString detectCountryCode(const QString& name, const QString& host);

// The URI without its fragment, fully encoded: the fragment only carries the display name,
// so two lines for the same server compare equal after this.
QString uriWithoutFragment(const QString& uri);

// True when some entry is the server behind `uri`, whatever its name.
bool listContainsServer(const QVariantList& entries, const QString& uri);

// Where the selection lands in a new list: the last entry that is the previously selected
// server, else the first row.
int restoredSelectedRow(const QVariantList& entries, const QString& previousUri);

// The servers on screen and the user's choice among them, shared by the parts that download,
// check and connect. Changes are announced by the caller with notifyChanged(), so a batch of
// changes costs one notification.
class ServerList : public QObject
{
    Q_OBJECT

public:
    explicit ServerList(QObject* parent = nullptr);

    const QVariantList& entries() const { return m_entries; }
    qsizetype size() const { return m_entries.size(); }
    ServerListModel* model() { return &m_model; }

    int selectedRow() const { return m_selectedRow; }
    bool hasSelection() const { return m_selectedRow >= 0 && m_selectedRow < m_entries.size(); }
    // A key of the selected entry; empty without a selection.
    QString selectedText(const QString& key) const;
    // The selected entry's name, or the invitation to choose one.
    QString selectedName() const;
    // The user's choice: kept in the settings for the next start.
    bool select(int row);

    // A new list, its rows reset in the view.
    void replace(const QVariantList& entries, int selectedRow);
    // Rewrites one entry in place; the view learns of it through rowsUpdated().
    void setEntry(qsizetype row, const QVariantMap& entry) { m_entries[row] = entry; }
    void rowsUpdated(qsizetype first, qsizetype last) { m_model.rowsUpdated(first, last); }
    void notifyChanged() { emit changed(); }
    void notifySelectedChanged() { emit selectedChanged(); }

signals:
    void changed();
    void selectedChanged();

private:
    QVariantList m_entries;
    ServerListModel m_model{m_entries, this};
    int m_selectedRow = 0;
};

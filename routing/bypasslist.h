#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>

// The user's bypass domains as kept in memory: each stored entry normalised again, dropped
// when it fails, equals a built-in domain or repeats an earlier one (ignoring case).
QStringList cleanedBypassDomains(const QStringList& stored);

// Sites that always go direct: the built-in domains first, then the user's own, kept in the
// settings.
class BypassList : public QObject
{
    Q_OBJECT

public:
    explicit BypassList(QObject* parent = nullptr);

    // One map per domain: "domain" and "builtin".
    QVariantList entries() const;
    // The built-in domains and the user's, without repeats: what the tunnel bypasses.
    QStringList effective() const;
    // False with error() set when the input is not a domain or is already listed.
    bool add(const QString& input);
    void remove(const QString& domain);
    QString error() const { return m_error; }
    void setError(const QString& text);

signals:
    void changed();
    void errorChanged();
    // A running tunnel must be restarted for the change, showing this text meanwhile.
    void applied(const QString& message);

private:
    friend class ControllerTestAccess;

    void save() const;

    QStringList m_user;
    QString m_error;
};

#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>

// Whether the ticked programs are the ones kept out of the tunnel or the only ones in it.
enum class RouteMode { Exclude, Include };

// "include" only for exactly "include"; any other text means exclude.
RouteMode routeModeFromText(const QString& text);
QString routeModeText(RouteMode mode);

// The running programs, the ticked ones among them and the route mode, kept in the settings.
class AppRouting : public QObject
{
    Q_OBJECT

public:
    // Reads the stored selection and mode, then lists the running programs.
    explicit AppRouting(QObject* parent = nullptr);

    // The running programs that match the filter.
    QVariantList processes() const;
    void refresh();
    QString filter() const { return m_filter; }
    void setFilter(const QString& text);
    RouteMode mode() const { return m_mode; }
    void setMode(RouteMode mode);
    const QStringList& selected() const { return m_selected; }
    void toggle(const QString& name, bool selected);

signals:
    void processesChanged();
    void filterChanged();
    void modeChanged();
    // A change that a running tunnel must be restarted for, with the text to show meanwhile.
    void applied(const QString& message);

private:
    friend class ControllerTestAccess;

    QVariantList m_all;
    QStringList m_selected;
    QString m_filter;
    RouteMode m_mode = RouteMode::Exclude;
};

#include "routing/approuting.h"

#include "controller/settings.h"
#include "controller/settingskeys.h"
#include "routing/processentries.h"
#include "routing/processlist.h"

#include <QSettings>

RouteMode routeModeFromText(const QString& text)
{
    return text == QLatin1String("include") ? RouteMode::Include : RouteMode::Exclude;
}

QString routeModeText(RouteMode mode)
{
    return mode == RouteMode::Include ? QStringLiteral("include") : QStringLiteral("exclude");
}

AppRouting::AppRouting(QObject* parent) : QObject(parent)
{
    QSettings store;
    m_selected = settings::loadSelectedProcesses(store);
    m_mode = routeModeFromText(store.value(settingskeys::processRouteMode).toString());
    refresh();
}

QVariantList AppRouting::processes() const
{
    return filterProcesses(m_all, m_filter);
}

void AppRouting::refresh()
{
    m_all = processEntries(runningProcesses(), m_selected);
    emit processesChanged();
}

void AppRouting::setFilter(const QString& text)
{
    if (text == m_filter)
        return;
    m_filter = text;
    emit filterChanged();
    emit processesChanged();
}

void AppRouting::setMode(RouteMode mode)
{
    if (mode == m_mode)
        return;
    m_mode = mode;
    {
        QSettings store;
        store.setValue(settingskeys::processRouteMode, routeModeText(m_mode));
    }
    emit modeChanged();
    emit processesChanged();
    emit applied(QStringLiteral("Применение режима приложений..."));
}

void AppRouting::toggle(const QString& name, bool selected)
{
    m_selected = toggledSelection(m_selected, name, selected);
    {
        QSettings store;
        store.setValue(settingskeys::selectedProcesses, m_selected);
    }
    markSelection(m_all, name, selected);
    emit processesChanged();
    emit applied(m_mode == RouteMode::Include ? QStringLiteral("Применение списка VPN-приложений...")
                                              : QStringLiteral("Применение исключений..."));
}

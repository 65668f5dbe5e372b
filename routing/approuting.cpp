#include "controller/controller.h"
#include "controller/settings.h"
#include "controller/settingskeys.h"
#include "routing/processentries.h"
#include "routing/processlist.h"

#include <QSettings>

// The running programs, the route mode and the ticked program names.

QVariantList Controller::processes() const
{
    return filterProcesses(m_allProcesses, m_processFilter);
}

void Controller::refreshProcesses()
{
    m_allProcesses = processEntries(runningProcesses(), m_selectedProcesses);
    emit processesChanged();
}

void Controller::setProcessRouteMode(const QString& mode)
{
    const QString normalised = settings::normalizedRouteMode(mode);
    if (normalised == m_processRouteMode)
        return;
    m_processRouteMode = normalised;
    {
        QSettings settings;
        settings.setValue(settingskeys::processRouteMode, m_processRouteMode);
    }
    emit processRouteModeChanged();
    emit processesChanged();
    restartTunnel(QStringLiteral("Применение режима приложений..."));
}

void Controller::toggleProcessExclusion(const QString& name, bool excluded)
{
    toggleProcessSelection(name, excluded);
}

void Controller::toggleProcessSelection(const QString& name, bool selected)
{
    m_selectedProcesses = toggledSelection(m_selectedProcesses, name, selected);
    {
        QSettings settings;
        settings.setValue(settingskeys::selectedProcesses, m_selectedProcesses);
    }
    markSelection(m_allProcesses, name, selected);
    emit processesChanged();
    restartTunnel(m_processRouteMode == QLatin1String("include")
                      ? QStringLiteral("Применение списка VPN-приложений...")
                      : QStringLiteral("Применение исключений..."));
}

#include "controller/controller.h"

// Process list and application routing arrive with the split-tunnelling work.

QVariantList Controller::processes() const
{
    return m_allProcesses;
}

void Controller::refreshProcesses()
{
    emit processesChanged();
}

void Controller::setProcessRouteMode(const QString& mode)
{
    const QString normalised = mode == QLatin1String("include") ? QStringLiteral("include")
                                                                : QStringLiteral("exclude");
    if (normalised == m_processRouteMode)
        return;
    m_processRouteMode = normalised;
    emit processRouteModeChanged();
    emit processesChanged();
}

void Controller::toggleProcessExclusion(const QString& name, bool excluded)
{
    toggleProcessSelection(name, excluded);
}

void Controller::toggleProcessSelection(const QString& name, bool selected)
{
    Q_UNUSED(name);
    Q_UNUSED(selected);
}

#include "config/singboxconfig.h"

// The document arrives with the configuration work.
QJsonObject buildSingBoxConfig(const ServerProfile& profile, const QString& serverAddress,
                               const PhysicalAdapter& adapter, quint16 checkPort,
                               quint16 xrayPort, bool tunMode, const QStringList& bypassDomains,
                               const QStringList& appProcesses, bool includeMode)
{
    Q_UNUSED(profile);
    Q_UNUSED(serverAddress);
    Q_UNUSED(adapter);
    Q_UNUSED(checkPort);
    Q_UNUSED(xrayPort);
    Q_UNUSED(tunMode);
    Q_UNUSED(bypassDomains);
    Q_UNUSED(appProcesses);
    Q_UNUSED(includeMode);
    return {};
}

QJsonArray toJsonArray(const QStringList& list)
{
    QJsonArray array;
    for (const QString& item : list)
        array.append(item);
    return array;
}

void applyDirectBinding(QJsonObject& outbound, const PhysicalAdapter& adapter)
{
    Q_UNUSED(outbound);
    Q_UNUSED(adapter);
}

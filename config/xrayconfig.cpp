#include "config/xrayconfig.h"

// The document arrives with the configuration work.
QJsonObject buildXrayConfig(const ServerProfile& profile, const QString& serverAddress,
                            const PhysicalAdapter& adapter, quint16 xrayPort)
{
    Q_UNUSED(profile);
    Q_UNUSED(serverAddress);
    Q_UNUSED(adapter);
    Q_UNUSED(xrayPort);
    return {};
}

#pragma once

#include "config/adapter.h"
#include "profiles/serverprofile.h"

#include <QJsonObject>

// The whole Xray document for a VLESS or Trojan profile (never called for Hysteria2).
QJsonObject buildXrayConfig(const ServerProfile& profile, const QString& serverAddress,
                            const PhysicalAdapter& adapter, quint16 xrayPort);

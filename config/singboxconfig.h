#pragma once

#include "config/adapter.h"
#include "profiles/serverprofile.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

// The whole sing-box document for a connection (tunMode) or a latency check.
QJsonObject buildSingBoxConfig(const ServerProfile& profile, const QString& serverAddress,
                               const PhysicalAdapter& adapter, quint16 checkPort, quint16 xrayPort,
                               bool tunMode, const QStringList& bypassDomains,
                               const QStringList& appProcesses, bool includeMode);

// A JSON array of the strings, in list order.
QJsonArray toJsonArray(const QStringList& list);

// Pins an outbound to the physical adapter when the adapter has a name and an address.
void applyDirectBinding(QJsonObject& outbound, const PhysicalAdapter& adapter);

#include "config/cores.h"

QString coreFileName(Core core)
{
    return core == Core::SingBox ? QStringLiteral("sing-box") : QStringLiteral("xray");
}

QString coreInstallError(const QString& appDir, bool withXray)
{
    // The client runs unprivileged; only sing-box holds capabilities, guarded by its own mode.
    (void)appDir;
    (void)withXray;
    return {};
}

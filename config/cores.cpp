#include "config/cores.h"

QString corePath(const QString& appDir, Core core)
{
    return appDir + QLatin1Char('/') + coreFileName(core);
}

QStringList coreArguments(const QString& configPath)
{
    return {QStringLiteral("run"), QStringLiteral("-c"), configPath};
}

QVersionNumber coreMinimumVersion(Core core)
{
    return QVersionNumber::fromString(
        QLatin1String(core == Core::SingBox ? kSingBoxMinimumVersion : kXrayMinimumVersion));
}

#include "config/cores.h"

QString coreFileName(Core core)
{
    return core == Core::SingBox ? QStringLiteral("sing-box.exe") : QStringLiteral("xray.exe");
}

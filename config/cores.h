#pragma once

#include <QString>
#include <QStringList>
#include <QVersionNumber>

// The two external proxy cores. Everything the client knows about their files and
// command lines lives here.
enum class Core { SingBox, Xray };

// The oldest releases that accept our documents: sing-box needs typed DNS servers and
// "default_domain_resolver" (1.12.0), Xray the "finalmask" fragment arrays (26.6.22).
inline constexpr char kSingBoxMinimumVersion[] = "1.12.0";
inline constexpr char kXrayMinimumVersion[] = "26.6.22";

QVersionNumber coreMinimumVersion(Core core);

// File name of a core inside the application folder ("sing-box.exe" on Windows).
QString coreFileName(Core core);

// Full path of a core beside the client's executable.
QString corePath(const QString& appDir, Core core);

// Empty when the cores may be started from `appDir`; otherwise the Russian error that refuses
// to. Windows: the elevated client must not run a core that a non-elevated program could have
// replaced, so the folder and the core files must be changeable by administrators only.
// Linux: always empty; the client runs unprivileged there.
QString coreInstallError(const QString& appDir, bool withXray);

// Command-line arguments for a core started with the given configuration file.
QStringList coreArguments(const QString& configPath);

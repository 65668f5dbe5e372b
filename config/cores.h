#pragma once

#include <QString>
#include <QStringList>

// The two external proxy cores. Everything the client knows about their files and
// command lines lives here.
enum class Core { SingBox, Xray };

// File name of a core inside the application folder ("sing-box.exe" on Windows).
QString coreFileName(Core core);

// Full path of a core beside the client's executable.
QString corePath(const QString& appDir, Core core);

// Command-line arguments for a core started with the given configuration file.
QStringList coreArguments(const QString& configPath);

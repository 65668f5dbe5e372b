#pragma once

#include <QString>

// `path` is a real folder (not a link, judged without following one) of the user this
// process runs as, and nobody else may enter it.
bool isPrivateFolder(const QString& path);

// $XDG_RUNTIME_DIR when it is such a folder: per user and in memory. Empty otherwise.
QString privateRuntimeDir();

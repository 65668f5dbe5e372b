#pragma once

#include "profiles/serverprofile.h"

#include <QString>

// Longest tail of core output a session keeps, and longest failure text it hands on.
inline constexpr qsizetype kCoreLogLimit = 4000;
inline constexpr qsizetype kRedactedTextLimit = 3000;

// Removes the profile's secrets, colour codes and subscription links; keeps the last 3000
// characters.
QString redactCoreText(const QString& text, const ServerProfile& profile);

// Appends one redacted chunk of core output to the tail, keeping its last 4000 characters.
void appendCoreOutput(QString& coreLog, const QByteArray& chunk, const ServerProfile& profile);

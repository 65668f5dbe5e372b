#pragma once

#include "profiles/serverprofile.h"

#include <QString>

class QUrlQuery;

// Parses one subscription line. On success fills `out` and clears *error; on rejection
// leaves `out` untouched and stores one Russian sentence in *error (when given).
bool parseProfileUri(const QString& text, ServerProfile& out, QString* error = nullptr);

// The label shown for a list entry, e.g. "VLESS · TCP · REALITY".
QString protocolLabel(const ServerProfile& profile);

// One number N or "N-M" with min <= N <= M <= max.
bool isValidRange(const QString& text, int min, int max);

// Value of the first query item named `key`, fully decoded; empty when absent.
QString queryValue(const QUrlQuery& query, const char* key);

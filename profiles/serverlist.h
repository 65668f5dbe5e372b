#pragma once

#include "profiles/serverprofile.h"

#include <QString>
#include <QVariantList>
#include <QVariantMap>

// One element of the controller's server list: exactly the keys "name", "endpoint", "uri",
// "countryCode", "protocol", "latency" (-2: never checked), "pinging" and "checkError".
QVariantMap makeServerEntry(const ServerProfile& profile);

// "NL", "PL", "FI", "DE" from the display name and host, or "VPN" for a neutral badge.
QString detectCountryCode(const QString& name, const QString& host);

// The URI without its fragment, fully encoded: the fragment only carries the display name,
// so two lines for the same server compare equal after this.
QString uriWithoutFragment(const QString& uri);

// True when some entry is the server behind `uri`, whatever its name.
bool listContainsServer(const QVariantList& entries, const QString& uri);

// Where the selection lands in a new list: the last entry that is the previously selected
// server, else the first row.
int restoredSelectedRow(const QVariantList& entries, const QString& previousUri);

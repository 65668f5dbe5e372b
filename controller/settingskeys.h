#pragma once

#include <QString>

// Keys of the per-user settings store. Values under the "...Dpapi" keys are protected blobs
// (controller/secrets.h), never text in clear.
namespace settingskeys {

inline const QString subscription = QStringLiteral("subscriptionDpapi");
inline const QString subscriptionCache = QStringLiteral("subscriptionCacheDpapi");
// What the service last said about the account, kept with the cached list.
inline const QString subscriptionAccount = QStringLiteral("subscriptionAccountDpapi");
inline const QString selectedProfile = QStringLiteral("selectedProfileDpapi");
inline const QString processRouteMode = QStringLiteral("processRouteMode");
inline const QString selectedProcesses = QStringLiteral("selectedProcesses");
inline const QString legacyExcludedProcesses = QStringLiteral("excludedProcesses");
inline const QString siteBypassDomains = QStringLiteral("siteBypassDomains");

// The installer's one-time token lives in a store of its own.
inline const QString bootstrapToken = QStringLiteral("token");

} // namespace settingskeys

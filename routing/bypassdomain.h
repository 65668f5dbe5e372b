#pragma once

#include <QString>
#include <QStringList>

// Turns what the user typed (a domain, "*.domain" or a whole URL) into a lower-case ASCII
// domain, or returns an empty string and one Russian sentence in *error.
QString normalizeBypassDomain(const QString& input, QString* error = nullptr);

// The four domains that always go direct, in their fixed order.
QStringList builtinBypassDomains();

#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class QSettings;

// Reads and writes of the per-user settings store. Every function opens its own short-lived
// store object, so no store stays open between calls.
namespace settings {

// The plaintext under a protected key, or empty when the key is missing, empty or cannot be
// unprotected (another user, another keyring, a damaged value): empty always means not set.
QByteArray readSecret(const QString& key);

// Protects every value and, only when each one was protected, writes them all and flushes.
// A protection failure writes nothing, so the previous values survive. True when written.
bool writeSecrets(const QList<QPair<QString, QByteArray>>& values);

// Protects the chosen server's URI and writes whatever protection returned, even empty,
// without flushing: an unreadable selection simply reads as no selection next time.
void writeSelectedProfile(const QString& uri);

// The installer's one-time token; empty when there is none.
QString readBootstrapToken();

// Removes the token and flushes: once its link is stored, or when it can never be used.
void eraseBootstrapToken();

// Where the bootstrap store lives (native format), a store of its own beside the main one.
QString bootstrapStoreLocation();

// Whether the installer left a bootstrap store at all. Checked without opening it: a native
// store opened for reading on Windows creates its registry key.
bool bootstrapStoreExists();

// Platform part: makes the store owner-only before anything is written to it.
void prepareStore();

// The selected programs, moving a legacy "excludedProcesses" list over when the current list
// is empty; the old key is removed so the move happens once per store.
QStringList loadSelectedProcesses(QSettings& store);

} // namespace settings

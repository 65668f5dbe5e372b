#include "controller/settings.h"

#include "controller/secrets.h"
#include "controller/settingskeys.h"

#include <QSettings>

namespace settings {

QByteArray readSecret(const QString& key)
{
    const QSettings store;
    return unprotectSecret(store.value(key).toByteArray());
}

bool writeSecrets(const QList<QPair<QString, QByteArray>>& values)
{
    QList<QPair<QString, QByteArray>> protectedValues;
    for (const auto& [key, plaintext] : values) {
        const QByteArray blob = protectSecret(plaintext);
        if (blob.isEmpty())
            return false;
        protectedValues.append({key, blob});
    }
    QSettings store;
    for (const auto& [key, blob] : protectedValues)
        store.setValue(key, blob);
    store.sync();
    return true;
}

void writeSelectedProfile(const QString& uri)
{
    QSettings store;
    store.setValue(settingskeys::selectedProfile, protectSecret(uri.toUtf8()));
}

QString readBootstrapToken()
{
    if (!bootstrapStoreExists())
        return {};
    const QSettings store(bootstrapStoreLocation(), QSettings::NativeFormat);
    return store.value(settingskeys::bootstrapToken).toString();
}

void eraseBootstrapToken()
{
    if (!bootstrapStoreExists())
        return;
    QSettings store(bootstrapStoreLocation(), QSettings::NativeFormat);
    store.remove(settingskeys::bootstrapToken);
    store.sync();
}

QStringList loadSelectedProcesses(QSettings& store)
{
    QStringList selected = store.value(settingskeys::selectedProcesses).toStringList();
    if (selected.isEmpty() && store.contains(settingskeys::legacyExcludedProcesses)) {
        selected = store.value(settingskeys::legacyExcludedProcesses).toStringList();
        store.setValue(settingskeys::selectedProcesses, selected);
        store.remove(settingskeys::legacyExcludedProcesses);
    }
    return selected;
}

} // namespace settings

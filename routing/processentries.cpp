#include "routing/processentries.h"

#include "routing/iconprovider.h"

#include <algorithm>

namespace {

const QString kName = QStringLiteral("name");
const QString kPid = QStringLiteral("pid");
const QString kPath = QStringLiteral("path");
const QString kIcon = QStringLiteral("icon");
const QString kSelected = QStringLiteral("selected");

} // namespace

QVariantList processEntries(QList<ProcessRecord> records, const QStringList& selectedNames)
{
    std::sort(records.begin(), records.end(), [](const ProcessRecord& a, const ProcessRecord& b) {
        return QString::localeAwareCompare(a.name, b.name) < 0;
    });
    QVariantList entries;
    entries.reserve(records.size());
    for (const ProcessRecord& record : std::as_const(records)) {
        entries.append(QVariantMap{
            {kName, record.name},
            {kPid, record.pid},
            {kPath, record.path},
            {kIcon, processIconSource(record.path)},
            {kSelected, selectedNames.contains(record.name, Qt::CaseInsensitive)},
        });
    }
    return entries;
}

QVariantList filterProcesses(const QVariantList& entries, const QString& filter)
{
    if (filter.isEmpty())
        return entries;
    QVariantList kept;
    for (const QVariant& entry : entries) {
        const QVariantMap map = entry.toMap();
        if (map.value(kName).toString().contains(filter, Qt::CaseInsensitive) ||
            map.value(kPath).toString().contains(filter, Qt::CaseInsensitive) ||
            QString::number(map.value(kPid).toULongLong()).contains(filter, Qt::CaseInsensitive))
            kept.append(entry);
    }
    return kept;
}

QStringList toggledSelection(QStringList selectedNames, const QString& name, bool selected)
{
    selectedNames.removeAll(name);
    if (selected)
        selectedNames.append(name);
    return selectedNames;
}

void markSelection(QVariantList& entries, const QString& name, bool selected)
{
    for (QVariant& entry : entries) {
        QVariantMap map = entry.toMap();
        if (map.value(kName).toString().compare(name, Qt::CaseInsensitive) != 0)
            continue;
        map.insert(kSelected, selected);
        entry = map;
    }
}

#pragma once

#include "routing/processlist.h"

#include <QStringList>
#include <QVariantList>

// The process entries the window shows ("name", "pid", "path", "icon", "selected"), sorted
// by name with locale-aware comparison. "selected" is true when the name is among
// selectedNames, ignoring case.
QVariantList processEntries(QList<ProcessRecord> records, const QStringList& selectedNames);

// The entries whose name, path or decimal pid contains filter, ignoring case; the filter is
// used as typed, spaces included. An empty filter keeps everything.
QVariantList filterProcesses(const QVariantList& entries, const QString& filter);

// The ticked names after (un)ticking name: every copy spelled exactly so is removed, and a
// tick appends it once at the end.
QStringList toggledSelection(QStringList selectedNames, const QString& name, bool selected);

// Marks every entry whose name equals name, ignoring case: all running instances of it.
void markSelection(QVariantList& entries, const QString& name, bool selected);

#pragma once
// The display on show as an export's source: its traces named and read as the screen shows
// them, its view, mark and cursor, its times and its math traces.

#include "Exports.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace altrix {

class ScopeDisplay;

// `identifiedType`: the drive type the record holds, for a capture whose facts name none.
ExportSource ExportSourceOf(const ScopeDisplay& display, std::int32_t identifiedType);

// A shown trace's line in an exported picture's legend: its name, and while the readouts follow
// the cursor its value there and, with a mark, its difference from the mark, each with its unit
// ("DC_bus (Vdc)   310.0 Vdc   △ -1.2 Vdc").
QString ImageLegendLine(const ScopeDisplay& display, int t);
// The lines under an exported picture's legend: the time in view, where the traces come from
// (`source`), the date and time of the view's first set (where the source knows it; else the
// day `at` of the export) and, while the readouts follow the cursor, its time and the time from
// the mark with its frequency.
QStringList ImageNotes(const ScopeDisplay& display, const QString& source, const QDateTime& at);

}  // namespace altrix

#pragma once
// The display on show as an export's source: its traces named and read as the screen shows
// them, its view, mark and cursor, its times and its math traces.

#include "Exports.h"

#include <cstdint>

namespace altrix {

class ScopeDisplay;

// `identifiedType`: the drive type the record holds, for a capture whose facts name none.
ExportSource ExportSourceOf(const ScopeDisplay& display, std::int32_t identifiedType);

}  // namespace altrix

#pragma once
// Constant tables: the 18 preset drive quantities and the drive type labels.

#include <array>
#include <cstdint>
#include <string_view>

namespace altrix {

struct QuantityPreset {
    std::string_view ItemText;
    std::string_view Address;  // four lower-case hexadecimal digits
    std::string_view Gain;     // decimal text, digit for digit as the readouts use it
};

inline constexpr std::array<QuantityPreset, 18> kQuantityPresets{{
    {"Frequency Command (Hz)", "9000", "0.01"},
    {"Output frequency (Hz)", "9004", "0.01"},
    {"DC_bus (Vdc)", "9042", "0.1"},
    {"Output voltage (Vac)", "900c", "0.1"},
    {"Output current (A rms)", "9010", "0.01"},
    {"Motor speed (rpm)", "9014", "1"},
    {"Torque Command (%)", "9018", "0.09765"},
    {"PID reference (%)", "901a", "1"},
    {"PID feedback (%)", "9016", "1"},
    {"PG1 position", "901c", "1"},
    {"PG1 Z-position", "901e", "1"},
    {"PG2 position", "9020", "1"},
    {"PG2 velocity (rpm)", "9024", "54.61"},
    {"AVI (%)", "9028", "1"},
    {"ACI (%)", "902a", "0.1"},
    {"AUI (%)", "902c", "0.1"},
    {"Digital input status", "902e", "0.1"},
    {"Digital output status", "9030", "1"},
}};

// Gain written when no preset row is selected.
inline constexpr std::string_view kNoPresetGain = "1";

// Label for a drive type code; "Error" for codes outside the table.
std::string_view DriveTypeLabel(std::int32_t typeCode);
inline constexpr std::string_view kUnknownDriveLabel = "Error";

}  // namespace altrix

#include "Presets.h"

#include <array>
#include <utility>

namespace altrix {

namespace {

constexpr std::array<std::pair<std::int32_t, std::string_view>, 27> kDriveTypes{{
    {4, "ALTRIX 007-23"},  {5, "ALTRIX 007-43"},  {6, "ALTRIX 015-23"},  {7, "ALTRIX 015-43"},
    {8, "ALTRIX 022-23"},  {9, "ALTRIX 022-43"},  {10, "ALTRIX 037-23"}, {11, "ALTRIX 037-43"},
    {12, "ALTRIX 055-23"}, {13, "ALTRIX 055-43"}, {14, "ALTRIX 075-23"}, {15, "ALTRIX 075-43"},
    {16, "ALTRIX 110-23"}, {17, "ALTRIX 110-43"}, {18, "ALTRIX 150-23"}, {19, "ALTRIX 150-43"},
    {20, "ALTRIX 185-23"}, {21, "ALTRIX 185-43"}, {22, "ALTRIX 220-23"}, {23, "ALTRIX 220-43"},
    {24, "ALTRIX 300-23"}, {25, "ALTRIX 300-43"}, {26, "ALTRIX 370-23"}, {27, "ALTRIX 370-43"},
    {29, "ALTRIX 450-43"}, {31, "ALTRIX 550-43"}, {33, "ALTRIX 750-43"},
}};

}  // namespace

std::string_view DriveTypeLabel(std::int32_t typeCode) {
    for (const auto& [code, label] : kDriveTypes)
        if (code == typeCode) return label;
    return kUnknownDriveLabel;
}

}  // namespace altrix

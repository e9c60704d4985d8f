#pragma once
// The versions of the libraries the core is built with, as their headers give them, for the
// About box.

#include <string>

namespace altrix {

std::string MuParserVersion();
std::string MatioVersion();
std::string Hdf5Version();

}  // namespace altrix

// The Windows editor tests' desktop: Arial's stand-in declared, and the
// plug-in's "Error" message boxes closed as they appear (see
// TestDesktop.cpp).
#pragma once

#include <string>
#include <vector>

namespace guitest {

// The texts of the "Error" boxes closed so far in this program, in order.
std::vector<std::string> errorBoxes();

} // namespace guitest

#pragma once
// Options of wizard_testbed_tests besides GoogleTest's own.
#include <string>

namespace tarvik::e2e {

// --memory-out=FILE: where the virtual tracker of the scenario writes its
// final memory when it is pulled out (the same file the harness hands it
// with --bootsim-arg=--memory-out). Empty when not given.
const std::string& MemoryOutPath();

}  // namespace tarvik::e2e

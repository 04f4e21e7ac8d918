#pragma once

// Ending the program: leaves every event loop so that main() returns with the code and
// the clean-up after the loop runs (the connection is closed there).

#include <functional>

namespace vantrell::client {

void endProgram(int exitCode);
// Tests replace the ending with a recorder; an empty routine restores the real one.
void setProgramEnder(std::function<void(int)> ender);

} // namespace vantrell::client

#pragma once

#include "server/config.h"

#include <string>
#include <vector>

namespace vantrell::server {

struct CommandLine
{
    Config config;
    bool help = false;
    std::string error; // not empty: the flags were refused, this says why
};

// Flags as "--flag value" or "--flag=value"; `args` excludes the program name.
CommandLine parseCommandLine(const std::vector<std::string> &args);

// The --help text.
std::string usageText();

} // namespace vantrell::server

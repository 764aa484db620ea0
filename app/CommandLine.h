#pragma once

#include "app/CommandLineOptions.h"

#include <argparse.hpp>

#include <string>
#include <vector>

// Parses the process's own command line.
CommandLineOptions ParseCommandLine(const std::string& programName);

// Parses narrow (UTF-8) arguments, the first being the program path. Bad
// input gives a record with `valid` false and the parser's message in `error`.
CommandLineOptions ParseArguments(const std::string& programName,
                                  const std::vector<std::string>& arguments);

// The parser with the tool's option definitions.
argparse::ArgumentParser CreateParser(const std::string& programName);

#pragma once

#include <filesystem>
#include <string>

// What the command line asks for. Every field but `valid` and `error` is
// meaningful only when `valid` is true.
struct CommandLineOptions {
    bool valid = false;
    std::string error;
    bool install = false;
    bool uninstall = false;
    bool status = false;
    bool console = false;
    std::filesystem::path path;
    bool logfile = false;
    std::string helpText;
};

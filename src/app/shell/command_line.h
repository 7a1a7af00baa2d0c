// The file named on the command line.
#pragma once

#include <string>
#include <vector>

namespace lw::app {

// The arguments after the program name are one command line joined by blanks. A name with blanks is one
// name (a shell that split an unquoted name gives it back whole); only when a second absolute path
// follows a blank is the line cut there, so "a.gif /tmp/b.gif" opens a.gif. The name is made absolute
// against the current folder. Empty when there are no arguments.
std::string FileFromCommandLine(const std::vector<std::string>& args);

}  // namespace lw::app

#pragma once
// Where the program finds what it ships with. In the build tree and in a
// portable copy the naming files lie beside the executable; an installed
// program (bin/orvan-supervisor) finds them under
// share/orvan-supervisor/naming beside its bin folder. The copy beside the
// executable wins, so a technician can drop a corrected file there.

#include <string>

namespace orvan::app {

// Relative to the executable's folder, as `cmake --install` lays it out.
inline constexpr const char* kInstalledNamingDirectory = "../share/orvan-supervisor/naming/";

// programDirectory: the executable's folder with its trailing separator.
// Returns the folder of the naming files, with a trailing separator: the
// program's own folder when "OrvanMachineName.ini" is there, else the
// installed folder when it holds it, else the program's own folder (so the
// status bar names the file looked for where a technician expects it).
std::string NamingDirectory(const std::string& programDirectory);

// The running executable's folder with its trailing separator (from
// /proc/self/exe); empty when it cannot be told.
std::string ProgramDirectory();

}  // namespace orvan::app

#pragma once
// Windows only: texts between the program (UTF-8) and the system's calls
// (UTF-16), and the system's words for an error code.

#ifdef _WIN32

#include <string>

namespace orvan::link {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);
// "Access is denied" for ERROR_ACCESS_DENIED; "error N" when the system has
// no words for it.
std::string SystemErrorText(unsigned long code);

}  // namespace orvan::link

#endif

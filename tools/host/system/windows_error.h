// Windows' own text for an error code, in UTF-8 on one line, for the host's
// messages (the ANSI or OEM forms would not be UTF-8, and end in CR LF).
#pragma once

#include <string>

std::string windowsErrorText(unsigned long code);

// What an exception out of one file's work says: whatever a library or the
// memory throws is that file's reason, never the run's end.
#pragma once

#include <exception>
#include <string>

// The exception's message ending in "; left as it is".
std::string failureReason(const std::exception_ptr& thrown);

// `reason` ending in "; left as it is", in the user's language.
std::string leftAsItIs(const std::string& reason);

// What could not be done (a text marked with N_), in the user's language,
// and the system's reason after a colon: "cannot write: Disk full".
std::string failedWith(const char* what, const std::string& why);

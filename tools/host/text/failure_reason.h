// What an exception out of one file's work says: whatever a library or the
// memory throws is that file's reason, never the run's end.
#pragma once

#include <exception>
#include <string>

// The exception's message ending in "; left as it is".
std::string failureReason(const std::exception_ptr& thrown);

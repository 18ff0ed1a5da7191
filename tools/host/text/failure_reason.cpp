#include "text/failure_reason.h"

#include <new>

std::string failureReason(const std::exception_ptr& thrown) {
    std::string reason;
    try {
        std::rethrow_exception(thrown);
    } catch (const std::bad_alloc&) {
        reason = "out of memory";
    } catch (const std::exception& e) {  // libraries' own errors among them
        reason = e.what();
    } catch (...) {
        reason = "an unknown error";
    }
    return reason + "; left as it is";
}

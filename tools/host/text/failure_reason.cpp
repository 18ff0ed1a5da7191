#include "text/failure_reason.h"
#include "text/messages.h"

#include <new>

std::string failureReason(const std::exception_ptr& thrown) {
    std::string reason;
    try {
        std::rethrow_exception(thrown);
    } catch (const std::bad_alloc&) {
        reason = tr("out of memory");
    } catch (const std::exception& e) {  // libraries' own errors among them
        reason = e.what();
    } catch (...) {
        reason = tr("an unknown error");
    }
    return leftAsItIs(reason);
}

std::string leftAsItIs(const std::string& reason) { return tr("%s; left as it is", {reason}); }

std::string failedWith(const char* what, const std::string& why) { return std::string(tr(what)) + ": " + why; }

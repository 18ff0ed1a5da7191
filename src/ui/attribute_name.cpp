#include "ui/attribute_name.h"

#include "platform/win32.h"

AttributeNameFault checkAttributeName(const char* name) {
    if (*name == '\0') return AttributeNameFault::Empty;
    for (const char* p = name; *p != '\0'; ++p) {
        if (IsDBCSLeadByte(static_cast<BYTE>(*p))) {
            if (p[1] == '\0') break;
            ++p;  // the second byte may be 0x5C and is not a backslash
            continue;
        }
        if (*p == '\\') return AttributeNameFault::Backslash;
    }
    return AttributeNameFault::None;
}

#include "ui/attribute_name.h"

#include "platform/win32.h"

namespace {

// The rule file's code page, whatever the system's: on a Windows whose ANSI
// code page is 1252, 表 (0x95 0x5C) is still one character of the file.
constexpr UINT kRuleFileCodePage = 932;

}  // namespace

AttributeNameFault checkAttributeName(const char* name) {
    if (*name == '\0') return AttributeNameFault::Empty;
    for (const char* p = name; *p != '\0'; ++p) {
        if (IsDBCSLeadByteEx(kRuleFileCodePage, static_cast<BYTE>(*p))) {
            if (p[1] == '\0') break;
            ++p;  // the second byte may be 0x5C and is not a backslash
            continue;
        }
        if (*p == '\\') return AttributeNameFault::Backslash;
    }
    return AttributeNameFault::None;
}

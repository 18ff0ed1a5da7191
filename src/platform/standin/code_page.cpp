#include "platform/standin/code_page.h"

namespace standin {

BOOL IsDBCSLeadByteEx(UINT codePage, BYTE testChar) {
    if (codePage != 932) return FALSE;
    return (testChar >= 0x81 && testChar <= 0x9F) || (testChar >= 0xE0 && testChar <= 0xFC) ? TRUE : FALSE;
}

}  // namespace standin

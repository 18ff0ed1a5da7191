#include "platform/standin/code_page.h"

namespace standin {

BOOL IsDBCSLeadByte(BYTE testChar) {
    return (testChar >= 0x81 && testChar <= 0x9F) || (testChar >= 0xE0 && testChar <= 0xFC) ? TRUE : FALSE;
}

}  // namespace standin

#include "system/text_output.h"

void writeText(std::FILE* stream, const std::string& text) { std::fwrite(text.data(), 1, text.size(), stream); }

#include "system/text_output.h"

void writeProgramLine(std::FILE* stream, const std::string& line) {
    writeText(stream, "pixtagger-host: " + line + "\n");
}

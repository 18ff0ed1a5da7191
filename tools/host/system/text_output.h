// Text written for people to the program's standard streams.
#pragma once

#include <cstdio>
#include <string>

// UTF-8 text to `stream`: a Windows console gets it as UTF-16, which it
// shows whatever its code page; a pipe or a file gets the bytes.
void writeText(std::FILE* stream, const std::string& text);

// A line for a person on `stream`, after the program's name:
// "pixtagger-host: LINE".
void writeProgramLine(std::FILE* stream, const std::string& line);

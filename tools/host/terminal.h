// Whether a stream is a terminal: the progress line is drawn only there.
#pragma once

#include <cstdio>

bool isTerminal(std::FILE* stream);

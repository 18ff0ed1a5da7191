// pixtagger-host rules: list, check, add, set, remove, enable and disable
// the rules of a rule file, with the plug-in's own rule and rule-file code.
#pragma once

#include "options.h"

// The exit status: 0 done, 1 rules check found problems, 2 bad usage or a
// file that cannot be read or written, with a one-line reason on stderr.
int runRules(const Options& options);

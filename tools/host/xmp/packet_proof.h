// The proof before an edited packet takes the old one's place, by two
// readers apart from the editor: expat reads both as facts, Exiv2 as its
// key-value pairs. Each must find every value outside our keywords as it
// was, each keyword property's values (with their repeats) changed by
// exactly the planned edits, and our record as planned.
#pragma once

#include <string>
#include <string_view>

#include "xmp/keyword_plan.h"

// False with a one-line reason ending in "; left as it is". Where Exiv2
// cannot read the old packet either, its reading proves nothing and only
// expat's counts.
bool provePacket(std::string_view before, std::string_view after, const KeywordPlan& plan, std::string& error);

// The result of classifying one image: the attribute and category names of the
// matching rules, in rule order. Holds copies, so it outlives the rule list.
#pragma once

#include <string>
#include <vector>

// Declared opaque in pixtagger.h; hosts hold it only as a handle.
struct AttributeResult {
    std::vector<std::string> attNames;
    std::vector<std::string> catPaths;  // entry i belongs to attNames[i]
};

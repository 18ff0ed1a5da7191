#include "system/name_key.h"

std::filesystem::path::string_type nameKey(const std::filesystem::path& name) { return name.native(); }

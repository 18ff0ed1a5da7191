// The files behind the stand-in profile functions: parsed copies kept between
// calls and checked against the file on every call, and whole-file replacement.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/standin/profile_document.h"

namespace standin::profile_store {

// The file's current content, or null when there is no readable regular file.
std::shared_ptr<const ProfileDocument> load(const std::string& path);

// Applies edit to the file's content (empty when the file is missing) and,
// when edit reports a change, replaces the file with the result. False when
// the file could not be written; it is then unchanged.
bool update(const std::string& path, const std::function<bool(ProfileDocument&)>& edit);

}  // namespace standin::profile_store

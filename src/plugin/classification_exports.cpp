// Classification exports: acGetAC builds a result for one image, the accessors
// read it, acReleaseAC frees it. No exception leaves these functions.
#include <cstddef>

#include "conditions/classify.h"
#include "pixtagger.h"

namespace {

// The text at index, or null past the end. Null handles get null too, since a
// host that forgot to check acGetAC's answer must not crash its process.
const std::string* entryAt(const AttributeResult* result, const std::vector<std::string> AttributeResult::*names,
                           uint32_t index) {
    if (result == nullptr) return nullptr;
    const std::vector<std::string>& texts = result->*names;
    return index < texts.size() ? &texts[index] : nullptr;
}

}  // namespace

extern "C" {

AttributeResult* PIXTAGGER_CALL acGetAC(const ImageRecord* image, const ConditionList* list) {
    if (image == nullptr || list == nullptr) return nullptr;
    try {
        return classify(*image, *list).release();  // the host owns it until acReleaseAC
    } catch (...) {
        return nullptr;
    }
}

int32_t PIXTAGGER_CALL acGetAttNum(const AttributeResult* result) {
    return result == nullptr ? 0 : static_cast<int32_t>(result->attNames.size());
}

const char* PIXTAGGER_CALL acGetAttName(const AttributeResult* result, uint32_t index) {
    const std::string* name = entryAt(result, &AttributeResult::attNames, index);
    return name == nullptr ? nullptr : name->c_str();
}

const char* PIXTAGGER_CALL acGetCatPath(const AttributeResult* result, uint32_t index) {
    // An empty category reads as "none" to the host.
    const std::string* path = entryAt(result, &AttributeResult::catPaths, index);
    return path == nullptr || path->empty() ? nullptr : path->c_str();
}

void PIXTAGGER_CALL acReleaseAC(AttributeResult* result) { delete result; }

}  // extern "C"

// Configuration exports: the life of the rule list that the host holds, and
// its profile file. No exception leaves these functions.
#include <memory>

#include "conditions/condition_list.h"
#include "pixtagger.h"

extern "C" {

ConditionList* PIXTAGGER_CALL acLoadConfig(const char* path) {
    // A null path would make Windows read its own system profile.
    if (path == nullptr) return nullptr;
    try {
        return std::make_unique<ConditionList>(path).release();  // the host owns it until acReleaseConfig
    } catch (...) {
        return nullptr;  // nothing partly read reaches the host
    }
}

void PIXTAGGER_CALL acSaveConfig(const ConditionList* list, const char* path) {
    if (list == nullptr || path == nullptr) return;
    try {
        list->save(path);
    } catch (...) {
        // Only exhausted memory can end a save early; the keys written so
        // far stay, and the host has no way to be told.
    }
}

void PIXTAGGER_CALL acReleaseConfig(ConditionList* list) { delete list; }

}  // extern "C"

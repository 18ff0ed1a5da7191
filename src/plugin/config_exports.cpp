// Configuration exports: the life of the rule list that the host holds.
#include "conditions/condition_list.h"
#include "pixtagger.h"

extern "C" {

void PIXTAGGER_CALL acReleaseConfig(ConditionList* list) { delete list; }

}  // extern "C"

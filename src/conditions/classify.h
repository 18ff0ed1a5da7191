// Classification of one image record against a rule list.
#pragma once

#include <memory>

#include "conditions/attribute_result.h"
#include "conditions/condition_list.h"
#include "pixtagger.h"

// The names of every enabled rule that the image's area satisfies, or null
// when the record lacks the required state bit or nothing matches. Throws
// std::bad_alloc when memory runs out; nothing is left allocated then.
std::unique_ptr<AttributeResult> classify(const ImageRecord& image, const ConditionList& rules);

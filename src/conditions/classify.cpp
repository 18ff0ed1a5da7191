#include "conditions/classify.h"

#include <cstddef>
#include <cstdint>

#include "conditions/rule_test.h"

static_assert(offsetof(ImageRecord, stateFlags) == 0, "the host puts the state flags at byte 0");
static_assert(offsetof(ImageRecord, width) == 20, "the host puts the width at byte 20");
static_assert(offsetof(ImageRecord, height) == 24, "the host puts the height at byte 24");

std::unique_ptr<AttributeResult> classify(const ImageRecord& image, const ConditionList& rules) {
    if ((image.stateFlags & PIXTAGGER_REQUIRED_STATE) == 0) return nullptr;

    // 64-bit product: a 100000 x 50000 panorama must not wrap to a small area.
    const std::int64_t area = std::int64_t{image.width} * image.height;

    // Nothing is allocated until a rule matches, so a miss costs only the test.
    std::unique_ptr<AttributeResult> result;
    for (const Condition& rule : rules) {
        if (!rule._bEnable || !matches(rule, area)) continue;
        if (!result) result = std::make_unique<AttributeResult>();
        result->attNames.push_back(rule._attName);
        result->catPaths.push_back(rule._catName);
    }
    return result;
}

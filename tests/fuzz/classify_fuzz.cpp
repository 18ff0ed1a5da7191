// acGetAC over arbitrary rules and image records, against a second, plainly
// written model of the rule test.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "conditions/condition_list.h"
#include "pixtagger.h"

namespace {

// The rule test as the rule file's reader would state it, one case at a time.
bool modelMatches(const Condition& c, long long area) {
    if (c._type == 0) {
        if (c._cmbA == 0) return area < c._a;
        if (c._cmbA == 1) return area <= c._a;
        if (c._cmbA == 2) return area == c._a;
        if (c._cmbA == 3) return area >= c._a;
        if (c._cmbA == 4) return area > c._a;
        return false;
    }
    bool lowerOk = true;
    if (c._cmbB1 == 0) lowerOk = c._b1 < area;
    if (c._cmbB1 == 1) lowerOk = c._b1 <= area;
    bool upperOk = true;
    if (c._cmbB2 == 0) upperOk = area < c._b2;
    if (c._cmbB2 == 1) upperOk = area <= c._b2;
    return lowerOk && upperOk;
}

std::int32_t smallOrAny(FuzzedDataProvider& in) {
    // Mostly the meaningful codes, sometimes anything.
    return in.ConsumeBool() ? in.ConsumeIntegralInRange<std::int32_t>(-1, 5) : in.ConsumeIntegral<std::int32_t>();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    ImageRecord image{};
    image.stateFlags = in.ConsumeIntegral<std::uint32_t>();
    image.width = in.ConsumeIntegral<std::int32_t>();
    image.height = in.ConsumeIntegral<std::int32_t>();
    ConditionList list;
    const int count = in.ConsumeIntegralInRange(0, 24);
    for (int i = 0; i < count; ++i) {
        Condition c;
        c._bEnable = in.ConsumeBool();
        c._type = smallOrAny(in);
        c._a = in.ConsumeIntegral<std::int32_t>();
        c._b1 = in.ConsumeIntegral<std::int32_t>();
        c._b2 = in.ConsumeIntegral<std::int32_t>();
        c._cmbA = smallOrAny(in);
        c._cmbB1 = smallOrAny(in);
        c._cmbB2 = smallOrAny(in);
        c._attName = in.ConsumeRandomLengthString(40);
        c._catName = in.ConsumeRandomLengthString(40);
        list.append(c);
    }

    // Names as the host sees them: C strings, and a null category when empty.
    std::vector<std::string> expected;
    const long long area = static_cast<long long>(image.width) * static_cast<long long>(image.height);
    if ((image.stateFlags & 8) != 0) {
        for (const Condition& c : list) {
            if (!c._bEnable || !modelMatches(c, area)) continue;
            expected.push_back(std::string(c._attName.c_str()) + "|" +
                               (c._catName.empty() ? "(null)" : c._catName.c_str()));
        }
    }

    AttributeResult* result = acGetAC(&image, &list);
    std::vector<std::string> got;
    for (std::int32_t i = 0; result != nullptr && i < acGetAttNum(result); ++i) {
        const auto index = static_cast<std::uint32_t>(i);
        const char* cat = acGetCatPath(result, index);
        got.push_back(std::string(acGetAttName(result, index)) + "|" + (cat == nullptr ? "(null)" : cat));
    }
    const bool nullWhenEmpty = (result == nullptr) == expected.empty();
    acReleaseAC(result);
    if (!nullWhenEmpty || got != expected) std::abort();
    return 0;
}

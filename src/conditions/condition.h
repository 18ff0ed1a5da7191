// One user rule: when an image's pixel area passes its test, the image gets the
// rule's attribute name in its category. Also the rule's operator and type codes.
#pragma once

#include <cstdint>
#include <string>

class ProfileFile;

// Operator index of _cmbA (all five) and of _cmbB1/_cmbB2 (the first two).
enum class CompareOp : std::int32_t {
    Less = 0,  // ＜
    LessEqual = 1,  // ≦
    Equal = 2,  // ＝
    GreaterEqual = 3,  // ≧
    Greater = 4,  // ＞
};

// _type: 0 is a single comparison with _a; every other value is a range.
enum class ConditionType : std::int32_t {
    A = 0,
    B = 1,
};

// Integer fields keep whatever the file or the editor gave them, so codes
// outside the enums above survive a load and save unchanged.
struct Condition {
    bool _bEnable = true;
    std::string _attName;
    std::string _catName;
    std::int32_t _type = static_cast<std::int32_t>(ConditionType::A);
    std::int32_t _a = 999999999;
    std::int32_t _b1 = 0;
    std::int32_t _b2 = 999999999;
    std::int32_t _cmbA = static_cast<std::int32_t>(CompareOp::Less);
    std::int32_t _cmbB1 = static_cast<std::int32_t>(CompareOp::Less);
    std::int32_t _cmbB2 = static_cast<std::int32_t>(CompareOp::Less);

    // Replace all ten fields by the keys of a rule section, or write them
    // there (in the rule file code).
    void load(const ProfileFile& file, const char* section);
    void save(const ProfileFile& file, const char* section) const;

    friend bool operator==(const Condition& l, const Condition& r) {
        return l._bEnable == r._bEnable && l._attName == r._attName && l._catName == r._catName && l._type == r._type &&
               l._a == r._a && l._b1 == r._b1 && l._b2 == r._b2 && l._cmbA == r._cmbA && l._cmbB1 == r._cmbB1 &&
               l._cmbB2 == r._cmbB2;
    }
    friend bool operator!=(const Condition& l, const Condition& r) { return !(l == r); }
};

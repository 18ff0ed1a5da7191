#include "conditions/condition_list.h"

#include <stdexcept>
#include <utility>

namespace {

void checkCapacity(std::size_t wanted) {
    if (wanted > ConditionList::kMaxSize) throw std::length_error("vector<T> too long");
}

}  // namespace

void ConditionList::reserve(std::size_t n) {
    checkCapacity(n);
    items_.reserve(n);
}

void ConditionList::append(Condition rule) {
    checkCapacity(items_.size() + 1);
    items_.push_back(std::move(rule));
}

void ConditionList::replace(std::size_t position, Condition rule) {
    // Taken by value: a failed copy happens before the old record is touched.
    items_.at(position) = std::move(rule);
}

void ConditionList::erase(std::size_t position) {
    if (position >= items_.size()) throw std::out_of_range("ConditionList::erase");
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(position));
}

// The whole rule configuration: an ordered sequence of rules. Its order is the
// file's, the list dialog's and the classification result's.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "conditions/condition.h"

// Declared opaque in pixtagger.h; hosts hold it only as a handle.
struct ConditionList {
    // The record limit is the same on every build (that of a 40-byte record in
    // a 32-bit address space), so a rule file loads alike everywhere.
    static constexpr std::size_t kMaxSize = 107374182;

    using const_iterator = std::vector<Condition>::const_iterator;

    ConditionList() = default;
    // The rules of a profile file (a missing file gives none). Throws
    // boost::bad_lexical_cast for an invalid integer text, std::length_error
    // for a count over the limit, std::bad_alloc.
    explicit ConditionList(const std::string& path);
    // Writes every rule to the profile file, one key per call.
    void save(const std::string& path) const;

    std::size_t size() const noexcept { return items_.size(); }
    bool empty() const noexcept { return items_.empty(); }
    const Condition& operator[](std::size_t i) const { return items_[i]; }
    const_iterator begin() const noexcept { return items_.begin(); }
    const_iterator end() const noexcept { return items_.end(); }

    // The edits the system makes. Growing past kMaxSize throws
    // std::length_error("vector<T> too long"); a bad position throws
    // std::out_of_range.
    void reserve(std::size_t n);
    void append(Condition rule);
    void replace(std::size_t position, Condition rule);
    void erase(std::size_t position);
    // The list dialog's Close: a rule's enable flag alone.
    void setEnabled(std::size_t position, bool enabled) { items_.at(position)._bEnable = enabled; }

    friend bool operator==(const ConditionList& l, const ConditionList& r) { return l.items_ == r.items_; }

private:
    std::vector<Condition> items_;
};

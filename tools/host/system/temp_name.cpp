#include "system/temp_name.h"

#include <cstdio>
#include <type_traits>

namespace {

const char kPrefix[] = ".pixtagger-";
const char kSuffix[] = ".tmp";

std::string hex16(std::uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

// Reads the fields of a name left to right; any departure from the form
// fails the whole parse.
class Reader {
public:
    explicit Reader(const std::string& text) : text_(text) {}

    bool literal(const char* expected) {
        for (; *expected != '\0'; ++expected, ++at_) {
            if (at_ >= text_.size() || text_[at_] != *expected) return false;
        }
        return true;
    }

    bool hex(std::uint64_t& value) {
        if (text_.size() - at_ < 16) return false;
        value = 0;
        for (std::size_t end = at_ + 16; at_ < end; ++at_) {
            const char c = text_[at_];
            const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
            if (digit < 0) return false;
            value = value << 4 | static_cast<std::uint64_t>(digit);
        }
        return true;
    }

    // Decimal, no leading zero, no more than `max`.
    bool decimal(std::uint64_t& value, std::uint64_t max) {
        const std::size_t start = at_;
        value = 0;
        for (; at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9'; ++at_) {
            const auto digit = static_cast<std::uint64_t>(text_[at_] - '0');
            if (value > (max - digit) / 10) return false;
            value = value * 10 + digit;
        }
        return at_ > start && (text_[start] != '0' || at_ == start + 1);
    }

    bool atEnd() const { return at_ == text_.size(); }

private:
    const std::string& text_;
    std::size_t at_ = 0;
};

}  // namespace

std::string formatTempName(const TempName& name) {
    return kPrefix + hex16(name.machine) + "-" + std::to_string(name.pid) + "-" + hex16(name.process) + "-" +
           std::to_string(name.counter) + kSuffix;
}

std::optional<TempName> parseTempName(const std::filesystem::path& fileName) {
    std::string text;
    for (const auto c : fileName.native()) {
        const auto code = static_cast<std::make_unsigned_t<std::decay_t<decltype(c)>>>(c);
        if (code == 0 || code > 0x7F) return std::nullopt;  // ours are ASCII
        text.push_back(static_cast<char>(code));
    }
    Reader reader(text);
    TempName name;
    std::uint64_t pid = 0;
    const bool ours = reader.literal(kPrefix) && reader.hex(name.machine) && reader.literal("-") &&
                      reader.decimal(pid, UINT32_MAX) && pid != 0 && reader.literal("-") && reader.hex(name.process) &&
                      reader.literal("-") && reader.decimal(name.counter, UINT64_MAX) && reader.literal(kSuffix) &&
                      reader.atEnd();
    if (!ours) return std::nullopt;
    name.pid = static_cast<std::uint32_t>(pid);
    return name;
}

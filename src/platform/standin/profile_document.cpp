#include "platform/standin/profile_document.h"

namespace standin {

namespace {

bool isLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

constexpr const char* kLineEnd = "\r\n";

}  // namespace

bool isProfileSpace(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

std::string_view trimSpace(std::string_view s) {
    while (!s.empty() && isProfileSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isProfileSpace(s.back())) s.remove_suffix(1);
    return s;
}

std::string foldName(std::string_view s) {
    std::string out(s);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(out[i]);
        if (isLeadByte(c)) {
            ++i;  // the second byte may look like a letter
        } else if (c >= 'A' && c <= 'Z') {
            out[i] = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

ProfileDocument::Line ProfileDocument::parse(std::string raw, std::string end) {
    Line line;
    line.raw = std::move(raw);
    line.end = std::move(end);
    const std::string_view content = trimSpace(line.raw);
    if (content.empty() || content.front() == ';') return line;
    if (content.front() == '[') {
        const std::size_t close = content.rfind(']');
        if (close != std::string_view::npos) {
            line.kind = Kind::Header;
            line.name = foldName(trimSpace(content.substr(1, close - 1)));
            return line;
        }
    }
    const std::size_t eq = content.find('=');
    if (eq == std::string_view::npos) {
        // Windows takes such a line for a key without a value: it hides any
        // later key of the same name.
        line.kind = Kind::KeyWithoutValue;
        line.name = foldName(content);
        return line;
    }
    line.kind = Kind::Key;
    line.name = foldName(trimSpace(content.substr(0, eq)));
    std::size_t at = static_cast<std::size_t>(content.data() - line.raw.data()) + eq + 1;
    while (at < line.raw.size() && isProfileSpace(line.raw[at])) ++at;
    line.valueAt = at;
    return line;
}

ProfileDocument::ProfileDocument(std::string_view bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t stop = at;
        while (stop < bytes.size() && bytes[stop] != '\n' && bytes[stop] != '\r') ++stop;
        std::size_t next = stop;
        if (next < bytes.size())
            next += (bytes[next] == '\r' && next + 1 < bytes.size() && bytes[next + 1] == '\n') ? 2 : 1;
        lines_.push_back(parse(std::string(bytes.substr(at, stop - at)), std::string(bytes.substr(stop, next - stop))));
        at = next;
    }
    reindex();
}

void ProfileDocument::reindex() {
    sections_.clear();
    std::string name;  // the lines before any header form the section ""
    std::size_t first = 0;
    bool headed = false;
    auto close = [&](std::size_t last) { sections_.emplace(name, Section{first, last, headed}); };  // first wins
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind != Kind::Header) continue;
        close(i);
        name = lines_[i].name;
        first = i;
        headed = true;
    }
    close(lines_.size());
}

std::optional<ProfileDocument::Section> ProfileDocument::sectionNamed(std::string_view name) const {
    const auto it = sections_.find(foldName(trimSpace(name)));
    if (it == sections_.end()) return std::nullopt;
    return it->second;
}

std::optional<std::size_t> ProfileDocument::keyIn(const Section& s, std::string_view name) const {
    const std::string folded = foldName(trimSpace(name));
    for (std::size_t i = s.first; i < s.last; ++i) {
        if (isKey(lines_[i]) && lines_[i].name == folded) return i;
    }
    return std::nullopt;
}

ProfileDocument::Line ProfileDocument::keyLine(std::string_view key, std::string_view value) {
    return parse(std::string(key) + "=" + std::string(value), kLineEnd);
}

std::optional<std::string_view> ProfileDocument::find(std::string_view section, std::string_view key) const {
    const auto s = sectionNamed(section);
    if (!s) return std::nullopt;
    const auto k = keyIn(*s, key);
    if (!k || lines_[*k].kind != Kind::Key) return std::nullopt;
    std::string_view value = trimSpace(std::string_view(lines_[*k].raw).substr(lines_[*k].valueAt));
    value = value.substr(0, value.find('\0'));  // Win32 reads a value as a C string
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    return value;
}

bool ProfileDocument::set(std::string_view section, std::string_view key, std::string_view value) {
    const std::string_view keyName = trimSpace(key);
    // A value holding a line end splits into several lines, as it will when
    // the file is read again.
    const bool splitsLines = value.find_first_of("\r\n") != std::string_view::npos;
    const auto s = sectionNamed(section);
    if (!s) {
        if (!lines_.empty() && lines_.back().end.empty()) lines_.back().end = kLineEnd;
        lines_.push_back(parse("[" + std::string(trimSpace(section)) + "]", kLineEnd));
        lines_.push_back(keyLine(keyName, value));
    } else if (const auto k = keyIn(*s, keyName)) {
        Line& line = lines_[*k];
        std::string raw = line.kind == Kind::Key ? line.raw.substr(0, line.valueAt)
                                                 : std::string(trimSpace(line.raw)) + "=";
        raw += value;
        if (raw == line.raw) return false;
        line = parse(std::move(raw), std::move(line.end));
        if (!splitsLines) return true;  // same lines, same index
    } else {
        // After the last key of the section, or straight after its header.
        std::size_t at = s->first + (s->headed ? 1 : 0);
        for (std::size_t i = s->first; i < s->last; ++i) {
            if (isKey(lines_[i])) at = i + 1;
        }
        if (at > 0 && lines_[at - 1].end.empty()) lines_[at - 1].end = kLineEnd;
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), keyLine(keyName, value));
    }
    if (splitsLines) {
        *this = ProfileDocument(bytes());
    } else {
        reindex();
    }
    return true;
}

bool ProfileDocument::removeKey(std::string_view section, std::string_view key) {
    const auto s = sectionNamed(section);
    if (!s) return false;
    const auto k = keyIn(*s, key);
    if (!k) return false;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*k));
    reindex();
    return true;
}

bool ProfileDocument::removeSection(std::string_view section) {
    const auto s = sectionNamed(section);
    if (!s || s->first == s->last) return false;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(s->first),
                 lines_.begin() + static_cast<std::ptrdiff_t>(s->last));
    reindex();
    return true;
}

std::string ProfileDocument::bytes() const {
    std::size_t size = 0;
    for (const Line& line : lines_) size += line.raw.size() + line.end.size();
    std::string out;
    out.reserve(size);
    for (const Line& line : lines_) {
        out += line.raw;
        out += line.end;
    }
    return out;
}

}  // namespace standin

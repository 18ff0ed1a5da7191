#include "xmp/exiv2_xmp.h"

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <mutex>
#include <new>

#include "xmp/exiv2_xmp_lock.h"

void registerPixtaggerXmpNamespace() {
    Exiv2::XmpParser::initialize();
    Exiv2::XmpProperties::registerNs(kPixtaggerXmpNamespace, "pixtagger");
}

void releaseXmpNamespaces() { Exiv2::XmpParser::terminate(); }

namespace {

std::vector<std::string> itemsOf(const Exiv2::Value& value) {
    std::vector<std::string> items;
    for (long i = 0; i < value.count(); ++i) items.push_back(value.toString(i));
    return items;
}

// Exiv2's key of a property, by the prefix it gives the namespace.
std::string keyOf(const XmpName& name) { return "Xmp." + Exiv2::XmpProperties::prefix(name.uri) + "." + name.name; }

// The reading of XMP Exiv2 has decoded.
Exiv2Reading readingOf(const Exiv2::XmpData& xmp) {
    Exiv2Reading reading;
    PerProperty<std::string> keywords, records;
    for (std::size_t p = 0; p < kKeywordProperties; ++p) {
        keywords[p] = keyOf(kKeywordProperty[p].property);
        records[p] = keyOf(kKeywordProperty[p].record);
    }
    for (const Exiv2::Xmpdatum& datum : xmp) {
        const std::string key = datum.key();
        const auto keyword = std::find(keywords.begin(), keywords.end(), key);
        const auto record = std::find(records.begin(), records.end(), key);
        if (keyword != keywords.end()) {
            reading.keywords[static_cast<std::size_t>(keyword - keywords.begin())] = itemsOf(datum.value());
        } else if (record != records.end()) {
            reading.records[static_cast<std::size_t>(record - records.begin())] = itemsOf(datum.value());
        } else {
            reading.others.push_back(key + " " + datum.typeName() + " " + datum.toString());
        }
    }
    std::sort(reading.others.begin(), reading.others.end());
    reading.read = true;
    return reading;
}

}  // namespace

void resetXmpNamespaces() {
    Exiv2::XmpProperties::unregisterNs();
    Exiv2::XmpProperties::registerNs(kPixtaggerXmpNamespace, "pixtagger");
}

Exiv2Reading exiv2Reading(std::string_view packet) {
    const std::unique_lock<std::shared_mutex> lock(exiv2XmpLock());
    try {
        resetXmpNamespaces();
        Exiv2::XmpData xmp;
        if (Exiv2::XmpParser::decode(xmp, std::string(packet)) == 0) return readingOf(xmp);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception&) {  // Exiv2's own errors: a packet it cannot read
    }
    return Exiv2Reading();
}

#include "xmp/xmp_packet.h"

#include <map>
#include <mutex>

#include "text/messages.h"
#include "xmp/packet_proof.h"

Rewrite rewritePacket(std::string_view packet, const std::vector<Keyword>& keywords, EditedPacket& edited,
                      std::string& error) {
    if (packet.size() > static_cast<std::size_t>(kMaxPacketBytes)) {
        error = tr("an XMP packet larger than %s MiB, more than any holds; left as it is",
                   {std::to_string(kMaxPacketBytes >> 20)});
        return Rewrite::Refused;
    }
    const Rewrite rewrite = editPacket(packet, keywords, edited, error);
    if (rewrite != Rewrite::Changed) return rewrite;
    return provePacket(packet, edited.bytes, edited.plan, error) ? Rewrite::Changed : Rewrite::Refused;
}

bool freshPacket(const std::vector<Keyword>& keywords, bool padded, EditedPacket& packet, std::string& error) {
    static std::mutex mutex;
    static std::map<std::string, EditedPacket> cache;
    std::string key(1, padded ? 'p' : 's');
    for (const Keyword& keyword : keywords) key += keyword.name + '\0' + keyword.category + '\0';
    {
        const std::lock_guard<std::mutex> lock(mutex);
        const auto it = cache.find(key);
        if (it != cache.end()) {
            packet = it->second;
            return true;
        }
    }
    if (rewritePacket(emptyPacket(padded), keywords, packet, error) != Rewrite::Changed) {
        if (error.empty()) error = tr("no keyword to write");
        return false;
    }
    const std::lock_guard<std::mutex> lock(mutex);
    cache.emplace(std::move(key), packet);
    return true;
}

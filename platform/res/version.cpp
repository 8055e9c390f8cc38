#include "platform/res/version.h"

#include <cstring>

namespace res {

namespace {

struct Node {
    WORD length = 0;
    WORD valueLength = 0;
    WORD type = 0;
    WString key;
    size_t valueOffset = 0;  // from the start of the block
    size_t childrenOffset = 0;
};

size_t Align4(size_t v) {
    return (v + 3) & ~size_t(3);
}

// Reads the node header at `pos` within [0, end); false when malformed.
bool ReadNode(std::span<const uint8_t> d, size_t pos, size_t end, Node* n) {
    if (pos + 6 > end) return false;
    std::memcpy(&n->length, d.data() + pos, 2);
    std::memcpy(&n->valueLength, d.data() + pos + 2, 2);
    std::memcpy(&n->type, d.data() + pos + 4, 2);
    if (n->length < 6 || pos + n->length > end) return false;
    size_t p = pos + 6;
    size_t nodeEnd = pos + n->length;
    n->key.clear();
    for (;;) {
        if (p + 2 > nodeEnd) return false;
        WChar c;
        std::memcpy(&c, d.data() + p, 2);
        p += 2;
        if (!c) break;
        n->key.push_back(c);
    }
    n->valueOffset = std::min(Align4(p), nodeEnd);
    size_t valueBytes = n->type == 1 ? size_t(n->valueLength) * 2 : n->valueLength;
    if (n->valueOffset + valueBytes > nodeEnd) return false;
    n->childrenOffset = std::min(Align4(n->valueOffset + valueBytes), nodeEnd);
    return true;
}

}  // namespace

std::optional<VersionInfo> ParseVersionInfo(std::span<const uint8_t> d) {
    Node root;
    if (!ReadNode(d, 0, d.size(), &root) || root.key != u"VS_VERSION_INFO") return std::nullopt;
    if (root.valueLength < sizeof(VS_FIXEDFILEINFO)) return std::nullopt;
    VersionInfo vi;
    std::memcpy(&vi.fixed, d.data() + root.valueOffset, sizeof(VS_FIXEDFILEINFO));
    if (vi.fixed.dwSignature != kFixedFileInfoSignature) return std::nullopt;
    size_t rootEnd = root.length;
    for (size_t p = root.childrenOffset; p + 6 <= rootEnd;) {
        Node child;
        if (!ReadNode(d, p, rootEnd, &child)) break;
        if (child.key == u"StringFileInfo") {
            size_t cEnd = p + child.length;
            for (size_t q = child.childrenOffset; q + 6 <= cEnd;) {
                Node table;
                if (!ReadNode(d, q, cEnd, &table)) break;
                size_t tEnd = q + table.length;
                for (size_t s = table.childrenOffset; s + 6 <= tEnd;) {
                    Node str;
                    if (!ReadNode(d, s, tEnd, &str)) break;
                    WString value;
                    size_t units = str.type == 1 ? str.valueLength : str.valueLength / 2;
                    for (size_t i = 0; i < units; ++i) {
                        WChar c;
                        std::memcpy(&c, d.data() + str.valueOffset + i * 2, 2);
                        if (!c) break;
                        value.push_back(c);
                    }
                    vi.strings.emplace(str.key, value);
                    s = Align4(s + str.length);
                }
                q = Align4(q + table.length);
                break;  // the first table is enough
            }
        }
        p = Align4(p + child.length);
    }
    return vi;
}

}  // namespace res

#include "formats/sid/sid_decode.h"

#include <bit>
#include <cstring>

float SidLowWeight() { return std::bit_cast<float>(0x3F932639u); }   // 1.149604
float SidHighWeight() { return std::bit_cast<float>(0x3F5EAF75u); }  // 0.8698648

namespace {

void Split(std::vector<SidTreeNode>& nodes, int at, int levels) {
    if (nodes[at].depth >= levels) return;
    for (int i = 0; i < 4; ++i) {
        const SidTreeNode& parent = nodes[at];
        const bool xHigh = i >= 2, yHigh = i & 1;
        SidTreeNode c;
        c.width = xHigh ? parent.width / 2 : parent.width - parent.width / 2;
        c.height = yHigh ? parent.height / 2 : parent.height - parent.height / 2;
        c.weight = parent.weight * (xHigh ? SidHighWeight() : SidLowWeight());
        c.weight = c.weight * (yHigh ? SidHighWeight() : SidLowWeight());
        c.depth = parent.depth + 1;
        nodes.push_back(c);
        nodes[at].child[i] = static_cast<int>(nodes.size()) - 1;
    }
    Split(nodes, nodes[at].child[0], levels);
}

void Number(std::vector<SidTreeNode>& nodes, int at, int* next) {
    SidTreeNode& n = nodes[at];
    if (n.child[0] < 0) {
        n.subband = (*next)++;
        return;
    }
    for (int i : {0, 2, 1, 3}) Number(nodes, nodes[at].child[i], next);
}

int CeilDiv2(int64_t v) { return static_cast<int>(v >= 0 ? (v + 1) / 2 : -((-v) / 2)); }

}  // namespace

std::vector<SidTreeNode> SidBuildTree(uint32_t width, uint32_t height, int levels) {
    std::vector<SidTreeNode> nodes;
    if (levels < 0 || levels > 31) return nodes;
    nodes.reserve(4 * static_cast<size_t>(levels) + 1);
    SidTreeNode root;
    root.width = width;
    root.height = height;
    nodes.push_back(root);
    Split(nodes, 0, levels);
    int next = 0;
    Number(nodes, 0, &next);
    return nodes;
}

void SidChildWindow(int parentMin, int parentMax, bool highPass, uint32_t childSize, int* min,
                    int* max) {
    int64_t lo = CeilDiv2(int64_t{parentMin} - (highPass ? 5 : 3));
    // trunc((max + 3) / 2): toward zero, also for windows left of the image.
    const int64_t top = int64_t{parentMax} + 3;
    int64_t hi = top >= 0 ? top / 2 : -((-top) / 2);
    if (lo < 0) lo = 0;
    if (hi > int64_t{childSize} - 1) hi = int64_t{childSize} - 1;
    if (lo > hi) {
        *min = 0;
        *max = -1;
        return;
    }
    *min = static_cast<int>(lo);
    *max = static_cast<int>(hi);
}

int SidHuffman::SymbolCount(const uint8_t counts[16]) {
    int n = 0;
    for (int i = 0; i < 16; ++i) n += counts[i];
    return n;
}

bool SidHuffman::Build(const uint8_t counts[16], const uint8_t* symbols) {
    const int total = SymbolCount(counts);
    if (total > 256) return false;
    // Canonical codes, shortest first; a length with more codes than the
    // room the shorter ones leave is over-subscribed.
    int32_t code = 0;
    int index = 0;
    for (int len = 1; len <= 16; ++len) {
        const int n = counts[len - 1];
        count_[len] = n;
        valueIndex_[len] = index;
        minCode_[len] = code;
        if (int64_t{code} + n > (int64_t{1} << len)) return false;
        code += n;
        maxCode_[len] = code - 1;
        index += n;
        code <<= 1;
    }
    std::memset(symbols_, 0, sizeof symbols_);
    if (total) std::memcpy(symbols_, symbols, static_cast<size_t>(total));
    return true;
}

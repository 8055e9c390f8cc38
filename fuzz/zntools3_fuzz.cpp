// The desktop support library under fuzzed documents, selections, names,
// values, sizes and code pages: no crash, no write outside a caller's buffer,
// and whatever a save writes loads again.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "desktop/support/xml_layer.h"
#include "zarnip/zntools3.h"

namespace {

znXmlNode* Node(zntools::Token t) {
    return reinterpret_cast<znXmlNode*>(t);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    static const int32_t pages[] = {0, 1, 437, 850, 932, 936, 1250, 1251, 1252, 1253, 1255, 1258, 65001, 12345};
    const int32_t page = in.PickValueInArray(pages);
    std::vector<znXmlNode*> held;
    const std::string doc1 = in.ConsumeRandomLengthString(4096);
    const std::string doc2 = in.ConsumeRandomLengthString(2048);
    held.push_back(Node(zntools::LoadDocument(doc1)));
    held.push_back(Node(zntools::LoadDocument(doc2)));
    const int ops = in.ConsumeIntegralInRange(0, 24);
    for (int i = 0; i < ops && in.remaining_bytes() > 0; ++i) {
        znXmlNode* node = held[in.ConsumeIntegralInRange<size_t>(0, held.size() - 1)];
        if (in.ConsumeBool()) node = reinterpret_cast<znXmlNode*>(in.ConsumeIntegral<uintptr_t>());
        switch (in.ConsumeIntegralInRange(0, 7)) {
            case 0:
                if (znXmlNode* n = xmlGetNode(node, in.ConsumeRandomLengthString(64).c_str())) held.push_back(n);
                break;
            case 1:
            case 2:
            case 3: {
                const int32_t n = in.ConsumeIntegralInRange<int32_t>(-4, 300);
                auto buf = std::make_unique<char[]>(n > 0 ? static_cast<size_t>(n) : 1);
                const std::string name = in.ConsumeRandomLengthString(32);
                if (n <= 0) {
                    xmlGetNodeTag(node, nullptr, n);
                    break;
                }
                int which = i % 3;
                if (which == 0) xmlGetNodeTag(node, buf.get(), n);
                if (which == 1) xmlGetNodeText(node, buf.get(), n);
                if (which == 2) xmlGetAttribute(node, name.c_str(), buf.get(), n);
                if (buf[static_cast<size_t>(n) - 1] != '\0') std::abort();
                break;
            }
            case 4: {
                const std::string name = in.ConsumeRandomLengthString(32);
                const std::string value = in.ConsumeRandomLengthString(64);
                xmlSetAttribute(node, name.c_str(), value.c_str());
                break;
            }
            case 5: {
                znXmlNode* other = held[in.ConsumeIntegralInRange<size_t>(0, held.size() - 1)];
                if (znXmlNode* n = xmlNodeAddReplace(node, other)) held.push_back(n);
                break;
            }
            case 6:
                if (!held.empty()) {
                    const size_t k = in.ConsumeIntegralInRange<size_t>(0, held.size() - 1);
                    xmlRelease(held[k]);
                    held[k] = nullptr;
                }
                break;
            case 7:
                xmlMerge(1, 2, 3);
                break;
        }
    }
    // Round trip: every saved document loads again.
    for (znXmlNode* n : held) {
        if (auto saved = zntools::SaveDocument(reinterpret_cast<zntools::Token>(n))) {
            const zntools::Token again = zntools::LoadDocument(*saved);
            if (!again) std::abort();
            zntools::ReleaseNode(again);
        }
    }
    for (znXmlNode* n : held) xmlRelease(n);
    // Code-page conversion into a destination of exactly 3n + 1 bytes.
    const std::string raw = in.ConsumeRemainingBytesAsString();
    const std::string source(raw.c_str());
    auto dest = std::make_unique<char[]>(3 * source.size() + 1);
    dest[0] = '\0';
    StrToUTF8(source.c_str(), page, dest.get());
    return 0;
}

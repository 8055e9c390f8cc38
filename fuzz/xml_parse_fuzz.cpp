// Feeds arbitrary input to the XML parser, as it would arrive in a file or a
// map server response: UTF-8 bytes, or raw UTF-16 units when the first byte is odd.
#include <cstddef>
#include <cstdint>

#include "core/xml_node.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    WString input;
    if (data[0] & 1) {
        for (size_t i = 1; i + 1 < size; i += 2)
            input += static_cast<WChar>(data[i] | data[i + 1] << 8);
    } else {
        const char* p = reinterpret_cast<const char*>(data + 1);
        const char* end = reinterpret_cast<const char*>(data + size);
        while (p < end) AppendCodePoint(input, ReadUtf8Char(p, end));
    }
    CXmlDocument doc;
    if (!doc.Parse(input)) return 0;
    CXmlNode* root = doc.GetRoot();
    root->FindChild(u"A", true);
    root->GetAttributeColor(u"c", 0);
    root->GetAttributeDouble(u"d", 0);
    root->GetAttributeIntHex(u"h", 0, true);
    // Serialising and parsing the result again must be safe too.
    WString again = doc.SaveToString();
    CXmlDocument doc2;
    doc2.Parse(again);
    return 0;
}

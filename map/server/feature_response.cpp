#include "map/server/feature_response.h"

#include <climits>

namespace {

// A whole decimal number of int range, nothing else around it.
bool ParseCount(const WString& s, int& value) {
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) negative = s[i++] == u'-';
    if (i == s.size()) return false;
    long long v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < u'0' || s[i] > u'9') return false;
        v = v * 10 + (s[i] - u'0');
        if (v > INT_MAX) return false;
    }
    value = static_cast<int>(negative ? -v : v);
    return true;
}

}  // namespace

bool ReadFeatureResponse(const CMapServerResponse& response, ServerFeatureSet& out) {
    out = ServerFeatureSet();
    CXmlNode* root = response.GetRoot();
    CXmlNode* features = root ? root->FindChild(u"FEATURES", true) : nullptr;
    if (!features) return false;
    CXmlNode* countNode = features->FindChild(u"FEATURECOUNT", true);
    if (!countNode) countNode = root->FindChild(u"FEATURECOUNT", true);
    int count = 0;
    if (!countNode || !countNode->HasAttribute(u"count") ||
        !ParseCount(countNode->GetAttribute(u"count"), count))
        return false;
    out.count = count;
    for (int i = 0; i < features->GetChildCount(); ++i) {
        CXmlNode* feature = features->GetChild(i);
        CXmlNode* fields = feature ? feature->FindChild(u"FIELDS") : nullptr;
        if (!fields) continue;
        ServerFeature item;
        for (int f = 0; f < fields->GetChildCount(); ++f) {
            CXmlNode* field = fields->GetChild(f);
            if (!field || field->GetName() != u"FIELD" || !field->HasAttribute(u"name") ||
                !field->HasAttribute(u"value"))
                continue;
            item.fields.emplace_back(field->GetAttribute(u"name"), field->GetAttribute(u"value"));
        }
        out.features.push_back(std::move(item));
    }
    return true;
}

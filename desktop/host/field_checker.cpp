#include "desktop/host/field_checker.h"

#include <algorithm>

#include "desktop/host/host_faults.h"
#include "desktop/host/host_log.h"
#include "formats/dbf/dbf_codepage.h"

namespace host {
namespace {

constexpr size_t kMaxNameBytes = 10;

bool IsAsciiLetter(WChar c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

// Letters beyond ASCII: everything from Latin-1's letters on, except the
// blocks of punctuation and symbols (the checker must not depend on a locale).
bool IsOtherLetter(WChar c) {
    if (c < 0xC0 || c == 0xD7 || c == 0xF7) return false;
    if (c >= 0x2000 && c <= 0x2BFF) return false;  // punctuation, symbols, arrows, boxes
    if (c >= 0x3000 && c <= 0x303F) return false;  // CJK punctuation
    if (c >= 0xFF00 && c <= 0xFF0F) return false;  // full-width punctuation
    if (c >= 0xD800 && c <= 0xDFFF) return false;  // halves of a pair
    if (c >= 0xE000 && c <= 0xF8FF) return false;  // private use
    return c < 0xFFF0;
}

WChar Fold(WChar c) {
    if (c >= u'A' && c <= u'Z') return static_cast<WChar>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<WChar>(c + 32);
    return c;
}

WString Folded(const WString& s) {
    WString out = s;
    std::transform(out.begin(), out.end(), out.begin(), Fold);
    return out;
}

size_t Bytes(const WString& s, unsigned codePage) {
    return text::ToCodePage(s, codePage).size();
}

// The longest prefix, whole characters only, that fits `room` bytes.
WString CutToBytes(const WString& s, unsigned codePage, size_t room) {
    WString out = s;
    while (!out.empty() && Bytes(out, codePage) > room) out.pop_back();
    return out;
}

WString CleanName(const std::string& name, unsigned codePage) {
    WString w = text::FromUtf8(name);
    for (WChar& c : w) {
        const bool ok = IsAsciiLetter(c) || (c >= u'0' && c <= u'9') || c == u'_' ||
                        (IsOtherLetter(c) && [&] {
                            bool lossless = false;
                            text::ToCodePage(WString(1, c), codePage, &lossless);
                            return lossless;
                        }());
        if (!ok) c = u'_';
    }
    if (w.empty()) w = u"FIELD";
    if (w[0] >= u'0' && w[0] <= u'9') w.insert(w.begin(), u'_');
    return CutToBytes(w, codePage, kMaxNameBytes);
}

HostField CheckedType(const HostField& in, bool dbfSource, const std::string& name) {
    HostField f = in;
    f.decimals = 0;
    switch (in.type) {
        case 'C':
            f.length = in.length <= 0 ? 254 : std::min(in.length, 254);
            if (in.length > 254)
                HostLog("field " + name + ": text of " + std::to_string(in.length) +
                        " characters is cut to 254");
            f.fieldType = kFieldString;
            break;
        case 'N':
        case 'F':
            if (dbfSource) {
                f.type = in.type;
                f.length = in.length;
                f.decimals = in.decimals;
            } else if (in.decimals == 0 && in.type == 'N') {
                f.type = 'N';
                f.length = in.length > 10 ? 19 : 10;
                f.fieldType = in.length > 10 ? kFieldDouble : kFieldInteger;
            } else {
                f.type = 'N';
                f.length = 19;
                f.decimals = 11;
                f.fieldType = kFieldDouble;
            }
            break;
        case 'D':
            f.length = 8;
            f.fieldType = kFieldDate;
            break;
        case 'L':
            f.length = 1;
            break;
        default:
            f.type = 'C';
            f.length = 254;
            f.fieldType = kFieldString;
            break;
    }
    return f;
}

}  // namespace

unsigned OutputCodePage(const std::vector<HostField>& fields) {
    for (const HostField& f : fields) {
        if (!f.geometryDef) continue;
        if (!f.geometryDef->codePageFile.empty())
            if (const unsigned cp = DbfCodePageFromName(f.geometryDef->codePageFile)) return cp;
        if (f.geometryDef->languageDriverId > 0)
            if (const unsigned cp = DbfLdidToCodePage(f.geometryDef->languageDriverId)) return cp;
    }
    return DbfDeviceAnsiCodePage();
}

void FieldChecker::SetInputWorkspace(std::shared_ptr<IHostWorkspace> workspace) {
    HostFaults::Check("IHostFieldChecker::SetInputWorkspace");
    m_input = std::move(workspace);
}

void FieldChecker::SetValidateWorkspace(std::shared_ptr<IHostWorkspace> workspace) {
    HostFaults::Check("IHostFieldChecker::SetValidateWorkspace");
    m_target = std::move(workspace);
}

int FieldChecker::Validate(const std::vector<HostField>& in, std::vector<HostField>* out) {
    HostFaults::Check("IHostFieldChecker::Validate");
    if (!out) throw HostError("no list for the fields");
    const unsigned codePage = OutputCodePage(in);
    const bool dbfSource = m_input && m_input->Kind() == WorkspaceKind::Shapefile;
    std::vector<HostField> result;
    std::vector<WString> taken;  // folded names so far
    m_renames.clear();
    int changes = 0;
    for (const HostField& f : in) {
        if (f.fieldType == kFieldOID || f.fieldType == kFieldGeometry || f.type == 'G' ||
            f.type == 'I') {
            result.push_back(f);
            continue;
        }
        const WString base = CleanName(f.name, codePage);
        WString name = base;
        for (int k = 1; std::find(taken.begin(), taken.end(), Folded(name)) != taken.end(); ++k) {
            const WString suffix = text::FromUtf8("_" + std::to_string(k));
            name = CutToBytes(base, codePage, kMaxNameBytes - suffix.size()) + suffix;
        }
        taken.push_back(Folded(name));
        const std::string newName = text::ToUtf8(name);
        HostField g = CheckedType(f, dbfSource, newName);
        g.name = newName;
        if (newName != f.name) m_renames.emplace_back(f.name, newName);
        if (newName != f.name || g.type != f.type || g.length != f.length ||
            g.decimals != f.decimals)
            ++changes;
        result.push_back(std::move(g));
    }
    *out = std::move(result);
    return changes;
}

std::vector<std::pair<std::string, std::string>> FieldChecker::Renames() const {
    return m_renames;
}

}  // namespace host

// The RegExp class with its Match, Matches and SubMatches objects. Patterns
// use the ECMAScript grammar of the standard library, which is the grammar
// the language documents; positions are in UTF-16 units.
#include <regex>

#include "platform/scripting/vbscript/vbs_interp.h"
#include "platform/scripting/vbscript/vbs_objects.h"

namespace vbs {

namespace {

std::wstring Wide(WStringView s) {
    return std::wstring(s.begin(), s.end());
}
WString Narrow(const std::wstring& s) {
    WString r;
    r.reserve(s.size());
    for (wchar_t c : s) r += WChar(c);
    return r;
}

// IEnumVARIANT over a snapshot of values.
class ValueEnum final : public RefCountedObject<IEnumVARIANT> {
public:
    explicit ValueEnum(std::vector<Value> items) : items_(std::move(items)) {}
    bool Answers(REFIID iid) const override { return iid == IID_IEnumVARIANT; }
    HRESULT Next(uint32_t count, VARIANT* out, uint32_t* fetched) override {
        if (!out && count) return E_POINTER;
        uint32_t k = 0;
        while (k < count && pos_ < items_.size()) {
            VariantInit(&out[k]);
            VariantCopy(&out[k], &items_[pos_++]);
            ++k;
        }
        if (fetched) *fetched = k;
        return k == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(uint32_t count) override {
        pos_ += count;
        if (pos_ > items_.size()) {
            pos_ = items_.size();
            return S_FALSE;
        }
        return S_OK;
    }
    HRESULT Reset() override {
        pos_ = 0;
        return S_OK;
    }
    HRESULT Clone(IEnumVARIANT** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }

private:
    std::vector<Value> items_;
    size_t pos_ = 0;
};

void SetEnum(Value* out, std::vector<Value> items) {
    auto* e = new ValueEnum(std::move(items));  // the value takes the creator's reference
    VARIANT* o = out->Receive();
    o->vt = VT_UNKNOWN;
    o->punkVal = e;
}

void SetObject(Value* out, DispatchBase* d) {
    d->AddRef();
    VARIANT* o = out->Receive();
    o->vt = VT_DISPATCH;
    o->pdispVal = d;
}

bool IsPut(uint16_t flags) {
    return (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
}

// A read-only list: Count, Item (default) and _NewEnum.
class ListObject : public DispatchBase {
public:
    ListObject(std::vector<Value> items, const char16_t* name)
        : items_(std::move(items)), name_(name) {}
    DISPID FindMember(const WString& l, const ClassInstance*) const override {
        if (l == u"count") return 1;
        if (l == u"item") return DISPID_VALUE;
        if (l == u"_newenum") return DISPID_NEWENUM;
        return DISPID_UNKNOWN;
    }
    void Call(DISPID id, uint16_t flags, ArgList& args, Value* result) override {
        if (IsPut(flags)) Throw(445);
        if (id == 1) {
            VariantFromLong(result->Receive(), int32_t(items_.size()));
            return;
        }
        if (id == DISPID_NEWENUM) {
            SetEnum(result, items_);
            return;
        }
        if (id != DISPID_VALUE) Throw(438);
        if (args.size() != 1) Throw(450);
        int32_t i = ToLong(args[0].Get());
        if (i < 0 || size_t(i) >= items_.size()) Throw(5);
        Assign(result->Receive(), &items_[size_t(i)]);
    }
    WString ClassName() const override { return name_; }

private:
    std::vector<Value> items_;
    const char16_t* name_;
};

class MatchObject : public DispatchBase {
public:
    WString value;
    int32_t index = 0;
    std::vector<Value> subs;
    DISPID FindMember(const WString& l, const ClassInstance*) const override {
        if (l == u"value") return DISPID_VALUE;
        if (l == u"firstindex") return 1;
        if (l == u"length") return 2;
        if (l == u"submatches") return 3;
        return DISPID_UNKNOWN;
    }
    void Call(DISPID id, uint16_t flags, ArgList& args, Value* result) override {
        if (IsPut(flags)) Throw(445);
        if (id == 3 && !args.empty()) {
            // m.SubMatches(i): the index goes to the collection
            ListObject list(subs, u"ISubMatches");
            list.AddRef();
            list.Call(DISPID_VALUE, flags, args, result);
            return;
        }
        switch (id) {
            case DISPID_VALUE:
                VariantFromString(result->Receive(), value);
                return;
            case 1:
                VariantFromLong(result->Receive(), index);
                return;
            case 2:
                VariantFromLong(result->Receive(), int32_t(value.size()));
                return;
            case 3:
                SetObject(result, new ListObject(subs, u"ISubMatches"));
                return;
            default:
                Throw(438);
        }
    }
    WString ClassName() const override { return u"IMatch2"; }
};

class RegExpObject : public DispatchBase {
public:
    DISPID FindMember(const WString& l, const ClassInstance*) const override {
        if (l == u"pattern") return DISPID_VALUE + 10;
        if (l == u"ignorecase") return 11;
        if (l == u"global") return 12;
        if (l == u"multiline") return 13;
        if (l == u"test") return 14;
        if (l == u"execute") return 15;
        if (l == u"replace") return 16;
        return DISPID_UNKNOWN;
    }
    void Call(DISPID id, uint16_t flags, ArgList& args, Value* result) override {
        bool put = IsPut(flags);
        auto flag = [&](bool* f) {
            if (put) {
                *f = ToBool(args.back().Get());
                compiled_ = false;
            } else {
                VariantFromBool(result->Receive(), *f);
            }
        };
        switch (id) {
            case 10:
                if (put) {
                    pattern_ = ToStr(args.back().Get());
                    compiled_ = false;
                } else {
                    VariantFromString(result->Receive(), pattern_);
                }
                return;
            case 11:
                return flag(&ignoreCase_);
            case 12:
                return flag(&global_);
            case 13:
                return flag(&multiLine_);
            case 14: {
                if (args.size() != 1) Throw(450);
                std::wstring s = Wide(ToStr(args[0].Get()));
                VariantFromBool(result->Receive(), std::regex_search(s, Regex()));
                return;
            }
            case 15:
                if (args.size() != 1) Throw(450);
                Execute(ToStr(args[0].Get()), result);
                return;
            case 16: {
                if (args.size() != 2) Throw(450);
                std::wstring s = Wide(ToStr(args[0].Get()));
                // a Boolean replacement is the text of its number
                const VARIANT* w = Target(args[1].Get());
                std::wstring with =
                    w->vt == VT_BOOL ? std::wstring(w->boolVal ? L"-1" : L"0") : Wide(ToStr(w));
                VariantFromString(result->Receive(), Narrow(Replace(s, with)));
                return;
            }
            default:
                Throw(438);
        }
    }
    WString ClassName() const override { return u"IRegExp2"; }

private:
    const std::wregex& Regex() {
        if (!compiled_) {
            auto f = std::regex_constants::ECMAScript;
            if (ignoreCase_) f |= std::regex_constants::icase;
            if (multiLine_) f |= std::regex_constants::multiline;
            try {
                re_ = std::wregex(Wide(pattern_), f);
            } catch (const std::regex_error& e) {
                switch (e.code()) {
                    case std::regex_constants::error_brack:
                        Throw(5019);
                    case std::regex_constants::error_paren:
                        Throw(5020);
                    case std::regex_constants::error_range:
                        Throw(5021);
                    case std::regex_constants::error_badrepeat:
                        Throw(5018);
                    default:
                        Throw(5017);
                }
            }
            compiled_ = true;
        }
        return re_;
    }

    // $1..$99 (a group that does not exist stays as written), $&, $`, $' and $$.
    std::wstring Replace(const std::wstring& s, const std::wstring& with) {
        const std::wregex& re = Regex();
        std::wstring out;
        size_t last = 0;
        auto isDigit = [](wchar_t c) { return c >= L'0' && c <= L'9'; };
        for (auto it = std::wsregex_iterator(s.begin(), s.end(), re); it != std::wsregex_iterator();
             ++it) {
            const std::wsmatch& m = *it;
            size_t pos = size_t(m.position(0)), len = size_t(m.length(0));
            out.append(s, last, pos - last);
            size_t groups = m.size() - 1;
            for (size_t i = 0; i < with.size(); ++i) {
                wchar_t c = with[i];
                wchar_t n = i + 1 < with.size() ? with[i + 1] : 0;
                if (c != L'$' || !n) {
                    out += c;
                } else if (n == L'$') {
                    out += L'$';
                    ++i;
                } else if (n == L'&') {
                    out += m.str(0);
                    ++i;
                } else if (n == L'`') {
                    out.append(s, 0, pos);
                    ++i;
                } else if (n == L'\'') {
                    out.append(s, pos + len);
                    ++i;
                } else if (isDigit(n)) {
                    size_t g = size_t(n - L'0');
                    size_t used = 1;
                    if (i + 2 < with.size() && isDigit(with[i + 2])) {
                        size_t g2 = g * 10 + size_t(with[i + 2] - L'0');
                        if (g2 >= 1 && g2 <= groups) {
                            g = g2;
                            used = 2;
                        }
                    }
                    if (g >= 1 && g <= groups) {
                        if (m[g].matched) out += m.str(g);
                        i += used;
                    } else {
                        out += c;
                    }
                } else {
                    out += c;
                }
            }
            last = pos + len;
            if (!global_) break;
        }
        out.append(s, last);
        return out;
    }

    void Execute(const WString& text, Value* result) {
        std::wstring s = Wide(text);
        const std::wregex& re = Regex();
        std::vector<Value> matches;
        auto begin = std::wsregex_iterator(s.begin(), s.end(), re);
        for (auto it = begin; it != std::wsregex_iterator(); ++it) {
            const std::wsmatch& m = *it;
            auto* mo = new MatchObject();
            mo->value = Narrow(m.str(0));
            mo->index = int32_t(m.position(0));
            for (size_t g = 1; g < m.size(); ++g) {
                Value v;
                if (m[g].matched) VariantFromString(&v, Narrow(m.str(g)));
                mo->subs.push_back(std::move(v));
            }
            Value mv;
            SetObject(&mv, mo);
            matches.push_back(std::move(mv));
            if (!global_) break;
        }
        SetObject(result, new ListObject(std::move(matches), u"IMatchCollection2"));
    }

    WString pattern_;
    bool ignoreCase_ = false, global_ = false, multiLine_ = false;
    bool compiled_ = false;
    std::wregex re_;
};

}  // namespace

IDispatch* NewRegExp() {
    auto* r = new RegExpObject();
    r->AddRef();
    return r;
}

}  // namespace vbs

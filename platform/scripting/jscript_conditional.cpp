// Conditional compilation of "JScript": /*@cc_on ... @*/, //@ lines,
// @if/@elif/@else/@end, @set and the predefined @_ variables. The text is
// rewritten before duktape sees it: markers and skipped sections become
// blanks, so every line keeps its number; @variables become their values.
// The same pass does one thing of the classic engine's compiler: an
// unnamed function written as a statement compiles.
#include <cmath>
#include <cstdio>

#include "platform/scripting/jscript_internal.h"

namespace jscript {

namespace {

bool IsIdentStart(WChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u'$';
}
bool IsIdentPart(WChar c) {
    return IsIdentStart(c) || (c >= u'0' && c <= u'9');
}

struct CcError {
    int number = 0;
    size_t at = 0;
};

class Conditional {
public:
    Conditional(WStringView in, CcState* state) : in_(in), st_(state) {}

    bool Run(WString* out, CcError* err) {
        out_.reserve(in_.size());
        bool ok = Scan();
        if (ok && !stack_.empty()) Fail(1029);  // Expected '@end'
        if (failed_) {
            *err = error_;
            return false;
        }
        *out = std::move(out_);
        return true;
    }

private:
    struct Frame {
        bool parentActive;
        bool taken;   // a branch of this @if ran already
        bool active;  // this branch runs
    };
    struct Value {
        double n = 0;
        bool isBool = false;
        bool truthy() const { return n != 0 && !std::isnan(n); }
    };

    bool Active() const { return stack_.empty() || stack_.back().active; }
    WChar At(size_t i) const { return i < in_.size() ? in_[i] : WChar(0); }
    bool Starts(size_t i, WStringView s) const { return in_.substr(i, s.size()) == s; }
    bool Fail(int number) {
        if (!failed_) {
            failed_ = true;
            error_.number = number;
            error_.at = pos_;
        }
        return false;
    }
    // Copies (or blanks, in a skipped section) one unit.
    void Emit(WChar c) { out_.push_back(Active() || c == u'\n' || c == u'\r' ? c : u' '); }
    void Blank(size_t n) {
        for (size_t k = 0; k < n && pos_ < in_.size(); ++k, ++pos_)
            out_.push_back(in_[pos_] == u'\n' || in_[pos_] == u'\r' ? in_[pos_] : u' ');
    }
    void Copy(size_t n) {
        for (size_t k = 0; k < n && pos_ < in_.size(); ++k) Emit(in_[pos_++]);
    }
    void SkipBlanks() {
        while (pos_ < in_.size() && (in_[pos_] == u' ' || in_[pos_] == u'\t')) Blank(1);
    }
    // Turns conditional compilation on when the text after an opening
    // marker starts with a directive that does so.
    bool OpensDirective(size_t i) const {
        if (st_->on) return true;
        return Starts(i, u"cc_on") || Starts(i, u"if") || Starts(i, u"set");
    }

    bool Scan() {
        bool regexAllowed = true;
        bool statementStart = true;
        bool newLine = false;  // a line break since the last token
        while (pos_ < in_.size() && !failed_) {
            WChar c = in_[pos_];
            if (c == u'/' && At(pos_ + 1) == u'*') {
                if (At(pos_ + 2) == u'@' && OpensDirective(pos_ + 3)) {
                    st_->on = true;
                    Blank(2);  // the @ starts what follows
                    ++ccComments_;
                    continue;
                }
                size_t end = in_.find(u"*/", pos_ + 2);
                Copy(end == WStringView::npos ? in_.size() - pos_ : end + 2 - pos_);
                continue;
            }
            if (c == u'/' && At(pos_ + 1) == u'/') {
                if (At(pos_ + 2) == u'@' && OpensDirective(pos_ + 3)) {
                    st_->on = true;
                    Blank(2);
                    ++lineComments_;
                    continue;
                }
                while (pos_ < in_.size() && in_[pos_] != u'\n') Copy(1);
                continue;
            }
            if (c == u'@' && st_->on) {
                if (ccComments_ > 0 && At(pos_ + 1) == u'*' && At(pos_ + 2) == u'/') {
                    --ccComments_;
                    Blank(3);
                    continue;
                }
                Directive(&regexAllowed);
                continue;
            }
            if (c == u'\n' && lineComments_ > 0) lineComments_ = 0;
            if (c == u'"' || c == u'\'') {
                String(c);
                regexAllowed = false;
                statementStart = false;
                newLine = false;
                continue;
            }
            if (c == u'/' && regexAllowed) {
                Regex();
                regexAllowed = false;
                statementStart = false;
                newLine = false;
                continue;
            }
            if (IsIdentPart(c)) {
                size_t start = pos_, end = pos_;
                while (end < in_.size() && (IsIdentPart(in_[end]) || in_[end] == u'.')) ++end;
                WStringView word = in_.substr(start, end - start);
                if (word == u"function" && Active()) {
                    size_t k = end;
                    while (k < in_.size() && (in_[k] == u' ' || in_[k] == u'\t')) ++k;
                    if ((statementStart || (newLine && !regexAllowed)) && At(k) == u'(') {
                        // `function () {}` as a statement compiles and does
                        // nothing (also on a line of its own after a
                        // statement without a semicolon).
                        out_ += u"void ";
                    }
                }
                Copy(end - start);
                statementStart = false;
                newLine = false;
                regexAllowed = word == u"return" || word == u"typeof" || word == u"in" ||
                               word == u"case" || word == u"delete" || word == u"void" ||
                               word == u"throw" || word == u"new" || word == u"else" ||
                               word == u"do";
                continue;
            }
            if (c != u' ' && c != u'\t' && c != u'\n' && c != u'\r') {
                regexAllowed = !(c == u')' || c == u']' || c == u'}');
                statementStart = c == u';' || c == u'{' || c == u'}';
                newLine = false;
            }
            if (c == u'\n') newLine = true;
            Copy(1);
        }
        return !failed_;
    }

    void String(WChar quote) {
        Copy(1);
        while (pos_ < in_.size()) {
            WChar c = in_[pos_];
            if (c == u'\\') {
                Copy(2);
                continue;
            }
            Copy(1);
            if (c == quote || c == u'\n') return;
        }
    }

    void Regex() {
        Copy(1);
        bool inClass = false;
        while (pos_ < in_.size()) {
            WChar c = in_[pos_];
            if (c == u'\n') return;
            if (c == u'\\') {
                Copy(2);
                continue;
            }
            Copy(1);
            if (c == u'[') inClass = true;
            if (c == u']') inClass = false;
            if (c == u'/' && !inClass) return;
        }
    }

    WString Name() {
        size_t start = pos_;
        while (pos_ < in_.size() && IsIdentPart(in_[pos_])) ++pos_;
        WString name(in_.substr(start, pos_ - start));
        pos_ = start;
        return name;
    }

    void Directive(bool* regexAllowed) {
        size_t at = pos_;
        ++pos_;
        WString word = Name();
        pos_ = at;
        if (word.empty()) {  // the @ of an opening /*@ or //@
            Blank(1);
            return;
        }
        if (word == u"cc_on") {
            Blank(1 + word.size());
            return;
        }
        if (word == u"if" || word == u"elif") {
            Blank(1 + word.size());
            SkipBlanks();
            if (At(pos_) != u'(') {
                Fail(1005);  // Expected '('
                return;
            }
            Value v;
            if (!Parenthesised(&v)) return;
            if (word == u"if") {
                bool parent = Active();
                stack_.push_back({parent, parent && v.truthy(), parent && v.truthy()});
            } else {
                if (stack_.empty()) {
                    Fail(1032);
                    return;
                }
                Frame& f = stack_.back();
                f.active = f.parentActive && !f.taken && v.truthy();
                f.taken = f.taken || f.active;
            }
            return;
        }
        if (word == u"else") {
            if (stack_.empty()) {
                Fail(1032);  // Expected '@'
                return;
            }
            Blank(5);
            Frame& f = stack_.back();
            f.active = f.parentActive && !f.taken;
            f.taken = true;
            return;
        }
        if (word == u"end") {
            if (stack_.empty()) {
                Fail(1032);
                return;
            }
            Blank(4);
            stack_.pop_back();
            return;
        }
        if (word == u"set") {
            Blank(4);
            SkipBlanks();
            if (At(pos_) != u'@') {
                Fail(1032);
                return;
            }
            Blank(1);
            WString name = Name();
            if (name.empty()) {
                Fail(1010);  // Expected identifier
                return;
            }
            Blank(name.size());
            SkipBlanks();
            if (At(pos_) != u'=') {
                Fail(1011);  // Expected '='
                return;
            }
            Blank(1);
            Value v;
            if (!Expression(&v)) return;
            if (Active()) st_->vars[name] = {v.n, v.isBool};
            return;
        }
        // A variable in code: its value.
        Blank(1 + word.size());
        Value v = Lookup(word);
        if (Active()) {
            WString text = Show(v);
            // The value replaces the blanks just written.
            size_t n = std::min(text.size(), word.size() + 1);
            out_.resize(out_.size() - n);
            out_ += text;
        }
        *regexAllowed = false;
    }

    Value Lookup(const WString& name) const {
        auto it = st_->vars.find(name);
        if (it != st_->vars.end()) return Value{it->second.first, it->second.second};
        return Value{NAN, false};
    }

    static WString Show(const Value& v) {
        if (v.isBool) return v.n != 0 ? u"true" : u"false";
        if (std::isnan(v.n)) return u"NaN";
        return text::DoubleToText(v.n, 15);
    }

    // ---- expressions of @if and @set: numbers, true/false, @names,
    // parentheses and the unary and binary operators of the language.
    bool Parenthesised(Value* v) {
        Blank(1);  // (
        if (!Expression(v)) return false;
        SkipBlanks();
        if (At(pos_) != u')') return Fail(1006);  // Expected ')'
        Blank(1);
        return true;
    }

    bool Expression(Value* v) { return Binary(v, 0); }

    static int Precedence(WStringView op) {
        if (op == u"||") return 1;
        if (op == u"&&") return 2;
        if (op == u"|") return 3;
        if (op == u"^") return 4;
        if (op == u"&") return 5;
        if (op == u"==" || op == u"!=" || op == u"===" || op == u"!==") return 6;
        if (op == u"<" || op == u">" || op == u"<=" || op == u">=") return 7;
        if (op == u"<<" || op == u">>" || op == u">>>") return 8;
        if (op == u"+" || op == u"-") return 9;
        if (op == u"*" || op == u"/" || op == u"%") return 10;
        return 0;
    }

    WString PeekOperator() {
        static const char16_t* const kOps[] = {u">>>", u"===", u"!==", u"||", u"&&", u"==", u"!=",
                                               u"<=",  u">=",  u"<<",  u">>", u"|",  u"^",  u"&",
                                               u"<",   u">",   u"+",   u"-",  u"*",  u"/",  u"%"};
        for (auto* op : kOps)
            if (Starts(pos_, op)) {
                // "@*/" closes the comment, it is no operator.
                if (op[0] == u'*' && op[1] == 0 && At(pos_ + 1) == u'/') return WString();
                return op;
            }
        return WString();
    }

    bool Binary(Value* v, int minPrec) {
        if (!Unary(v)) return false;
        for (;;) {
            SkipBlanks();
            WString op = PeekOperator();
            int prec = Precedence(op);
            if (!prec || prec < minPrec) return true;
            Blank(op.size());
            Value r;
            if (!Binary(&r, prec + 1)) return false;
            *v = Apply(op, *v, r);
        }
    }

    static Value Apply(const WString& op, Value a, Value b) {
        auto i32 = [](double d) {
            if (!std::isfinite(d)) return int32_t(0);
            return static_cast<int32_t>(static_cast<uint32_t>(
                static_cast<int64_t>(std::fmod(std::trunc(d), 4294967296.0))));
        };
        Value r;
        auto boolean = [&](bool x) {
            r.n = x;
            r.isBool = true;
            return r;
        };
        if (op == u"||") return a.truthy() ? a : b;
        if (op == u"&&") return a.truthy() ? b : a;
        if (op == u"==" || op == u"===")
            return boolean(a.n == b.n && (op == u"==" || a.isBool == b.isBool));
        if (op == u"!=" || op == u"!==")
            return boolean(!(a.n == b.n && (op == u"!=" || a.isBool == b.isBool)));
        if (op == u"<") return boolean(a.n < b.n);
        if (op == u">") return boolean(a.n > b.n);
        if (op == u"<=") return boolean(a.n <= b.n);
        if (op == u">=") return boolean(a.n >= b.n);
        if (op == u"+") r.n = a.n + b.n;
        if (op == u"-") r.n = a.n - b.n;
        if (op == u"*") r.n = a.n * b.n;
        if (op == u"/") r.n = a.n / b.n;
        if (op == u"%") r.n = std::fmod(a.n, b.n);
        if (op == u"|") r.n = i32(a.n) | i32(b.n);
        if (op == u"&") r.n = i32(a.n) & i32(b.n);
        if (op == u"^") r.n = i32(a.n) ^ i32(b.n);
        if (op == u"<<")
            r.n = static_cast<int32_t>(static_cast<uint32_t>(i32(a.n)) << (i32(b.n) & 31));
        if (op == u">>") r.n = i32(a.n) >> (i32(b.n) & 31);
        if (op == u">>>") r.n = static_cast<uint32_t>(i32(a.n)) >> (i32(b.n) & 31);
        return r;
    }

    bool Unary(Value* v) {
        SkipBlanks();
        WChar c = At(pos_);
        if (c == u'!' || c == u'-' || c == u'~' || c == u'+') {
            Blank(1);
            if (!Unary(v)) return false;
            if (c == u'!') *v = Value{v->truthy() ? 0.0 : 1.0, true};
            if (c == u'-') *v = Value{-v->n, false};
            if (c == u'+') v->isBool = false;
            if (c == u'~') *v = Apply(u"^", *v, Value{-1, false});
            return true;
        }
        if (c == u'(') return Parenthesised(v);
        if (c == u'@') {
            Blank(1);
            WString name = Name();
            if (name.empty()) return Fail(1010);
            Blank(name.size());
            *v = Lookup(name);
            return true;
        }
        if ((c >= u'0' && c <= u'9') || c == u'.') {
            std::string digits;
            while (pos_ < in_.size() && (IsIdentPart(in_[pos_]) || in_[pos_] == u'.')) {
                digits.push_back(static_cast<char>(in_[pos_]));
                Blank(1);
            }
            const char* end = nullptr;
            double d = text::ParseDoubleA(digits.c_str(), &end);
            if (!end || *end) return Fail(1031);  // Expected constant
            *v = Value{d, false};
            return true;
        }
        if (IsIdentStart(c)) {
            WString word = Name();
            if (word == u"true" || word == u"false") {
                Blank(word.size());
                *v = Value{word == u"true" ? 1.0 : 0.0, true};
                return true;
            }
        }
        return Fail(1031);
    }

    WStringView in_;
    CcState* st_;
    WString out_;
    size_t pos_ = 0;
    int ccComments_ = 0;
    int lineComments_ = 0;
    std::vector<Frame> stack_;
    bool failed_ = false;
    CcError error_;
};

}  // namespace

CcState::CcState() {
    // As on the handheld: a 32-bit platform of its own, none of the
    // processors the classic engine names.
    vars[u"_jscript"] = {1, true};
    vars[u"_jscript_version"] = {5.5, false};
    vars[u"_jscript_build"] = {0, false};
    vars[u"_win32"] = {1, true};
    for (auto* off : {u"_win16", u"_mac", u"_alpha", u"_x86", u"_mc680x0", u"_PowerPC"})
        vars[off] = {0, true};
}

bool PreprocessConditional(WStringView code, CcState* state, WString* out, int* errorNumber,
                           uint32_t* errorLine) {
    if (code.find(u'@') == WStringView::npos && code.find(u"function") == WStringView::npos) {
        out->assign(code);
        return true;
    }
    Conditional c(code, state);
    CcError e;
    if (c.Run(out, &e)) return true;
    *errorNumber = e.number;
    *errorLine = 0;
    for (size_t i = 0; i < e.at && i < code.size(); ++i)
        if (code[i] == u'\n') ++*errorLine;
    return false;
}

}  // namespace jscript

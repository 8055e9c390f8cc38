// VBScript lexer: case-insensitive names, comments, line continuation,
// statement separators, string, number and date literals.
#include <cmath>
#include <unordered_map>

#include "platform/scripting/vbscript/vbs_ast.h"
#include "platform/scripting/vbscript/vbs_dates.h"
#include "platform/scripting/vbscript/vbs_locale.h"

namespace vbs {

WString Fold(WStringView s) {
    WString r(s);
    for (auto& c : r) {
        if (c >= 'A' && c <= 'Z')
            c = c + 32;
        else if (c >= 0x80)
            c = text::ToLowerChar(c);
    }
    return r;
}

namespace {

const std::unordered_map<WString, Kw>& Keywords() {
    static const std::unordered_map<WString, Kw> map = {
        {u"and", Kw::And},
        {u"as", Kw::As},
        {u"byref", Kw::ByRef},
        {u"byval", Kw::ByVal},
        {u"call", Kw::Call},
        {u"case", Kw::Case},
        {u"class", Kw::Class},
        {u"const", Kw::Const},
        {u"dim", Kw::Dim},
        {u"do", Kw::Do},
        {u"each", Kw::Each},
        {u"else", Kw::Else},
        {u"elseif", Kw::ElseIf},
        {u"empty", Kw::Empty},
        {u"end", Kw::End},
        {u"eqv", Kw::Eqv},
        {u"erase", Kw::Erase},
        {u"exit", Kw::Exit},
        {u"false", Kw::False},
        {u"for", Kw::For},
        {u"function", Kw::Function},
        {u"if", Kw::If},
        {u"imp", Kw::Imp},
        {u"in", Kw::In},
        {u"is", Kw::Is},
        {u"loop", Kw::Loop},
        {u"me", Kw::Me},
        {u"mod", Kw::Mod},
        {u"new", Kw::New},
        {u"next", Kw::Next},
        {u"not", Kw::Not},
        {u"nothing", Kw::Nothing},
        {u"null", Kw::Null},
        {u"on", Kw::On},
        {u"option", Kw::Option},
        {u"or", Kw::Or},
        {u"preserve", Kw::Preserve},
        {u"private", Kw::Private},
        {u"public", Kw::Public},
        {u"redim", Kw::ReDim},
        {u"select", Kw::Select},
        {u"set", Kw::Set},
        {u"sub", Kw::Sub},
        {u"then", Kw::Then},
        {u"to", Kw::To},
        {u"true", Kw::True},
        {u"until", Kw::Until},
        {u"wend", Kw::Wend},
        {u"while", Kw::While},
        {u"with", Kw::With},
        {u"xor", Kw::Xor},
    };
    return map;
}

bool IsIdStart(WChar c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           (c >= 0xC0 && c != 0xD7 && c != 0xF7);
}
bool IsIdChar(WChar c) {
    return IsIdStart(c) || (c >= '0' && c <= '9') || c == '_';
}
bool IsBlank(WChar c) {
    return c == ' ' || c == '\t' || c == 0xA0 || c == '\f' || c == '\v';
}

class Lexer {
public:
    Lexer(WStringView s, int firstLine) : s_(s), line_(firstLine) {}

    std::vector<Token> Run() {
        std::vector<Token> out;
        bool space = false;
        bool continued = false;
        while (p_ < s_.size()) {
            WChar c = s_[p_];
            if (IsBlank(c)) {
                ++p_;
                space = true;
                continue;
            }
            if (c == '\r' || c == '\n') {
                Push(out, Tok::Eol, u"\n");
                NewLine();
                space = false;
                continue;
            }
            if (c == '\'') {
                SkipComment();
                continue;
            }
            if (c == '_' && IsContinuation()) {
                continued = true;
                ++p_;
                while (p_ < s_.size() && IsBlank(s_[p_])) ++p_;
                if (p_ < s_.size() && s_[p_] == '\'') {
                    // a comment after a continuation ends the line anyway
                    SkipComment();
                    continue;
                }
                if (p_ < s_.size()) NewLine();
                space = true;
                continue;
            }
            Token t;
            t.line = line_;
            t.col = int(p_ - lineStart_);
            // "obj _" + ".Member" on the next line is a member access
            t.spaceBefore = space && !(continued && c == '.');
            space = false;
            continued = false;
            if (c == ':') {
                ++p_;
                t.kind = Tok::Eol;
                t.text = u":";
            } else if (c == '"') {
                LexString(t);
            } else if (c == '[') {
                size_t q = p_ + 1;
                while (q < s_.size() && s_[q] != ']' && s_[q] != '\n' && s_[q] != '\r') ++q;
                if (q >= s_.size() || s_[q] != ']') Fail(1032, t);
                t.kind = Tok::Ident;
                t.bracketed = true;
                t.text = WString(s_.substr(p_ + 1, q - p_ - 1));
                p_ = q + 1;
            } else if (IsIdStart(c)) {
                size_t q = p_;
                while (q < s_.size() && IsIdChar(s_[q])) ++q;
                t.kind = Tok::Ident;
                t.text = WString(s_.substr(p_, q - p_));
                if (q - p_ > 255) Fail(1030, t);
                p_ = q;
                WString low = Fold(t.text);
                if (low == u"rem") {
                    // Rem starts a comment where a statement may start
                    bool atStmt = out.empty() || out.back().kind == Tok::Eol;
                    if (atStmt) {
                        p_ -= 3;
                        SkipComment();
                        continue;
                    }
                }
                auto it = Keywords().find(low);
                if (it != Keywords().end()) t.kw = it->second;
            } else if ((c >= '0' && c <= '9') ||
                       (c == '.' && p_ + 1 < s_.size() && s_[p_ + 1] >= '0' && s_[p_ + 1] <= '9')) {
                // no member name starts with a digit: "Foo.5" is Foo .5
                LexNumber(t);
            } else if (c == '&' && p_ + 1 < s_.size() &&
                       (!EndsOperand(out) || AfterStatementName(out)) &&
                       (s_[p_ + 1] == 'h' || s_[p_ + 1] == 'H' || s_[p_ + 1] == 'o' ||
                        s_[p_ + 1] == 'O' || (s_[p_ + 1] >= '0' && s_[p_ + 1] <= '9'))) {
                LexRadix(t);
            } else if (c == '#' && LexDate(t)) {
                // date literal
            } else {
                t.kind = Tok::Op;
                WChar n = p_ + 1 < s_.size() ? s_[p_ + 1] : 0;
                if ((c == '<' && (n == '>' || n == '=')) || (c == '>' && n == '=')) {
                    t.text = WString(s_.substr(p_, 2));
                    p_ += 2;
                } else if (c == '>' && n == '<') {
                    t.text = u"<>";
                    p_ += 2;
                } else if (c == '=' && (n == '<' || n == '>')) {
                    t.text = n == '<' ? u"<=" : u">=";
                    p_ += 2;
                } else if (WStringView(u"+-*/\\^&=<>(),.").find(c) != WStringView::npos) {
                    t.text = WString(1, c);
                    ++p_;
                } else {
                    Fail(1032, t);
                }
            }
            out.push_back(std::move(t));
        }
        Push(out, Tok::Eol, u"\n");
        Token e;
        e.kind = Tok::End;
        e.line = line_;
        e.col = int(p_ - lineStart_);
        out.push_back(e);
        return out;
    }

private:
    [[noreturn]] void Fail(int n, const Token& t) { throw SyntaxError{n, t.line, t.col}; }

    // Whether the last token ends an operand, so that "&" is concatenation
    // ("x"&Hex(1)) rather than the start of &H or &O literal.
    static bool EndsOperand(const std::vector<Token>& out) {
        if (out.empty()) return false;
        const Token& b = out.back();
        switch (b.kind) {
            case Tok::Int:
            case Tok::Float:
            case Tok::Str:
            case Tok::Date:
                return true;
            case Tok::Op:
                return b.text == u")";
            case Tok::Ident:
                if (b.bracketed) return true;
                switch (b.kw) {
                    case Kw::None:
                    case Kw::True:
                    case Kw::False:
                    case Kw::Empty:
                    case Kw::Null:
                    case Kw::Nothing:
                    case Kw::Me:
                        return true;
                    default:
                        return false;
                }
            default:
                return false;
        }
    }

    // Whether the tokens so far end in the name of a call statement without
    // parentheses ("Foo", "obj.Method", ".Member" at the start of a
    // statement): what follows is its first argument, so "Foo &HFF" passes a
    // hex literal, where "x = a &h1" joins a and h1.
    static bool AfterStatementName(const std::vector<Token>& out) {
        size_t i = out.size();
        auto isName = [](const Token& t, bool member) {
            return t.kind == Tok::Ident && (member || t.bracketed || t.kw == Kw::None);
        };
        auto isDot = [](const Token& t) { return t.kind == Tok::Op && t.text == u"."; };
        if (i == 0 || out[i - 1].kind != Tok::Ident) return false;
        for (;;) {
            bool member = i >= 2 && isDot(out[i - 2]);
            if (!isName(out[i - 1], member) &&
                !(out[i - 1].kind == Tok::Ident && out[i - 1].kw == Kw::Me))
                return false;
            --i;
            if (!member) break;
            --i;                                                    // the dot
            if (i == 0 || !(out[i - 1].kind == Tok::Ident)) break;  // ".Member" of With
        }
        if (i == 0) return true;
        const Token& p = out[i - 1];
        if (p.kind == Tok::Op && p.text == u")") return AfterHeader(out, i - 1);
        return p.kind == Tok::Eol ||
               (p.kind == Tok::Ident && !p.bracketed && (p.kw == Kw::Then || p.kw == Kw::Else));
    }
    // Whether out[close] is the ")" of a Sub, Function or Property header.
    static bool AfterHeader(const std::vector<Token>& out, size_t close) {
        int depth = 0;
        for (size_t j = close + 1; j-- > 0;) {
            const Token& t = out[j];
            if (t.kind == Tok::Eol) return false;
            if (t.kind != Tok::Op) continue;
            if (t.text == u")") ++depth;
            if (t.text == u"(" && --depth == 0) {
                if (j < 2 || out[j - 1].kind != Tok::Ident) return false;
                const Token& k = out[j - 2];
                return k.kind == Tok::Ident && !k.bracketed &&
                       (k.kw == Kw::Sub || k.kw == Kw::Function ||
                        text::EqualsNoCase(k.text, u"get") || text::EqualsNoCase(k.text, u"let") ||
                        k.kw == Kw::Set);
            }
        }
        return false;
    }

    void Push(std::vector<Token>& out, Tok k, const WChar* text) {
        Token t;
        t.kind = k;
        t.text = text;
        t.line = line_;
        t.col = int(p_ - lineStart_);
        out.push_back(std::move(t));
    }

    void NewLine() {
        if (s_[p_] == '\r' && p_ + 1 < s_.size() && s_[p_ + 1] == '\n') ++p_;
        ++p_;
        ++line_;
        lineStart_ = p_;
    }

    void SkipComment() {
        while (p_ < s_.size() && s_[p_] != '\n' && s_[p_] != '\r') ++p_;
    }

    bool IsContinuation() {
        // "_" preceded by a blank (or at line start) and followed by blanks and a line break
        if (p_ > 0 && !IsBlank(s_[p_ - 1]) && s_[p_ - 1] != '\n' && s_[p_ - 1] != '\r') {
            if (p_ > 0 && IsIdChar(s_[p_ - 1])) return false;
        }
        size_t q = p_ + 1;
        while (q < s_.size() && IsBlank(s_[q])) ++q;
        return q >= s_.size() || s_[q] == '\n' || s_[q] == '\r';
    }

    void LexString(Token& t) {
        t.kind = Tok::Str;
        size_t q = p_ + 1;
        for (;;) {
            if (q >= s_.size() || s_[q] == '\n' || s_[q] == '\r') Fail(1033, t);
            if (s_[q] == '"') {
                if (q + 1 < s_.size() && s_[q + 1] == '"') {
                    t.text += u'"';
                    q += 2;
                    continue;
                }
                break;
            }
            t.text += s_[q++];
        }
        p_ = q + 1;
    }

    void LexNumber(Token& t) {
        size_t q = p_;
        bool isFloat = false;
        while (q < s_.size() && s_[q] >= '0' && s_[q] <= '9') ++q;
        if (q < s_.size() && s_[q] == '.') {
            isFloat = true;
            ++q;
            while (q < s_.size() && s_[q] >= '0' && s_[q] <= '9') ++q;
        }
        if (q < s_.size() && (s_[q] == 'e' || s_[q] == 'E')) {
            size_t r = q + 1;
            if (r < s_.size() && (s_[r] == '+' || s_[r] == '-')) ++r;
            if (r < s_.size() && s_[r] >= '0' && s_[r] <= '9') {
                isFloat = true;
                q = r;
                while (q < s_.size() && s_[q] >= '0' && s_[q] <= '9') ++q;
            }
        }
        WStringView num = s_.substr(p_, q - p_);
        double d = text::ParseDouble(num);
        if (!std::isfinite(d)) Fail(1031, t);  // beyond the range of a Double
        if (q < s_.size() && IsIdStart(s_[q])) Fail(1031, t);
        p_ = q;
        if (!isFloat && d <= 2147483647.0) {
            t.kind = Tok::Int;
            t.ival = int32_t(d);
            t.ivt = d <= 32767 ? 2 : 3;
        } else {
            t.kind = Tok::Float;
            t.dval = d;
        }
    }

    void LexRadix(Token& t) {
        size_t q = p_ + 1;
        int base = 8;
        if (s_[q] == 'h' || s_[q] == 'H') {
            base = 16;
            ++q;
        } else if (s_[q] == 'o' || s_[q] == 'O') {
            ++q;
        }
        // the digits of the base; a decimal digit beyond them starts the next
        // token ("&19" is &1 and 9, "&O8" is &O and 8: no end of statement)
        uint64_t v = 0;
        size_t first = q;
        for (; q < s_.size(); ++q) {
            int d = text::HexDigit(s_[q]);
            if (d < 0 || d >= base) break;
            v = v * base + d;
            if (v > 0xFFFFFFFFull) Fail(1031, t);  // overflow
        }
        if (q == first && !(q < s_.size() && s_[q] >= '0' && s_[q] <= '9')) Fail(1031, t);
        bool forceLong = q < s_.size() && s_[q] == '&';
        if (forceLong) ++q;
        p_ = q;
        t.kind = Tok::Int;
        // Sixteen bits are an Integer (&HFFFF is -1, &H8000 is -32768), more
        // a Long (&HFFFFFFFF is -1); a trailing & makes a Long of the bits
        // as they stand (&HFFFF& is 65535)
        if (!forceLong && v <= 0xFFFF) {
            t.ival = int16_t(uint16_t(v));
            t.ivt = 2;
        } else {
            t.ival = int32_t(uint32_t(v));
            t.ivt = 3;
        }
    }

    bool LexDate(Token& t) {
        size_t q = p_ + 1;
        while (q < s_.size() && s_[q] != '#' && s_[q] != '\n' && s_[q] != '\r') ++q;
        if (q >= s_.size() || s_[q] != '#') Fail(1032, t);
        double d;
        // a date literal is read the same in every locale: #3/15/2026#
        LocaleScope us(res::FindLocaleFormats(0x0409));
        if (!ParseDateText(s_.substr(p_ + 1, q - p_ - 1), &d)) Fail(1032, t);
        t.kind = Tok::Date;
        t.dval = d;
        p_ = q + 1;
        return true;
    }

    WStringView s_;
    size_t p_ = 0;
    int line_ = 0;
    size_t lineStart_ = 0;
};

}  // namespace

std::vector<Token> Lex(WStringView src, int firstLine) {
    return Lexer(src, firstLine).Run();
}

}  // namespace vbs

// VBScript parser: tokens to the syntax tree, with local names of each
// procedure resolved to frame slots.
#include <unordered_map>
#include <unordered_set>

#include "platform/scripting/vbscript/vbs_ast.h"

namespace vbs {

namespace {

// Nesting limit of expressions and blocks: deep enough for any real script,
// shallow enough that the recursive descent cannot exhaust the stack.
constexpr int kMaxDepth = 200;

struct ProcCtx {
    Proc* proc = nullptr;
    std::unordered_map<WString, int> locals;
    std::unordered_set<WString> declared;  // parameters, Dim and Const names
    std::vector<IdentExpr*> idents;
    int AddLocal(const WString& lname) {
        auto it = locals.find(lname);
        if (it != locals.end()) return it->second;
        int s = proc->nslots++;
        proc->slotNames.push_back(lname);
        locals.emplace(lname, s);
        return s;
    }
};

class Parser {
public:
    explicit Parser(std::vector<Token> toks) : t_(std::move(toks)) {}

    std::unique_ptr<Program> ParseProgram() {
        prog_ = std::make_unique<Program>();
        SkipEols();
        while (Cur().kind != Tok::End) {
            ParseTopItem(prog_->body);
            SkipEols();
        }
        return std::move(prog_);
    }

    ExprP ParseWholeExpression() {
        SkipEols();
        ExprP e = ParseExpr();
        SkipEols();
        if (Cur().kind != Tok::End) Fail(1025);
        return e;
    }

private:
    // ---- token helpers ----
    const Token& Cur() const { return t_[i_]; }
    const Token& Peek(int k = 1) const {
        size_t j = i_ + k;
        return j < t_.size() ? t_[j] : t_.back();
    }
    void Next() {
        if (i_ + 1 < t_.size()) ++i_;
    }
    bool IsKw(Kw k) const { return Cur().kind == Tok::Ident && !Cur().bracketed && Cur().kw == k; }
    bool PeekKw(int k, Kw w) const {
        const Token& t = Peek(k);
        return t.kind == Tok::Ident && !t.bracketed && t.kw == w;
    }
    bool IsWord(const char16_t* w) const {
        return Cur().kind == Tok::Ident && !Cur().bracketed && text::EqualsNoCase(Cur().text, w);
    }
    bool IsOp(const char16_t* o) const { return Cur().kind == Tok::Op && Cur().text == o; }
    bool AcceptKw(Kw k) {
        if (!IsKw(k)) return false;
        Next();
        return true;
    }
    bool AcceptOp(const char16_t* o) {
        if (!IsOp(o)) return false;
        Next();
        return true;
    }
    void ExpectKw(Kw k, int err) {
        if (!AcceptKw(k)) Fail(err);
    }
    void ExpectOp(const char16_t* o, int err) {
        if (!AcceptOp(o)) Fail(err);
    }
    [[noreturn]] void Fail(int n) { throw SyntaxError{n, Cur().line, Cur().col}; }
    // A Dim or Const name: once per procedure, and once at the top level of
    // one script text (class fields are the class's own).
    void Declare(const WString& lname) {
        std::unordered_set<WString>* names = ctx_   ? &ctx_->declared
                                             : cls_ ? nullptr
                                                    : &globalDeclared_;
        if (names && !names->insert(lname).second) Fail(1041);
    }
    bool AtEos() const { return Cur().kind == Tok::Eol || Cur().kind == Tok::End; }
    void SkipEols() {
        while (Cur().kind == Tok::Eol) Next();
    }
    void EndStatement() {
        if (Cur().kind == Tok::Eol) {
            Next();
            return;
        }
        if (Cur().kind == Tok::End || AtBlockEnd()) return;
        Fail(1025);
    }
    // "End If", "End Sub", ... also end the statement before them on its line:
    // "Else x = 3 End If", "x = 1 End Sub".
    bool AtBlockEnd() const {
        if (!IsKw(Kw::End)) return false;
        const Token& n = Peek();
        if (n.kind != Tok::Ident || n.bracketed) return false;
        switch (n.kw) {
            case Kw::If:
            case Kw::Sub:
            case Kw::Function:
            case Kw::Class:
            case Kw::With:
            case Kw::Select:
                return true;
            default:
                return text::EqualsNoCase(n.text, u"property");
        }
    }
    bool IsName() const {
        return Cur().kind == Tok::Ident && (Cur().bracketed || Cur().kw == Kw::None);
    }
    WString TakeName() {
        if (!IsName()) Fail(1010);
        WString n = Cur().text;
        Next();
        return n;
    }
    // Any word after '.', keywords included (obj.Select, obj.End).
    WString TakeMemberName() {
        if (Cur().kind != Tok::Ident) Fail(1010);
        WString n = Cur().text;
        Next();
        return n;
    }
    template <class T>
    std::unique_ptr<T> At(std::unique_ptr<T> n, const Token& t) {
        n->line = t.line;
        n->col = t.col;
        return n;
    }

    struct DepthGuard {
        Parser* p;
        explicit DepthGuard(Parser* pp) : p(pp) {
            if (++p->depth_ > kMaxDepth) p->Fail(28);
        }
        ~DepthGuard() { --p->depth_; }
    };

    std::unique_ptr<IdentExpr> MakeIdent(const WString& name, const Token& at) {
        auto id = std::make_unique<IdentExpr>();
        id->line = at.line;
        id->col = at.col;
        id->name = name;
        id->lname = Fold(name);
        if (ctx_)
            ctx_->idents.push_back(id.get());
        else
            id->scope = Scope::Dynamic;
        return id;
    }

    // ---- top level ----

    void ParseTopItem(Block& body) {
        const Token& t = Cur();
        bool isPublic = true, isDefault = false, hadMod = false;
        size_t save = i_;
        if (IsKw(Kw::Public) || IsKw(Kw::Private)) {
            isPublic = IsKw(Kw::Public);
            hadMod = true;
            Next();
            if (IsWord(u"default")) {
                isDefault = true;
                Next();
            }
        }
        if (IsKw(Kw::Sub) || IsKw(Kw::Function) || IsWord(u"property")) {
            if (IsWord(u"property") && !cls_) Fail(1048);
            auto p = ParseProc(isPublic, isDefault, nullptr);
            prog_->procs.push_back(std::move(p));
            return;
        }
        if (IsKw(Kw::Class)) {
            if (hadMod) Fail(1024);
            ParseClass();
            return;
        }
        if (isDefault) Fail(1056);
        if (hadMod) {
            if (IsKw(Kw::Const)) {
                body.push_back(ParseConst());
                EndStatement();
                return;
            }
            // Public/Private variables at global level are Dim
            i_ = save;
            Next();
            body.push_back(ParseDimList(t, SK::Dim));
            EndStatement();
            return;
        }
        ParseStatementLine(body);
    }

    std::unique_ptr<Proc> ParseProc(bool isPublic, bool isDefault, ClassDecl* cls) {
        auto p = std::make_unique<Proc>();
        p->line = Cur().line;
        p->isPublic = isPublic;
        p->isDefault = isDefault;
        p->cls = cls;
        Kw endKw;
        if (AcceptKw(Kw::Sub)) {
            p->kind = ProcKind::Sub;
            endKw = Kw::Sub;
        } else if (AcceptKw(Kw::Function)) {
            p->kind = ProcKind::Function;
            endKw = Kw::Function;
        } else {
            Next();  // Property
            if (IsWord(u"get"))
                p->kind = ProcKind::PropGet;
            else if (IsWord(u"let"))
                p->kind = ProcKind::PropLet;
            else if (IsKw(Kw::Set))
                p->kind = ProcKind::PropSet;
            else
                Fail(1049);
            Next();
            endKw = Kw::None;
        }
        if (isDefault && !isPublic) Fail(1057);
        if (isDefault && (p->kind == ProcKind::PropLet || p->kind == ProcKind::PropSet)) Fail(1058);
        p->name = TakeName();
        p->lname = Fold(p->name);
        ProcCtx ctx;
        ctx.proc = p.get();
        ProcCtx* outer = ctx_;
        ctx_ = &ctx;
        if (AcceptOp(u"(")) {
            if (!AcceptOp(u")")) {
                for (;;) {
                    Param prm;
                    if (AcceptKw(Kw::ByVal))
                        prm.byRef = false;
                    else
                        AcceptKw(Kw::ByRef);
                    prm.name = TakeName();
                    prm.lname = Fold(prm.name);
                    if (AcceptOp(u"(")) {
                        ExpectOp(u")", 1006);
                        prm.isArray = true;
                    }
                    if (ctx.locals.count(prm.lname)) Fail(1041);
                    ctx.AddLocal(prm.lname);
                    ctx.declared.insert(prm.lname);
                    p->params.push_back(prm);
                    if (AcceptOp(u",")) continue;
                    ExpectOp(u")", 1006);
                    break;
                }
            }
        }
        if ((p->kind == ProcKind::PropLet || p->kind == ProcKind::PropSet) && p->params.empty())
            Fail(1054);
        if (cls && (p->lname == u"class_initialize" || p->lname == u"class_terminate") &&
            !p->params.empty())
            Fail(1053);
        if (p->kind == ProcKind::Function || p->kind == ProcKind::PropGet) {
            p->resultSlot = ctx.AddLocal(p->lname);
        }
        // "Sub f() x = 1": the first statement of the body may share the header's line
        if (AtEos()) EndStatement();
        int outerFor = forLoops_, outerDo = doLoops_;
        forLoops_ = doLoops_ = 0;
        ParseBlockUntil(
            p->body,
            [&] {
                if (!IsKw(Kw::End)) return false;
                if (endKw == Kw::None)
                    return Peek().kind == Tok::Ident &&
                           text::EqualsNoCase(Peek().text, u"property");
                return PeekKw(1, endKw);
            },
            endKw == Kw::Sub        ? 1016
            : endKw == Kw::Function ? 1015
                                    : 1050);
        forLoops_ = outerFor;
        doLoops_ = outerDo;
        Next();
        Next();
        EndStatement();
        // resolve the names of the body
        for (IdentExpr* id : ctx.idents) {
            auto it = ctx.locals.find(id->lname);
            if (id->scope == Scope::Dynamic && id->slot == -2) {
                // a call of the function's own name: recursion, stays dynamic
                id->slot = -1;
            } else if (it != ctx.locals.end()) {
                id->scope = Scope::Local;
                id->slot = it->second;
            } else {
                id->scope = Scope::Dynamic;
            }
        }
        ctx_ = outer;
        return p;
    }

    void ParseClass() {
        Next();
        auto c = std::make_unique<ClassDecl>();
        c->line = Cur().line;
        c->name = TakeName();
        c->lname = Fold(c->name);
        if (AtEos()) EndStatement();
        cls_ = c.get();
        bool hasDefault = false;
        for (;;) {
            SkipEols();
            if (Cur().kind == Tok::End) Fail(1014);
            if (IsKw(Kw::End)) {
                Next();
                ExpectKw(Kw::Class, 1047);
                EndStatement();
                break;
            }
            bool isPublic = true, isDefault = false, hadMod = false;
            if (IsKw(Kw::Public) || IsKw(Kw::Private)) {
                isPublic = IsKw(Kw::Public);
                hadMod = true;
                Next();
                if (IsWord(u"default")) {
                    isDefault = true;
                    Next();
                }
            } else if (IsKw(Kw::Dim)) {
                hadMod = true;
                Next();
            }
            if (IsKw(Kw::Sub) || IsKw(Kw::Function) || IsWord(u"property")) {
                auto p = ParseProc(isPublic, isDefault, c.get());
                if (p->isDefault) {
                    if (hasDefault) Fail(1052);
                    hasDefault = true;
                }
                c->procs.push_back(std::move(p));
                continue;
            }
            if (isDefault) Fail(1056);
            if (!hadMod) Fail(1024);
            if (IsKw(Kw::Const)) Fail(1024);
            for (;;) {
                ClassField f;
                f.isPublic = isPublic;
                f.name = TakeName();
                f.lname = Fold(f.name);
                if (AcceptOp(u"(")) {
                    f.isArray = true;
                    if (!AcceptOp(u")")) {
                        for (;;) {
                            if (Cur().kind != Tok::Int) Fail(1026);
                            f.bounds.push_back(Cur().ival);
                            Next();
                            if (AcceptOp(u",")) continue;
                            ExpectOp(u")", 1006);
                            break;
                        }
                    }
                }
                c->fields.push_back(f);
                if (!AcceptOp(u",")) break;
            }
            EndStatement();
        }
        cls_ = nullptr;
        prog_->classes.push_back(std::move(c));
    }

    // ---- statements ----

    template <class Stop>
    void ParseBlockUntil(Block& body, Stop stop, int missingErr) {
        DepthGuard g(this);
        for (;;) {
            SkipEols();
            if (Cur().kind == Tok::End) Fail(missingErr);
            if (stop()) return;
            ParseStatementLine(body);
        }
    }

    // One statement and its terminator.
    void ParseStatementLine(Block& body) {
        StmtP s = ParseStatement(false);
        if (s) body.push_back(std::move(s));
        if (definedInBlock_) {
            definedInBlock_ = false;
            return;
        }
        EndStatement();
    }

    StmtP ParseStatement(bool inlineIf) {
        DepthGuard g(this);
        const Token& t = Cur();
        if (t.kind != Tok::Ident && !(t.kind == Tok::Op && (t.text == u"." || t.text == u"(")))
            Fail(1024);
        if (t.kind == Tok::Op) return ParseCallOrAssign(false);
        if (t.bracketed) return ParseCallOrAssign(false);
        switch (t.kw) {
            case Kw::Dim: {
                Next();
                return ParseDimList(t, SK::Dim);
            }
            case Kw::ReDim: {
                Next();
                bool pres = AcceptKw(Kw::Preserve);
                auto d = ParseDimList(t, SK::ReDim);
                static_cast<DimStmt*>(d.get())->preserve = pres;
                return d;
            }
            case Kw::Public:
            case Kw::Private: {
                if (ctx_ || inlineIf) Fail(1024);
                bool isPublic = t.kw == Kw::Public;
                Next();
                if (IsKw(Kw::Const)) return ParseConst();
                if (IsKw(Kw::Sub) || IsKw(Kw::Function)) return ParseNestedProc(isPublic);
                return ParseDimList(t, SK::Dim);
            }
            case Kw::Const:
                return ParseConst();
            case Kw::Erase: {
                Next();
                auto e = At(std::make_unique<EraseStmt>(), t);
                for (;;) {
                    Token at = Cur();
                    e->targets.push_back(MakeIdent(TakeName(), at));
                    if (!AcceptOp(u",")) break;
                }
                return e;
            }
            case Kw::Set: {
                Next();
                auto s = At(std::make_unique<AssignStmt>(SK::Set), t);
                s->lhs = ParseChain(true);
                ExpectOp(u"=", 1011);
                s->rhs = ParseExpr();
                return s;
            }
            case Kw::Nothing:
                return ParseCallOrAssign(false);
            case Kw::Call: {
                Next();
                auto s = At(std::make_unique<CallStmt>(), t);
                s->call = ParseChain(true);
                return s;
            }
            case Kw::If:
                return ParseIf(inlineIf);
            case Kw::Select:
                return ParseSelect();
            case Kw::For:
                return ParseFor();
            case Kw::Do:
                return ParseDo();
            case Kw::While: {
                Next();
                auto w = At(std::make_unique<WhileStmt>(), t);
                w->cond = ParseExpr();
                EndStatement();
                ++loops_;
                ParseBlockUntil(
                    w->body, [&] { return IsKw(Kw::Wend); }, 1018);
                --loops_;
                Next();
                return w;
            }
            case Kw::Exit: {
                Next();
                auto e = At(std::make_unique<ExitStmt>(), t);
                if (AcceptKw(Kw::Do))
                    e->what = ExitKind::Do;
                else if (AcceptKw(Kw::For))
                    e->what = ExitKind::For;
                else if (AcceptKw(Kw::Sub))
                    e->what = ExitKind::Sub;
                else if (AcceptKw(Kw::Function))
                    e->what = ExitKind::Function;
                else if (IsWord(u"property")) {
                    Next();
                    e->what = ExitKind::Property;
                } else
                    Fail(1039);
                CheckExit(e->what);
                return e;
            }
            case Kw::On: {
                Next();
                if (!IsWord(u"error")) Fail(1002);
                Next();
                auto s = At(std::make_unique<OnErrorStmt>(), t);
                if (IsWord(u"resume")) {
                    Next();
                    if (!IsKw(Kw::Next)) Fail(1002);
                    Next();
                    s->resumeNext = true;
                } else if (IsWord(u"goto")) {
                    Next();
                    if (Cur().kind != Tok::Int || Cur().ival != 0) Fail(1002);
                    Next();
                } else {
                    Fail(1002);
                }
                return s;
            }
            case Kw::With: {
                Next();
                auto w = At(std::make_unique<WithStmt>(), t);
                w->obj = ParseExpr();
                EndStatement();
                ParseBlockUntil(
                    w->body, [&] { return IsKw(Kw::End) && PeekKw(1, Kw::With); }, 1029);
                Next();
                Next();
                return w;
            }
            case Kw::Option: {
                Next();
                if (!IsWord(u"explicit")) Fail(1002);
                Next();
                if (ctx_) Fail(1024);
                prog_->optionExplicit = true;
                return nullptr;
            }
            case Kw::Sub:
            case Kw::Function:
                if (ctx_ || cls_ || inlineIf) Fail(1024);
                return ParseNestedProc(true);
            case Kw::Class:
                if (ctx_ || cls_ || inlineIf) Fail(1024);
                ParseClass();
                definedInBlock_ = true;
                return nullptr;
            case Kw::Me:
                return ParseCallOrAssign(false);
            case Kw::None:
                break;
            default:
                Fail(1024);
        }
        if (IsWord(u"let") && Peek().kind == Tok::Ident && Peek(2).kind == Tok::Op) {
            Next();
            return ParseCallOrAssign(false);
        }
        if (IsWord(u"property") && (Peek().kind == Tok::Ident)) Fail(1024);
        if (IsWord(u"stop")) {
            // debugger break: nothing to do here
            Next();
            return nullptr;
        }
        return ParseCallOrAssign(false);
    }

    // A Sub or Function written inside a block of the top level: defined,
    // like every procedure, before the script runs.
    StmtP ParseNestedProc(bool isPublic) {
        prog_->procs.push_back(ParseProc(isPublic, false, nullptr));
        definedInBlock_ = true;  // its End line was ended already
        return nullptr;
    }

    void CheckExit(ExitKind k) {
        switch (k) {
            case ExitKind::Do:
                if (!doLoops_) Fail(1039);
                break;
            case ExitKind::For:
                if (!forLoops_) Fail(1039);
                break;
            case ExitKind::Sub:
                if (!ctx_ || ctx_->proc->kind != ProcKind::Sub) Fail(1039);
                break;
            case ExitKind::Function:
                if (!ctx_ || ctx_->proc->kind != ProcKind::Function) Fail(1039);
                break;
            case ExitKind::Property:
                if (!ctx_ || ctx_->proc->kind == ProcKind::Sub ||
                    ctx_->proc->kind == ProcKind::Function)
                    Fail(1039);
                break;
        }
    }

    StmtP ParseDimList(const Token& t, SK kind) {
        auto d = At(std::make_unique<DimStmt>(kind), t);
        for (;;) {
            DimVar v;
            Token at = Cur();
            v.name = TakeName();
            v.lname = Fold(v.name);
            if (AcceptOp(u"(")) {
                v.isArray = true;
                if (!AcceptOp(u")")) {
                    for (;;) {
                        v.bounds.push_back(ParseExpr());
                        if (AcceptOp(u",")) continue;
                        ExpectOp(u")", 1006);
                        break;
                    }
                }
            } else if (kind == SK::ReDim) {
                Fail(1005);
            }
            if (kind == SK::Dim) Declare(v.lname);
            if (kind == SK::Dim && ctx_) ctx_->AddLocal(v.lname);
            auto id = MakeIdent(v.name, at);
            v.ref = id.get();
            d->refs.push_back(std::move(id));
            d->vars.push_back(std::move(v));
            if (!AcceptOp(u",")) break;
        }
        return d;
    }

    StmtP ParseConst() {
        auto c = At(std::make_unique<ConstStmt>(), Cur());
        Next();
        for (;;) {
            Token at = Cur();
            WString name = TakeName();
            Declare(Fold(name));
            int slot = ctx_ ? ctx_->AddLocal(Fold(name)) : -1;
            auto id = MakeIdent(name, at);
            ExpectOp(u"=", 1011);
            c->items.emplace_back(std::move(id), ParseExpr());
            // a literal constant has its value from the start of the procedure
            if (ctx_ && c->items.back().second->kind == EK::Const)
                ctx_->proc->consts.emplace_back(
                    slot, static_cast<const ConstExpr*>(c->items.back().second.get()));
            if (!AcceptOp(u",")) break;
        }
        return c;
    }

    StmtP ParseIf(bool inlineIf) {
        const Token& t = Cur();
        Next();
        auto s = At(std::make_unique<IfStmt>(), t);
        ExprP cond = ParseExpr();
        ExpectKw(Kw::Then, 1017);
        if (Cur().kind == Tok::Eol && Cur().text == u"\n") {
            if (inlineIf) Fail(1024);
            // block form
            Next();
            Block b;
            auto stop = [&] {
                return IsKw(Kw::ElseIf) || IsKw(Kw::Else) || (IsKw(Kw::End) && PeekKw(1, Kw::If));
            };
            ParseBlockUntil(b, stop, 1014);
            s->arms.emplace_back(std::move(cond), std::move(b));
            for (;;) {
                if (AcceptKw(Kw::ElseIf)) {
                    ExprP c = ParseExpr();
                    ExpectKw(Kw::Then, 1017);
                    if (!AtEos()) {
                        // ElseIf x Then stmt on the same line
                        Block eb;
                        ParseInlineStatements(eb);
                        if (!AtEos()) Fail(1025);
                        s->arms.emplace_back(std::move(c), std::move(eb));
                        Block more;
                        ParseBlockUntil(more, stop, 1014);
                        for (auto& st : more) s->arms.back().second.push_back(std::move(st));
                        continue;
                    }
                    EndStatement();
                    Block eb;
                    ParseBlockUntil(eb, stop, 1014);
                    s->arms.emplace_back(std::move(c), std::move(eb));
                    continue;
                }
                if (AcceptKw(Kw::Else)) {
                    s->hasElse = true;
                    if (Cur().kind == Tok::Eol) EndStatement();
                    ParseBlockUntil(
                        s->elseBlock, [&] { return IsKw(Kw::End) && PeekKw(1, Kw::If); }, 1014);
                }
                break;
            }
            Next();
            Next();
            return s;
        }
        // single-line form: If c Then a : b [ElseIf c2 Then e] Else c : d [End If]
        Block b;
        AcceptColons();
        ParseInlineStatements(b);
        s->arms.emplace_back(std::move(cond), std::move(b));
        while (AcceptKw(Kw::ElseIf)) {
            ExprP c = ParseExpr();
            ExpectKw(Kw::Then, 1017);
            Block eb;
            AcceptColons();
            ParseInlineStatements(eb);
            s->arms.emplace_back(std::move(c), std::move(eb));
        }
        if (AcceptKw(Kw::Else)) {
            s->hasElse = true;
            AcceptColons();
            ParseInlineStatements(s->elseBlock);
        }
        if (IsKw(Kw::End) && PeekKw(1, Kw::If)) {
            Next();
            Next();
        }
        return s;
    }

    void AcceptColons() {
        while (Cur().kind == Tok::Eol && Cur().text == u":") Next();
    }

    // Statements of a single-line If, up to Else or the end of the line.
    void ParseInlineStatements(Block& b) {
        for (;;) {
            if (IsKw(Kw::Else) || IsKw(Kw::ElseIf) ||
                (Cur().kind == Tok::Eol && Cur().text == u"\n") || Cur().kind == Tok::End)
                return;
            // "If c Then a : End Sub": the End of the enclosing block ends the If too
            if (AtBlockEnd()) return;
            StmtP s = ParseStatement(true);
            if (s) b.push_back(std::move(s));
            if (Cur().kind == Tok::Eol && Cur().text == u":") {
                AcceptColons();
                continue;
            }
            return;
        }
    }

    StmtP ParseSelect() {
        const Token& t = Cur();
        Next();
        ExpectKw(Kw::Case, 1021);
        auto s = At(std::make_unique<SelectStmt>(), t);
        s->subject = ParseExpr();
        EndStatement();
        SkipEols();
        bool sawElse = false;
        auto stop = [&] { return IsKw(Kw::Case) || (IsKw(Kw::End) && PeekKw(1, Kw::Select)); };
        while (!(IsKw(Kw::End) && PeekKw(1, Kw::Select))) {
            if (Cur().kind == Tok::End) Fail(1022);
            ExpectKw(Kw::Case, 1021);
            if (sawElse) Fail(1022);
            CaseArm arm;
            if (AcceptKw(Kw::Else)) {
                sawElse = true;
            } else {
                for (;;) {
                    CaseArm::Test test;
                    if (AcceptKw(Kw::Is)) {
                        test.kind = 2;
                        const Token& o = Cur();
                        if (o.kind != Tok::Op) Fail(1002);
                        if (o.text == u"=")
                            test.op = Op::Eq;
                        else if (o.text == u"<>")
                            test.op = Op::Ne;
                        else if (o.text == u"<")
                            test.op = Op::Lt;
                        else if (o.text == u">")
                            test.op = Op::Gt;
                        else if (o.text == u"<=")
                            test.op = Op::Le;
                        else if (o.text == u">=")
                            test.op = Op::Ge;
                        else
                            Fail(1002);
                        Next();
                        test.a = ParseExpr();
                    } else {
                        test.a = ParseExpr();
                        if (AcceptKw(Kw::To)) {
                            test.kind = 1;
                            test.b = ParseExpr();
                        }
                    }
                    arm.tests.push_back(std::move(test));
                    if (!AcceptOp(u",")) break;
                }
            }
            if (Cur().kind == Tok::Eol) Next();
            ParseBlockUntil(arm.body, stop, 1022);
            s->arms.push_back(std::move(arm));
        }
        Next();
        Next();
        return s;
    }

    StmtP ParseFor() {
        const Token& t = Cur();
        Next();
        if (AcceptKw(Kw::Each)) {
            auto s = At(std::make_unique<ForEachStmt>(), t);
            Token at = Cur();
            s->var = MakeIdent(TakeName(), at);
            ExpectKw(Kw::In, 1046);
            s->coll = ParseExpr();
            EndStatement();
            ++forLoops_;
            ParseBlockUntil(
                s->body, [&] { return IsKw(Kw::Next); }, 1020);
            --forLoops_;
            Next();
            if (IsName()) Next();
            return s;
        }
        auto s = At(std::make_unique<ForStmt>(), t);
        Token at = Cur();
        if (!IsName()) Fail(Cur().kind == Tok::Ident ? 1040 : 1010);
        s->var = MakeIdent(TakeName(), at);
        ExpectOp(u"=", 1011);
        s->from = ParseExpr();
        ExpectKw(Kw::To, 1013);
        s->to = ParseExpr();
        if (IsWord(u"step")) {
            Next();
            s->step = ParseExpr();
        }
        EndStatement();
        ++forLoops_;
        ParseBlockUntil(
            s->body, [&] { return IsKw(Kw::Next); }, 1020);
        --forLoops_;
        Next();
        if (IsName()) Next();
        return s;
    }

    StmtP ParseDo() {
        const Token& t = Cur();
        Next();
        auto s = At(std::make_unique<DoStmt>(), t);
        if (IsKw(Kw::While) || IsKw(Kw::Until)) {
            s->until = IsKw(Kw::Until);
            Next();
            s->cond = ParseExpr();
        }
        EndStatement();
        ++doLoops_;
        ParseBlockUntil(
            s->body, [&] { return IsKw(Kw::Loop); }, 1019);
        --doLoops_;
        Next();
        if (IsKw(Kw::While) || IsKw(Kw::Until)) {
            if (s->cond) Fail(1025);
            s->until = IsKw(Kw::Until);
            Next();
            s->cond = ParseExpr();
            s->testFirst = false;
        }
        return s;
    }

    // A statement starting with a name: an assignment or a call.
    StmtP ParseCallOrAssign(bool) {
        const Token& t = Cur();
        size_t start = i_;
        // Mid(v, s[, n]) = x
        if (IsWord(u"mid") && Peek().kind == Tok::Op && Peek().text == u"(") {
            size_t save = i_;
            Next();
            Next();
            int depth = 1;
            size_t j = i_;
            while (j < t_.size() && depth > 0 && t_[j].kind != Tok::Eol && t_[j].kind != Tok::End) {
                if (t_[j].kind == Tok::Op && t_[j].text == u"(") ++depth;
                if (t_[j].kind == Tok::Op && t_[j].text == u")") --depth;
                ++j;
            }
            if (depth == 0 && j < t_.size() && t_[j].kind == Tok::Op && t_[j].text == u"=") {
                auto m = At(std::make_unique<MidAssignStmt>(), t);
                m->var = ParseChain(true);
                ExpectOp(u",", 1002);
                m->start = ParseExpr();
                if (AcceptOp(u",")) m->len = ParseExpr();
                ExpectOp(u")", 1006);
                ExpectOp(u"=", 1011);
                m->rhs = ParseExpr();
                return m;
            }
            i_ = save;
        }
        (void)start;
        size_t lastParen = 0;
        int lastParenArgs = -1;
        ExprP chain = ParseChainEx(&lastParen, &lastParenArgs);
        if (AcceptOp(u"=")) {
            auto s = At(std::make_unique<AssignStmt>(SK::Assign), t);
            s->lhs = std::move(chain);
            s->rhs = ParseExpr();
            return s;
        }
        auto s = At(std::make_unique<CallStmt>(), t);
        if (AtEos() || IsKw(Kw::Else)) {
            if (chain->kind == EK::Call && lastParenArgs >= 0) {
                auto* c = static_cast<CallExpr*>(chain.get());
                // "foo(x)" as a statement passes (x) by value; "foo(a, b)" is an error
                if (c->args.size() > 1) Fail(1044);
                if (c->args.size() == 1 && c->args[0]) {
                    auto pe = std::make_unique<ParenExpr>();
                    pe->line = c->args[0]->line;
                    pe->col = c->args[0]->col;
                    pe->e = std::move(c->args[0]);
                    c->args[0] = std::move(pe);
                }
            }
            s->call = std::move(chain);
            return s;
        }
        // arguments without parentheses: "foo a, b"; a chain ending in "(x)"
        // followed by more is re-read from that parenthesis: "foo (a) + 1, b"
        ExprP callee;
        if (chain->kind == EK::Call && lastParenArgs >= 0) {
            auto* c = static_cast<CallExpr*>(chain.get());
            callee = std::move(c->target);
            i_ = lastParen;
            // the names read in those parentheses are read again; their first
            // nodes go with the discarded call
            if (ctx_) ctx_->idents.resize(lastParenIdents_);
        } else {
            callee = std::move(chain);
        }
        auto call = std::make_unique<CallExpr>();
        call->line = t.line;
        call->col = t.col;
        call->target = std::move(callee);
        ParseArgList(call->args, false);
        s->call = std::move(call);
        return s;
    }

    // Comma-separated arguments, omitted ones allowed. In parens: up to ')'.
    void ParseArgList(std::vector<ExprP>& args, bool inParens) {
        auto atEnd = [&] { return inParens ? IsOp(u")") : (AtEos() || IsKw(Kw::Else)); };
        if (atEnd()) return;
        for (;;) {
            if (IsOp(u",")) {
                args.push_back(nullptr);
            } else {
                args.push_back(ParseExpr());
                if (!IsOp(u",")) break;
            }
            Next();
            if (atEnd()) {
                args.push_back(nullptr);
                break;
            }
        }
    }

    ExprP ParseChain(bool) {
        size_t lp;
        int la;
        return ParseChainEx(&lp, &la);
    }

    // name, .name, Me, then any number of .member and (args).
    ExprP ParseChainEx(size_t* lastParen, int* lastParenArgs) {
        const Token& t = Cur();
        ExprP e;
        *lastParenArgs = -1;
        if (IsOp(u".")) {
            Next();
            auto w = At(std::make_unique<WithDotExpr>(), t);
            w->name = TakeMemberName();
            w->lname = Fold(w->name);
            e = std::move(w);
        } else if (AcceptKw(Kw::Me)) {
            e = At(std::make_unique<Expr>(EK::Me), t);
        } else if (AcceptKw(Kw::Nothing)) {
            e = At(std::make_unique<Expr>(EK::Nothing), t);
        } else if (IsOp(u"(")) {
            // (f)(x), Call (New C).M(), Call ((f)) (x)
            Next();
            auto p = At(std::make_unique<ParenExpr>(), t);
            p->e = ParseExpr();
            ExpectOp(u")", 1006);
            e = std::move(p);
        } else {
            e = MakeIdent(TakeName(), t);
        }
        return ParsePostfix(std::move(e), lastParen, lastParenArgs);
    }

    ExprP ParsePostfix(ExprP e, size_t* lastParen, int* lastParenArgs) {
        for (;;) {
            if (IsOp(u".") && !Cur().spaceBefore) {
                const Token& t = Cur();
                Next();
                auto m = At(std::make_unique<MemberExpr>(), t);
                m->obj = std::move(e);
                m->name = TakeMemberName();
                m->lname = Fold(m->name);
                e = std::move(m);
                if (lastParenArgs) *lastParenArgs = -1;
                continue;
            }
            if (IsOp(u"(")) {
                const Token& t = Cur();
                if (lastParen) {
                    *lastParen = i_;
                    lastParenIdents_ = ctx_ ? ctx_->idents.size() : 0;
                }
                Next();
                auto c = At(std::make_unique<CallExpr>(), t);
                ParseArgList(c->args, true);
                ExpectOp(u")", 1006);
                if (lastParenArgs) *lastParenArgs = int(c->args.size());
                if (e->kind == EK::Ident && ctx_ && ctx_->proc->resultSlot >= 0) {
                    auto* id = static_cast<IdentExpr*>(e.get());
                    if (id->lname == ctx_->proc->lname) {
                        id->scope = Scope::Dynamic;
                        id->slot = -2;
                    }
                }
                c->target = std::move(e);
                e = std::move(c);
                continue;
            }
            return e;
        }
    }

    // ---- expressions ----

    ExprP ParseExpr() {
        DepthGuard g(this);
        return ParseImp();
    }

    ExprP Bin(Op op, ExprP l, ExprP r, const Token& t) {
        auto b = At(std::make_unique<BinaryExpr>(), t);
        b->op = op;
        b->l = std::move(l);
        b->r = std::move(r);
        return b;
    }

    // Left-associative binary operators by level, loosest first: Imp, Eqv,
    // Xor, Or, And (then Not and the comparisons), and after them & + - Mod
    // \ * / (then the unary minus and ^).
    bool MatchBinary(int level, Op* op) {
        switch (level) {
            case 0:
                *op = Op::Imp;
                return IsKw(Kw::Imp);
            case 1:
                *op = Op::Eqv;
                return IsKw(Kw::Eqv);
            case 2:
                *op = Op::Xor;
                return IsKw(Kw::Xor);
            case 3:
                *op = Op::Or;
                return IsKw(Kw::Or);
            case 4:
                *op = Op::And;
                return IsKw(Kw::And);
            case 5:
                *op = Op::Concat;
                return IsOp(u"&");
            case 6:
                *op = IsOp(u"+") ? Op::Add : Op::Sub;
                return IsOp(u"+") || IsOp(u"-");
            case 7:
                *op = Op::Mod;
                return IsKw(Kw::Mod);
            case 8:
                *op = Op::IDiv;
                return IsOp(u"\\");
            default:
                *op = IsOp(u"*") ? Op::Mul : Op::Div;
                return IsOp(u"*") || IsOp(u"/");
        }
    }
    ExprP ParseOperand(int level) {
        if (level == 5) return ParseNot();
        if (level == 10) return ParsePow();
        return ParseBinary(level);
    }
    ExprP ParseBinary(int level) {
        ExprP l = ParseOperand(level + 1);
        Op op;
        while (MatchBinary(level, &op)) {
            Token t = Cur();
            Next();
            l = Bin(op, std::move(l), ParseOperand(level + 1), t);
        }
        return l;
    }
    ExprP ParseImp() { return ParseBinary(0); }
    ExprP ParseNot() {
        if (IsKw(Kw::Not)) {
            DepthGuard g(this);
            Token t = Cur();
            Next();
            auto u = At(std::make_unique<UnaryExpr>(), t);
            u->op = Op::Not;
            u->e = ParseNot();
            return u;
        }
        return ParseCompare();
    }
    ExprP ParseCompare() {
        ExprP l = ParseConcat();
        for (;;) {
            Token t = Cur();
            Op op;
            if (IsKw(Kw::Is))
                op = Op::Is;
            else if (t.kind != Tok::Op)
                return l;
            else if (t.text == u"=")
                op = Op::Eq;
            else if (t.text == u"<>")
                op = Op::Ne;
            else if (t.text == u"<")
                op = Op::Lt;
            else if (t.text == u">")
                op = Op::Gt;
            else if (t.text == u"<=")
                op = Op::Le;
            else if (t.text == u">=")
                op = Op::Ge;
            else
                return l;
            Next();
            // "a <> Not b": Not takes the rest of the comparison, "1 > Not 5 > 3"
            // is 1 > Not (5 > 3)
            l = Bin(op, std::move(l), IsKw(Kw::Not) ? ParseNot() : ParseConcat(), t);
        }
    }
    ExprP ParseConcat() { return ParseBinary(5); }
    // The signs bind tighter than ^: -3^2 is 9, 2^-1 is 0.5; ^ goes left to right.
    ExprP ParsePow() {
        ExprP l = ParseSigned();
        while (IsOp(u"^")) {
            Token t = Cur();
            Next();
            l = Bin(Op::Pow, std::move(l), ParseSigned(), t);
        }
        return l;
    }
    ExprP ParseSigned() {
        if (IsOp(u"-") || IsOp(u"+")) {
            DepthGuard g(this);
            Token t = Cur();
            Next();
            auto u = At(std::make_unique<UnaryExpr>(), t);
            u->op = t.text == u"-" ? Op::Neg : Op::Plus;
            u->e = ParseSigned();
            // fold negated literals (the type stays: -32768 is a Long, as 32768 is)
            if (u->op == Op::Neg && u->e->kind == EK::Const) {
                auto* c = static_cast<ConstExpr*>(u->e.get());
                if (c->ck == CK::Int2 && c->i == -32768) {
                    c->ck = CK::Int4;  // -&H8000 is the Long 32768
                } else if (c->ck == CK::Int4 && c->i == INT32_MIN) {
                    c->ck = CK::Double;
                    c->d = 2147483648.0;
                    c->negated = true;
                    return std::move(u->e);
                }
                if (c->ck == CK::Int2 || c->ck == CK::Int4) {
                    c->i = -c->i;
                    c->negated = true;
                    return std::move(u->e);
                }
                if (c->ck == CK::Double) {
                    c->d = -c->d;
                    c->negated = true;
                    return std::move(u->e);
                }
            }
            return u;
        }
        return ParsePrimary();
    }

    ExprP ParsePrimary() {
        DepthGuard g(this);
        const Token& t = Cur();
        switch (t.kind) {
            case Tok::Int:
            case Tok::Float:
            case Tok::Str:
            case Tok::Date: {
                auto c = At(std::make_unique<ConstExpr>(), t);
                c->ck = t.kind == Tok::Str     ? CK::String
                        : t.kind == Tok::Date  ? CK::Date
                        : t.kind == Tok::Float ? CK::Double
                        : t.ivt == 2           ? CK::Int2
                                               : CK::Int4;
                c->i = t.ival;
                c->d = t.dval;
                c->s = t.text;
                Next();
                return c;
            }
            case Tok::Op:
                if (t.text == u"(") {
                    Next();
                    auto p = At(std::make_unique<ParenExpr>(), t);
                    p->e = ParseExpr();
                    ExpectOp(u")", 1006);
                    return ParsePostfix(std::move(p), nullptr, nullptr);
                }
                if (t.text == u".") {
                    Next();
                    auto w = At(std::make_unique<WithDotExpr>(), t);
                    w->name = TakeMemberName();
                    w->lname = Fold(w->name);
                    return ParsePostfix(std::move(w), nullptr, nullptr);
                }
                Fail(1023);
            case Tok::Ident:
                break;
            default:
                Fail(1023);
        }
        if (t.bracketed) {
            ExprP id = MakeIdent(t.text, t);
            Next();
            return ParsePostfix(std::move(id), nullptr, nullptr);
        }
        switch (t.kw) {
            case Kw::True:
            case Kw::False: {
                auto c = At(std::make_unique<ConstExpr>(), t);
                c->ck = CK::Bool;
                c->i = t.kw == Kw::True ? -1 : 0;
                Next();
                return c;
            }
            case Kw::Empty:
            case Kw::Null: {
                auto c = At(std::make_unique<ConstExpr>(), t);
                c->ck = t.kw == Kw::Empty ? CK::Empty : CK::Null;
                Next();
                return c;
            }
            case Kw::Nothing:
                Next();
                // Nothing(0) compiles; using it fails when it runs
                return ParsePostfix(At(std::make_unique<Expr>(EK::Nothing), t), nullptr, nullptr);
            case Kw::Me: {
                Next();
                return ParsePostfix(At(std::make_unique<Expr>(EK::Me), t), nullptr, nullptr);
            }
            case Kw::New: {
                Next();
                auto n = At(std::make_unique<NewExpr>(), t);
                n->name = TakeName();
                n->lname = Fold(n->name);
                return n;
            }
            case Kw::None: {
                ExprP id = MakeIdent(t.text, t);
                Next();
                return ParsePostfix(std::move(id), nullptr, nullptr);
            }
            default:
                Fail(1023);
        }
    }

    std::vector<Token> t_;
    size_t i_ = 0;
    int depth_ = 0;
    std::unique_ptr<Program> prog_;
    ProcCtx* ctx_ = nullptr;
    ClassDecl* cls_ = nullptr;
    std::unordered_set<WString> globalDeclared_;  // Dim and Const names of the text's top level
    int loops_ = 0, forLoops_ = 0, doLoops_ = 0;
    bool definedInBlock_ = false;  // the statement just read was a Sub, Function or Class
    size_t lastParenIdents_ = 0;   // ctx_->idents.size() at the last call parenthesis
};

}  // namespace

std::unique_ptr<Program> Parse(WStringView src, int firstLine) {
    Parser p(Lex(src, firstLine));
    auto prog = p.ParseProgram();
    // keep the lines for error reports
    size_t start = 0;
    for (size_t i = 0; i <= src.size(); ++i) {
        if (i == src.size() || src[i] == '\n' || src[i] == '\r') {
            prog->lines.emplace_back(src.substr(start, i - start));
            if (i < src.size() && src[i] == '\r' && i + 1 < src.size() && src[i + 1] == '\n') ++i;
            start = i + 1;
        }
    }
    return prog;
}

ExprP ParseExpression(WStringView src, int firstLine) {
    Parser p(Lex(src, firstLine));
    return p.ParseWholeExpression();
}

}  // namespace vbs

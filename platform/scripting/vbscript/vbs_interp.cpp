#include "platform/scripting/vbscript/vbs_interp.h"

#include <cmath>
#include <cstring>
#include <ctime>

#include "platform/com/typeinfo.h"
#include "platform/scripting/script_engine.h"
#include "platform/scripting/vbscript/vbs_locale.h"
#include "platform/scripting/vbscript/vbs_objects.h"

namespace vbs {

// Deepest nesting of script procedure calls before "Out of stack space".
constexpr int kMaxCallDepth = 400;

struct Frame {
    const Proc* proc = nullptr;
    ClassInstance* me = nullptr;
    std::vector<Value> slots;
    std::unique_ptr<std::unordered_map<WString, Value>> implicit;
    Frame* parent = nullptr;  // Execute/Eval code sees the names of this frame
    std::vector<Value> with;
    bool resumeNext = false;
    bool explicitVars = false;
    const Program* prog = nullptr;
};

namespace {

struct FrameScope {
    Interp* in;
    Frame* saved;
    Frame** cur;
    FrameScope(Frame** c, Frame* f) : saved(*c), cur(c) { *c = f; }
    ~FrameScope() { *cur = saved; }
};

// One more level of script code on the native stack: procedure calls, and Eval/Execute
// texts, which can run themselves again. Past the limit: "Out of stack space".
class DepthGuard {
public:
    explicit DepthGuard(int* depth) : depth_(depth) {
        if (*depth_ >= kMaxCallDepth) Throw(28);
        ++*depth_;
    }
    ~DepthGuard() { --*depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

private:
    int* depth_;
};

bool IsMemberTarget(const Expr* e) {
    if (e->kind == EK::Call) e = static_cast<const CallExpr*>(e)->target.get();
    return e->kind == EK::Member || e->kind == EK::WithDot;
}

// The value of an object put without Set to anything but a class's Property
// Let: its default value (438 when it has none).
void PutValue(uint16_t flags, ArgList& args) {
    if (!(flags & DISPATCH_PROPERTYPUT) || args.empty()) return;
    Arg& last = args.back();
    if (!IsObjectVt(Target(last.Get())->vt)) return;
    Value v;
    ValueOf(last.Get(), &v);
    last.ref = nullptr;
    last.val = std::move(v);
}

// Arithmetic of Integers, Longs and Doubles without the general conversions;
// false where the general path decides (other types, zero divisors, overflow).
bool FastArith(Op op, const VARIANT* l, const VARIANT* r, Value* out) {
    auto isInt = [](const VARIANT* v) { return v->vt == VT_I2 || v->vt == VT_I4; };
    auto intOf = [](const VARIANT* v) -> int64_t { return v->vt == VT_I2 ? v->iVal : v->lVal; };
    if (isInt(l) && isInt(r)) {
        if (op != Op::IDiv && op != Op::Mod) return false;
        int64_t x = intOf(l), y = intOf(r);
        if (y == 0) return false;
        int64_t z = op == Op::IDiv ? x / y : x % y;
        if (l->vt == VT_I2 && r->vt == VT_I2 && z >= -32768 && z <= 32767)
            VariantFromShort(out->Receive(), int16_t(z));
        else if (z >= INT32_MIN && z <= INT32_MAX)
            VariantFromLong(out->Receive(), int32_t(z));
        else
            return false;
        return true;
    }
    if ((l->vt != VT_R8 && !isInt(l)) || (r->vt != VT_R8 && !isInt(r))) return false;
    double x = l->vt == VT_R8 ? l->dblVal : double(intOf(l));
    double y = r->vt == VT_R8 ? r->dblVal : double(intOf(r));
    double z;
    switch (op) {
        case Op::Add:
            z = x + y;
            break;
        case Op::Sub:
            z = x - y;
            break;
        case Op::Mul:
            z = x * y;
            break;
        case Op::Div:
            if (y == 0) return false;
            z = x / y;
            break;
        default:
            return false;
    }
    if (!std::isfinite(z)) return false;
    VariantFromDouble(out->Receive(), z);
    return true;
}

// What a comparison operand was written as (a negated number is computed).
Lit LiteralKind(const Expr* e) {
    while (e->kind == EK::Paren) e = static_cast<const ParenExpr*>(e)->e.get();  // ("5") too
    if (e->kind != EK::Const) return Lit::None;
    auto* c = static_cast<const ConstExpr*>(e);
    if (c->negated) return Lit::None;
    switch (c->ck) {
        case CK::String:
            return Lit::Text;
        case CK::Bool:
            return Lit::Bool;
        case CK::Int2:
        case CK::Int4:
        case CK::Double:
        case CK::Date:
            return Lit::Number;
        default:
            return Lit::None;
    }
}

struct LockSet {
    std::vector<SAFEARRAY*> locks;
    ~LockSet() {
        for (SAFEARRAY* sa : locks) SafeArrayUnlock(sa);
    }
};

Value MissingArg() {
    Value v;
    v.vt = VT_ERROR;
    v.scode = DISP_E_PARAMNOTFOUND;
    return v;
}

// Object pointer of a value, or null for Nothing; throws 424 for non-objects.
IDispatch* ObjectOf(const VARIANT* v, ComPtr<IDispatch>* hold) {
    const VARIANT* t = Target(v);
    if (t->vt == VT_DISPATCH) return t->pdispVal;
    if (t->vt == VT_UNKNOWN) {
        if (!t->punkVal) return nullptr;
        if (FAILED(t->punkVal->QueryInterface(IID_IDispatch, hold->ReceiveVoid()))) Throw(424);
        return hold->Get();
    }
    Throw(424);
}

void SetNothing(Value* out) {
    VARIANT* o = out->Receive();
    o->vt = VT_DISPATCH;
    o->pdispVal = nullptr;
}

}  // namespace

// ---- construction ----

Interp::Interp(InterpHost* host) : host_(host), aliveFlag_(std::make_shared<bool>(true)) {
    err_ = new ErrObject();
    err_->AddRef();
    DefineBuiltins();
    if (!SetLocale(res::GetUserDefaultLCID())) SetLocale(0x0409);
}

bool Interp::SetLocale(DWORD lcid) {
    const res::LocaleFormats* f = ExactLocaleFormats(lcid);
    if (!f) return false;
    lcid_ = lcid;
    formats_ = f;
    // the running script goes on in the new locale
    if (cur_) LocaleScope::Switch(f);
    return true;
}

Interp::~Interp() {
    Close();
}

void Interp::Close() {
    if (!alive_) return;
    // globals go first (their Class_Terminate handlers still run), then the rest
    for (auto& b : bindingStore_) {
        if (b->kind == Binding::Var) {
            try {
                VariantClear(&b->value);
            } catch (...) {
            }
        }
    }
    alive_ = false;
    *aliveFlag_ = false;
    for (auto& b : bindingStore_) VariantClear(&b->value);
    items_.clear();
    if (globalDisp_) {
        globalDisp_->Release();
        globalDisp_ = nullptr;
    }
    if (err_) {
        err_->Release();
        err_ = nullptr;
    }
}

void Interp::DefineBuiltins() {
    builtins_ = BuiltinTable();
    for (size_t i = 0; i < builtins_.size(); ++i) {
        Binding* b = NewBinding(Fold(builtins_[i].name), Binding::Builtin);
        b->builtin = int(i);
    }
}

Binding* Interp::NewBinding(const WString& lname, Binding::Kind kind) {
    auto b = std::make_unique<Binding>();
    b->kind = kind;
    Binding* p = b.get();
    bindingStore_.push_back(std::move(b));
    bindings_[lname] = p;
    ++gen_;
    return p;
}

// ---- named items ----

void Interp::AddNamedItem(WStringView name, uint32_t flags) {
    NamedItem it;
    it.name = WString(name);
    it.lname = Fold(name);
    it.flags = flags;
    items_.push_back(std::move(it));
    int index = int(items_.size() - 1);
    auto found = bindings_.find(items_.back().lname);
    // a script variable or procedure of that name keeps priority
    if (!(flags & 0x2)) {
        // not visible: only its global members (if any) are reached
    } else if (found == bindings_.end() || found->second->kind == Binding::Builtin ||
               found->second->kind == Binding::Member || found->second->kind == Binding::Item) {
        Binding* b = NewBinding(items_.back().lname, Binding::Item);
        b->item = index;
    }
    ++gen_;
}

void Interp::ReleaseItems(bool keepNames) {
    for (auto& it : items_) {
        it.obj.Reset();
        it.asked = false;
    }
    if (!keepNames) items_.clear();
    ++gen_;
}

IDispatch* Interp::ItemObject(int index) {
    if (index < 0 || size_t(index) >= items_.size()) return nullptr;  // closed
    NamedItem& it = items_[index];
    if (!it.obj && !it.asked) {
        it.asked = true;
        IDispatch* d = host_ ? host_->ItemObject(it.name) : nullptr;
        if (d) it.obj = ComPtr<IDispatch>::Adopt(d);
    }
    return it.obj.Get();
}

// ---- programs ----

namespace {
// The declarations of a text's top level, in whatever block they stand:
// variables and constants exist before the first statement runs.
struct Decls {
    std::vector<const DimStmt*> dims;
    std::vector<const ConstStmt*> consts;
};
void CollectDims(const Block& b, Decls& out) {
    for (const auto& s : b) {
        switch (s->kind) {
            case SK::Dim:
            case SK::ReDim:
                out.dims.push_back(static_cast<const DimStmt*>(s.get()));
                break;
            case SK::Const:
                out.consts.push_back(static_cast<const ConstStmt*>(s.get()));
                break;
            case SK::If: {
                auto* i = static_cast<const IfStmt*>(s.get());
                for (auto& a : i->arms) CollectDims(a.second, out);
                CollectDims(i->elseBlock, out);
                break;
            }
            case SK::For:
                CollectDims(static_cast<const ForStmt*>(s.get())->body, out);
                break;
            case SK::ForEach:
                CollectDims(static_cast<const ForEachStmt*>(s.get())->body, out);
                break;
            case SK::Do:
                CollectDims(static_cast<const DoStmt*>(s.get())->body, out);
                break;
            case SK::While:
                CollectDims(static_cast<const WhileStmt*>(s.get())->body, out);
                break;
            case SK::With:
                CollectDims(static_cast<const WithStmt*>(s.get())->body, out);
                break;
            case SK::Select:
                for (auto& a : static_cast<const SelectStmt*>(s.get())->arms)
                    CollectDims(a.body, out);
                break;
            default:
                break;
        }
    }
}
}  // namespace

Program* Interp::Compile(WStringView text, int startLine, uintptr_t cookie) {
    std::unique_ptr<Program> p = Parse(text, startLine);
    p->cookie = cookie;
    p->firstLine = startLine;
    Program* raw = p.get();
    programs_.push_back(std::move(p));
    DefineProgram(raw);
    return raw;
}

void Interp::DefineProgram(Program* p) {
    for (auto& proc : p->procs) {
        proc->program = p;
        Binding* b = NewBinding(proc->lname, Binding::ProcB);
        b->proc = proc.get();
    }
    for (auto& cd : p->classes) {
        auto info = std::make_unique<ClassInfo>();
        info->decl = cd.get();
        auto member = [&](const WString& lname, const WString& name) -> ClassInfo::Member& {
            auto it = info->index.find(lname);
            if (it != info->index.end()) return info->members[it->second];
            info->index[lname] = int(info->members.size());
            info->members.emplace_back();
            info->members.back().name = name;
            return info->members.back();
        };
        for (size_t i = 0; i < cd->fields.size(); ++i) {
            auto& m = member(cd->fields[i].lname, cd->fields[i].name);
            m.kind = ClassInfo::Member::Field;
            m.field = int(i);
            m.isPublic = cd->fields[i].isPublic;
        }
        for (auto& pr : cd->procs) {
            pr->program = p;
            if (pr->lname == u"class_initialize") info->init = pr.get();
            if (pr->lname == u"class_terminate") info->term = pr.get();
            auto& m = member(pr->lname, pr->name);
            if (pr->kind == ProcKind::Sub || pr->kind == ProcKind::Function) {
                m.kind = ClassInfo::Member::Method;
                m.method = pr.get();
            } else {
                m.kind = ClassInfo::Member::Prop;
                if (pr->kind == ProcKind::PropGet) m.get = pr.get();
                if (pr->kind == ProcKind::PropLet) m.let = pr.get();
                if (pr->kind == ProcKind::PropSet) m.set = pr.get();
            }
            m.isPublic = pr->isPublic;
            if (pr->isDefault) info->defaultMember = info->index[pr->lname];
        }
        Binding* b = NewBinding(cd->lname, Binding::ClassB);
        b->cls = info.get();
        classes_.push_back(std::move(info));
    }
    // global variables exist from the start of the text
    Decls decls;
    CollectDims(p->body, decls);
    for (const ConstStmt* c : decls.consts) {
        for (const auto& [id, e] : c->items) {
            if (e->kind != EK::Const) continue;  // computed: defined when it runs
            auto it = bindings_.find(id->lname);
            if (it != bindings_.end() && it->second->kind != Binding::Const &&
                it->second->kind != Binding::Builtin && it->second->kind != Binding::Item &&
                it->second->kind != Binding::Member)
                continue;
            Frame none;
            Value v;
            Eval(e.get(), none, &v);
            DefineConst(id->lname, v);
        }
    }
    for (const DimStmt* d : decls.dims) {
        for (const auto& v : d->vars) {
            auto it = bindings_.find(v.lname);
            if (it == bindings_.end() || (it->second->kind != Binding::Var)) {
                if (it != bindings_.end() &&
                    (it->second->kind == Binding::ProcB || it->second->kind == Binding::ClassB))
                    continue;
                NewBinding(v.lname, Binding::Var);
            }
        }
    }
}

void Interp::DefineConst(const WString& lname, Value& v) {
    auto it = bindings_.find(lname);
    Binding* b = it != bindings_.end() && it->second->kind == Binding::Const
                     ? it->second
                     : NewBinding(lname, Binding::Const);
    MoveInto(&b->value, v);
}

void Interp::Run(Program* p) {
    LocaleScope locale(cur_ ? nullptr : formats_);
    Frame f;
    f.prog = p;
    f.explicitVars = p->optionExplicit;
    FrameScope scope(&cur_, &f);
    try {
        ExecBlock(p->body, f);
    } catch (VbsError& e) {
        if (!e.prog) e.prog = p;
        throw;
    }
}

void Interp::EvaluateText(WStringView text, int startLine, Value* out) {
    // An expression evaluated record by record is compiled once: the parsed
    // form is kept by its text (a bounded number of texts).
    WString key = text::IntToText(startLine) + u":" + WString(text);
    auto it = expressions_.find(key);
    if (it == expressions_.end()) {
        auto c = std::make_shared<CachedExpression>();
        c->prog = std::make_unique<Program>();
        c->prog->firstLine = startLine;
        c->expr = ParseExpression(text, startLine);
        CountScriptExpressionCompile();
        if (expressions_.size() >= kMaxCachedExpressions) expressions_.clear();
        it = expressions_.emplace(std::move(key), std::move(c)).first;
    }
    // Held while it runs: a member it calls may evaluate other expressions.
    std::shared_ptr<CachedExpression> hold = it->second;
    Program* prog = hold->prog.get();
    const Expr* e = hold->expr.get();
    LocaleScope locale(cur_ ? nullptr : formats_);
    Frame f;
    f.prog = prog;
    FrameScope scope(&cur_, &f);
    Eval(e, f, out);
}

void Interp::Discard(Program* p) {
    if (!p || !p->procs.empty() || !p->classes.empty()) return;
    for (size_t i = programs_.size(); i-- > 0;) {
        if (programs_[i].get() == p) {
            programs_.erase(programs_.begin() + long(i));
            return;
        }
    }
}

const Proc* Interp::FindProc(const WString& lname) const {
    auto it = bindings_.find(lname);
    if (it == bindings_.end() || it->second->kind != Binding::ProcB) return nullptr;
    return it->second->proc;
}

WString Interp::LineText(const Program* p, int line) {
    if (!p) return WString();
    int i = line - p->firstLine;
    if (i < 0 || size_t(i) >= p->lines.size()) return WString();
    return p->lines[i];
}

// ---- errors ----

void Interp::SetErr(const VbsError& e) {
    if (!err_) return;
    err_->number = e.number;
    err_->description = e.description;
    err_->source = e.source;
    err_->helpFile = e.helpFile;
    err_->helpContext = e.helpContext;
}

void Interp::ClearErr() {
    if (!err_) return;
    err_->number = 0;
    err_->description.clear();
    err_->source.clear();
    err_->helpFile.clear();
    err_->helpContext = 0;
}

// ---- name resolution ----

Binding* Interp::ResolveName(const WString& lname) {
    auto it = bindings_.find(lname);
    if (it != bindings_.end()) return it->second;
    Value c;
    if (BuiltinConstant(lname, &c)) {
        Binding* b = NewBinding(lname, Binding::Const);
        b->value = std::move(c);
        return b;
    }
    // global members of named items, in registration order
    for (size_t i = 0; i < items_.size(); ++i) {
        if (!(items_[i].flags & 0x8)) continue;
        IDispatch* d = ItemObject(int(i));
        if (!d) continue;
        DISPID id;
        if (SUCCEEDED(GetDispId(d, lname, &id))) {
            Binding* b = NewBinding(lname, Binding::Member);
            b->item = int(i);
            b->dispid = id;
            return b;
        }
    }
    return nullptr;
}

Binding* Interp::Resolve(const IdentExpr* id) {
    if (id->cacheGen == gen_) return static_cast<Binding*>(id->cache);
    Binding* b = ResolveName(id->lname);
    if (b) {
        id->cache = b;
        id->cacheGen = gen_;
    }
    return b;
}

VARIANT* Interp::NameRef(const WString& lname, Frame& f) {
    // names of the calling procedure for Execute/Eval code
    for (Frame* p = &f; p; p = p->parent) {
        if (p->proc && p != &f) {
            const auto& names = p->proc->slotNames;
            for (size_t i = 0; i < names.size(); ++i)
                if (names[i] == lname) return Target(&p->slots[i]);
        }
        if (p->implicit) {
            auto it = p->implicit->find(lname);
            if (it != p->implicit->end()) return Target(&it->second);
        }
        if (p->me) {
            const ClassInfo* ci = p->me->Info();
            auto it = ci->index.find(lname);
            if (it != ci->index.end() && ci->members[it->second].kind == ClassInfo::Member::Field)
                return Target(&p->me->Fields()[ci->members[it->second].field]);
            if (it != ci->index.end()) return nullptr;
        }
    }
    return nullptr;
}

VARIANT* Interp::VarRef(const IdentExpr* id, Frame& f, bool create, bool declare) {
    if (id->scope == Scope::Local) return Target(&f.slots[id->slot]);
    if (f.me || f.implicit || f.parent) {
        if (VARIANT* v = NameRef(id->lname, f)) return v;
        if (f.me) {
            auto it = f.me->Info()->index.find(id->lname);
            if (it != f.me->Info()->index.end()) return nullptr;  // a method or property
        }
    }
    Binding* b = Resolve(id);
    if (b) {
        if (b->kind == Binding::Var) return Target(&b->value);
        return nullptr;
    }
    if (!create) return nullptr;
    if (f.explicitVars && !declare) Throw(500, id->name);
    Frame* owner = &f;
    while (owner->parent) owner = owner->parent;
    if (owner->proc) {
        if (!owner->implicit)
            owner->implicit = std::make_unique<std::unordered_map<WString, Value>>();
        return &(*owner->implicit)[id->lname];
    }
    Binding* nb = NewBinding(id->lname, Binding::Var);
    return &nb->value;
}

// ---- statements ----

namespace {
// Arrays beyond this many elements fail with "Out of memory" instead of
// exhausting the machine.
constexpr uint64_t kMaxArrayElements = uint64_t(1) << 27;
void CheckArraySize(const std::vector<SAFEARRAYBOUND>& b) {
    uint64_t n = 1;
    for (const auto& d : b) {
        n *= d.cElements;
        if (n > kMaxArrayElements) Throw(7);
    }
}
}  // namespace

Interp::Flow Interp::ExecGuarded(const Stmt* s, Frame& f) {
    if (host_ && host_->Stopped()) {
        VbsError e;
        e.hr = E_ABORT;  // not an error of the script: nothing is reported
        e.number = E_ABORT;
        throw e;
    }
    try {
        return ExecStmt(s, f);
    } catch (const std::bad_alloc&) {
        Throw(7);
    } catch (const std::length_error&) {
        Throw(14);
    }
}

Interp::Flow Interp::ExecBlock(const Block& b, Frame& f) {
    for (const auto& s : b) {
        Flow fl;
        if (f.resumeNext) {
            try {
                fl = ExecGuarded(s.get(), f);
            } catch (VbsError& e) {
                if (e.hr == E_ABORT) throw;
                SetErr(e);
                continue;
            }
        } else {
            try {
                fl = ExecGuarded(s.get(), f);
            } catch (VbsError& e) {
                if (e.line < 0) {
                    e.line = s->line;
                    e.col = s->col;
                    e.prog = f.prog;
                }
                throw;
            }
        }
        if (fl != Flow::Normal) return fl;
    }
    return Flow::Normal;
}

Interp::Flow Interp::ExecStmt(const Stmt* s, Frame& f) {
    switch (s->kind) {
        case SK::Assign: {
            auto* a = static_cast<const AssignStmt*>(s);
            Value v;
            if (IsMemberTarget(a->lhs.get())) {
                // obj.p = x: a class's Property Let receives an object itself;
                // other members take its value (CallMember)
                Eval(a->rhs.get(), f, &v);
                if (v.vt & VT_BYREF) {
                    Value c;
                    Assign(&c, &v);
                    v = std::move(c);
                }
            } else {
                EvalValue(a->rhs.get(), f, &v);
            }
            AssignTo(a->lhs.get(), f, v, false);
            return Flow::Normal;
        }
        case SK::Set: {
            auto* a = static_cast<const AssignStmt*>(s);
            Value v;
            Eval(a->rhs.get(), f, &v);
            if (!IsObjectVt(Target(&v)->vt)) Throw(424);
            AssignTo(a->lhs.get(), f, v, true);
            return Flow::Normal;
        }
        case SK::CallS:
            ExecCallStmt(static_cast<const CallStmt*>(s), f);
            return Flow::Normal;
        case SK::Dim:
            ExecDim(static_cast<const DimStmt*>(s), f);
            return Flow::Normal;
        case SK::ReDim:
            ExecReDim(static_cast<const DimStmt*>(s), f);
            return Flow::Normal;
        case SK::Const: {
            auto* c = static_cast<const ConstStmt*>(s);
            for (const auto& [id, e] : c->items) {
                Value v;
                EvalValue(e.get(), f, &v);
                if (id->scope == Scope::Local)
                    MoveInto(&f.slots[id->slot], v);
                else
                    DefineConst(id->lname, v);
            }
            return Flow::Normal;
        }
        case SK::Erase: {
            auto* e = static_cast<const EraseStmt*>(s);
            for (const auto& t : e->targets) {
                VARIANT* v = VarRef(static_cast<const IdentExpr*>(t.get()), f, false);
                if (!v) Throw(500, static_cast<const IdentExpr*>(t.get())->name);
                if (!(v->vt & VT_ARRAY)) Throw(13);
                SAFEARRAY* sa = v->parray;
                if (!sa) continue;
                if (sa->cLocks) Throw(10);
                if (sa->fFeatures & FADF_FIXEDSIZE) {
                    uint64_t n = SafeArrayCount(sa);
                    VARIANT* data = static_cast<VARIANT*>(sa->pvData);
                    for (uint64_t i = 0; i < n; ++i) VariantClear(&data[i]);
                } else {
                    // a dynamic array loses its dimensions and stays an array
                    VariantClear(v);
                    v->vt = VT_ARRAY | VT_VARIANT;
                    v->parray = nullptr;
                }
            }
            return Flow::Normal;
        }
        case SK::If: {
            auto* i = static_cast<const IfStmt*>(s);
            for (const auto& arm : i->arms) {
                Value tmp;
                const VARIANT* c = EvalBorrow(arm.first.get(), f, &tmp);
                if (Truth(c)) return ExecBlock(arm.second, f);
            }
            if (i->hasElse) return ExecBlock(i->elseBlock, f);
            return Flow::Normal;
        }
        case SK::Select: {
            Flow fl = Flow::Normal;
            ExecSelect(static_cast<const SelectStmt*>(s), f, &fl);
            return fl;
        }
        case SK::For:
            return ExecFor(static_cast<const ForStmt*>(s), f);
        case SK::ForEach:
            return ExecForEach(static_cast<const ForEachStmt*>(s), f);
        case SK::Do: {
            auto* d = static_cast<const DoStmt*>(s);
            for (;;) {
                if (d->cond && d->testFirst) {
                    Value tmp;
                    bool t = Truth(EvalBorrow(d->cond.get(), f, &tmp));
                    if (t == d->until) break;
                }
                Flow fl = ExecBlock(d->body, f);
                if (fl == Flow::ExitDo) break;
                if (fl != Flow::Normal) return fl;
                if (d->cond && !d->testFirst) {
                    Value tmp;
                    bool t = Truth(EvalBorrow(d->cond.get(), f, &tmp));
                    if (t == d->until) break;
                }
            }
            return Flow::Normal;
        }
        case SK::While: {
            auto* w = static_cast<const WhileStmt*>(s);
            for (;;) {
                Value tmp;
                if (!Truth(EvalBorrow(w->cond.get(), f, &tmp))) break;
                Flow fl = ExecBlock(w->body, f);
                if (fl != Flow::Normal) return fl;
            }
            return Flow::Normal;
        }
        case SK::Exit: {
            auto* e = static_cast<const ExitStmt*>(s);
            switch (e->what) {
                case ExitKind::Do:
                    return Flow::ExitDo;
                case ExitKind::For:
                    return Flow::ExitFor;
                default:
                    return Flow::ExitProc;
            }
        }
        case SK::OnError:
            f.resumeNext = static_cast<const OnErrorStmt*>(s)->resumeNext;
            ClearErr();
            return Flow::Normal;
        case SK::With: {
            auto* w = static_cast<const WithStmt*>(s);
            Value obj;
            Eval(w->obj.get(), f, &obj);
            if (!IsObjectVt(Target(&obj)->vt)) Throw(424);
            f.with.push_back(std::move(obj));
            Flow fl;
            try {
                fl = ExecBlock(w->body, f);
            } catch (...) {
                f.with.pop_back();
                throw;
            }
            f.with.pop_back();
            return fl;
        }
        case SK::MidAssign:
            ExecMidAssign(static_cast<const MidAssignStmt*>(s), f);
            return Flow::Normal;
        case SK::OptionExplicit:
            return Flow::Normal;
    }
    return Flow::Normal;
}

void Interp::ExecCallStmt(const CallStmt* s, Frame& f) {
    const Expr* e = s->call.get();
    Value ignore;
    switch (e->kind) {
        case EK::Call:
            EvalCall(static_cast<const CallExpr*>(e), f, &ignore, true);
            return;
        case EK::Ident: {
            ArgList none;
            CallIdent(static_cast<const IdentExpr*>(e), f, none, &ignore, true);
            return;
        }
        case EK::Member: {
            auto* m = static_cast<const MemberExpr*>(e);
            Value obj;
            Eval(m->obj.get(), f, &obj);
            ArgList none;
            CallMember(&obj, m->name, m->lname, DISPATCH_METHOD, none, &ignore, f.me);
            return;
        }
        case EK::WithDot: {
            auto* w = static_cast<const WithDotExpr*>(e);
            ArgList none;
            CallMember(WithObject(f), w->name, w->lname, DISPATCH_METHOD, none, &ignore, f.me);
            return;
        }
        default:
            Eval(e, f, &ignore);
    }
}

void Interp::ExecDim(const DimStmt* s, Frame& f) {
    for (const auto& v : s->vars) {
        VARIANT* dst = VarRef(v.ref, f, true, true);
        if (!dst) continue;
        if (!v.isArray) continue;
        if (v.bounds.empty()) {
            // Dim a(): a dynamic array without dimensions yet
            if (!(dst->vt & VT_ARRAY)) {
                VariantClear(dst);
                dst->vt = VT_ARRAY | VT_VARIANT;
                dst->parray = nullptr;
            }
            continue;
        }
        std::vector<SAFEARRAYBOUND> b;
        for (const auto& e : v.bounds) {
            Value n;
            EvalValue(e.get(), f, &n);
            int32_t ub = ToLong(&n);
            if (ub < -1) Throw(9);
            b.push_back({uint32_t(ub + 1), 0});
        }
        CheckArraySize(b);
        SAFEARRAY* sa = SafeArrayCreate(VT_VARIANT, uint32_t(b.size()), b.data());
        if (!sa) Throw(7);
        sa->fFeatures |= FADF_FIXEDSIZE | FADF_STATIC;
        VariantClear(dst);
        dst->vt = VT_ARRAY | VT_VARIANT;
        dst->parray = sa;
    }
}

void Interp::ExecReDim(const DimStmt* s, Frame& f) {
    for (const auto& v : s->vars) {
        VARIANT* dst = VarRef(v.ref, f, true, true);
        if (!dst) Throw(501, v.name);
        std::vector<SAFEARRAYBOUND> b;
        for (const auto& e : v.bounds) {
            Value n;
            EvalValue(e.get(), f, &n);
            int32_t ub = ToLong(&n);
            if (ub < -1) Throw(9);
            b.push_back({uint32_t(ub + 1), 0});
        }
        CheckArraySize(b);
        if (dst->vt & VT_ARRAY) {
            SAFEARRAY* sa = dst->parray;
            if (sa && (sa->fFeatures & FADF_FIXEDSIZE)) Throw(10);
            if (sa && sa->cLocks) Throw(10);
            if (s->preserve && sa) {
                if (SafeArrayGetDim(sa) != b.size()) Throw(9);
                for (size_t i = 0; i + 1 < b.size(); ++i)
                    if (sa->rgsabound[i].cElements != b[i].cElements) Throw(9);
                if (FAILED(SafeArrayRedim(sa, &b.back()))) Throw(7);
                continue;
            }
        }
        SAFEARRAY* sa = SafeArrayCreate(VT_VARIANT, uint32_t(b.size()), b.data());
        if (!sa) Throw(7);
        VariantClear(dst);
        dst->vt = VT_ARRAY | VT_VARIANT;
        dst->parray = sa;
    }
}

void Interp::ExecSelect(const SelectStmt* s, Frame& f, Flow* flow) {
    Value subject;
    EvalValue(s->subject.get(), f, &subject);
    // the tested value is held, not a literal, whatever it was written as
    for (const auto& arm : s->arms) {
        bool hit = arm.tests.empty();
        for (const auto& t : arm.tests) {
            Value a;
            EvalValue(t.a.get(), f, &a);
            Lit litA = LiteralKind(t.a.get());
            if (t.kind == 0) {
                hit = Compare(&subject, &a, false, Lit::None, litA) == 0;
            } else if (t.kind == 1) {
                Value b;
                EvalValue(t.b.get(), f, &b);
                int c1 = Compare(&subject, &a, false, Lit::None, litA);
                int c2 = Compare(&subject, &b, false, Lit::None, LiteralKind(t.b.get()));
                hit = c1 != 2 && c2 != 2 && c1 >= 0 && c2 <= 0;
            } else {
                int c = Compare(&subject, &a, false, Lit::None, litA);
                switch (t.op) {
                    case Op::Eq:
                        hit = c == 0;
                        break;
                    case Op::Ne:
                        hit = c == -1 || c == 1;
                        break;
                    case Op::Lt:
                        hit = c == -1;
                        break;
                    case Op::Gt:
                        hit = c == 1;
                        break;
                    case Op::Le:
                        hit = c == -1 || c == 0;
                        break;
                    case Op::Ge:
                        hit = c == 1 || c == 0;
                        break;
                    default:
                        break;
                }
            }
            if (hit) break;
        }
        if (hit) {
            *flow = ExecBlock(arm.body, f);
            return;
        }
    }
}

Interp::Flow Interp::ExecFor(const ForStmt* s, Frame& f) {
    Value from, to, step;
    EvalValue(s->from.get(), f, &from);
    EvalValue(s->to.get(), f, &to);
    if (s->step)
        EvalValue(s->step.get(), f, &step);
    else
        VariantFromShort(&step, 1);
    // start, end and step must be numbers: Null does not convert
    for (const Value* b : {&from, &to, &step})
        if (Target(b)->vt == VT_NULL) Throw(13);
    auto* id = static_cast<const IdentExpr*>(s->var.get());
    {
        Value start;
        Assign(&start, &from);
        VARIANT* v = VarRef(id, f, true);
        if (!v) Throw(1040);
        if (Target(&from)->vt == VT_BSTR) Convert(&from, VT_R8, &start);
        MoveInto(v, start);
    }
    bool up = ToDouble(&step) >= 0;
    bool intLoop = (Target(&to)->vt == VT_I2 || Target(&to)->vt == VT_I4) &&
                   (Target(&step)->vt == VT_I2 || Target(&step)->vt == VT_I4);
    int32_t toI = intLoop ? ToLong(&to) : 0;
    int32_t stepI = intLoop ? ToLong(&step) : 0;
    double toD = ToDouble(&to);
    for (;;) {
        VARIANT* v = VarRef(id, f, true);
        if (intLoop && (v->vt == VT_I2 || v->vt == VT_I4)) {
            int32_t cur = v->vt == VT_I2 ? v->iVal : v->lVal;
            if (up ? cur > toI : cur < toI) break;
        } else {
            Value cv;
            Assign(&cv, v);
            if (Target(&cv)->vt == VT_NULL) Throw(94);
            double cur = ToDouble(&cv);
            if (up ? cur > toD : cur < toD) break;
        }
        Flow fl = ExecBlock(s->body, f);
        if (fl == Flow::ExitFor) break;
        if (fl != Flow::Normal) return fl;
        v = VarRef(id, f, true);
        if (intLoop && v->vt == VT_I4) {
            int64_t n = int64_t(v->lVal) + stepI;
            if (n >= INT32_MIN && n <= INT32_MAX) {
                v->lVal = int32_t(n);
                continue;
            }
        } else if (intLoop && v->vt == VT_I2) {
            int32_t n = int32_t(v->iVal) + stepI;
            if (n >= -32768 && n <= 32767 && Target(&step)->vt == VT_I2) {
                v->iVal = int16_t(n);
                continue;
            }
        }
        Value next;
        Arith(Op::Add, v, &step, &next);
        MoveInto(v, next);
    }
    return Flow::Normal;
}

Interp::Flow Interp::ExecForEach(const ForEachStmt* s, Frame& f) {
    Value coll;
    Eval(s->coll.get(), f, &coll);
    const VARIANT* c = Target(&coll);
    auto* id = static_cast<const IdentExpr*>(s->var.get());
    auto setVar = [&](VARIANT* item) {
        VARIANT* v = VarRef(id, f, true);
        if (!v) Throw(1040);
        Value tmp;
        Assign(&tmp, item);
        MoveInto(v, tmp);
    };
    if (c->vt & VT_ARRAY) {
        Value copy;
        Assign(&copy, c);
        SAFEARRAY* sa = copy.parray;
        uint64_t n = sa ? SafeArrayCount(sa) : 0;
        for (uint64_t i = 0; i < n; ++i) {
            setVar(&static_cast<VARIANT*>(sa->pvData)[i]);
            Flow fl = ExecBlock(s->body, f);
            if (fl == Flow::ExitFor) return Flow::Normal;
            if (fl != Flow::Normal) return fl;
        }
        Value empty;
        setVar(&empty);  // a loop that ran out leaves its variable Empty
        return Flow::Normal;
    }
    ComPtr<IDispatch> hold;
    if (!IsObjectVt(c->vt)) Throw(451);
    IDispatch* d = ObjectOf(c, &hold);
    if (!d) Throw(91);
    ComPtr<IEnumVARIANT> en;
    HRESULT hr = GetEnumerator(d, en.Receive());
    if (FAILED(hr) || !en) Throw(451);
    for (;;) {
        Value item;
        uint32_t got = 0;
        hr = en->Next(1, item.Receive(), &got);
        if (FAILED(hr)) ThrowHr(hr);
        if (hr != S_OK || got == 0) break;
        setVar(&item);
        Flow fl = ExecBlock(s->body, f);
        if (fl == Flow::ExitFor) return Flow::Normal;
        if (fl != Flow::Normal) return fl;
    }
    Value empty;
    setVar(&empty);
    return Flow::Normal;
}

void Interp::ExecMidAssign(const MidAssignStmt* s, Frame& f) {
    VARIANT* v = nullptr;
    if (s->var->kind == EK::Ident)
        v = VarRef(static_cast<const IdentExpr*>(s->var.get()), f, false);
    if (!v) Throw(13);
    Value st, rhs, len;
    EvalValue(s->start.get(), f, &st);
    EvalValue(s->rhs.get(), f, &rhs);
    WString str = ToStr(v);
    int32_t start = ToLong(&st);
    if (start < 1) Throw(5);
    WString r = ToStr(&rhs);
    size_t n = r.size();
    if (s->len) {
        EvalValue(s->len.get(), f, &len);
        int32_t l = ToLong(&len);
        if (l < 0) Throw(5);
        n = std::min(n, size_t(l));
    }
    if (size_t(start) > str.size()) Throw(5);
    size_t pos = size_t(start - 1);
    n = std::min(n, str.size() - pos);
    str.replace(pos, n, r.substr(0, n));
    VariantClear(v);
    VariantFromString(v, str);
}

// ---- expressions ----

const VARIANT* Interp::WithObject(Frame& f) {
    for (Frame* p = &f; p; p = p->parent)
        if (!p->with.empty()) return &p->with.back();
    Throw(505);
}

void Interp::EvalValue(const Expr* e, Frame& f, Value* out) {
    Eval(e, f, out);
    if (IsObjectVt(Target(out)->vt)) {
        Value v;
        ValueOf(out, &v);
        *out = std::move(v);
    } else if (out->vt & VT_BYREF) {
        Value v;
        Assign(&v, out);
        *out = std::move(v);
    }
}

const VARIANT* Interp::EvalBorrow(const Expr* e, Frame& f, Value* tmp) {
    if (e->kind == EK::Ident) {
        auto* id = static_cast<const IdentExpr*>(e);
        VARIANT* v = nullptr;
        if (id->scope == Scope::Local) {
            v = Target(&f.slots[id->slot]);
        } else if (!f.me && !f.implicit && !f.parent) {
            Binding* b = Resolve(id);
            if (b && (b->kind == Binding::Var || b->kind == Binding::Const)) v = Target(&b->value);
        }
        if (v && !IsObjectVt(v->vt) && !(v->vt & VT_BYREF)) return v;
    }
    EvalValue(e, f, tmp);
    return tmp;
}

void Interp::Eval(const Expr* e, Frame& f, Value* out) {
    switch (e->kind) {
        case EK::Const: {
            auto* c = static_cast<const ConstExpr*>(e);
            VARIANT* o = out->Receive();
            switch (c->ck) {
                case CK::Empty:
                    break;
                case CK::Null:
                    o->vt = VT_NULL;
                    break;
                case CK::Bool:
                    VariantFromBool(o, c->i != 0);
                    break;
                case CK::Int2:
                    VariantFromShort(o, int16_t(c->i));
                    break;
                case CK::Int4:
                    VariantFromLong(o, c->i);
                    break;
                case CK::Double:
                    VariantFromDouble(o, c->d);
                    break;
                case CK::String:
                    VariantFromString(o, c->s);
                    break;
                case CK::Date:
                    VariantFromDate(o, c->d);
                    break;
            }
            return;
        }
        case EK::Ident:
            EvalIdent(static_cast<const IdentExpr*>(e), f, out);
            return;
        case EK::Member:
            EvalMember(static_cast<const MemberExpr*>(e), f, out);
            return;
        case EK::Call:
            EvalCall(static_cast<const CallExpr*>(e), f, out, false);
            return;
        case EK::WithDot: {
            auto* w = static_cast<const WithDotExpr*>(e);
            ArgList none;
            CallMember(WithObject(f), w->name, w->lname, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                       none, out, f.me);
            return;
        }
        case EK::Unary: {
            auto* u = static_cast<const UnaryExpr*>(e);
            Value tmp;
            const VARIANT* v = EvalBorrow(u->e.get(), f, &tmp);
            if (u->op == Op::Neg)
                Negate(v, out);
            else if (u->op == Op::Not)
                NotOp(v, out);
            else
                Assign(out->Receive(), v);
            return;
        }
        case EK::Binary:
            EvalBinary(static_cast<const BinaryExpr*>(e), f, out);
            return;
        case EK::New:
            NewObject(static_cast<const NewExpr*>(e), out);
            return;
        case EK::Me: {
            // outside a class, Me is the script's global object
            VariantFromDispatch(out->Receive(),
                                f.me ? static_cast<IDispatch*>(f.me) : GlobalDispatch());
            return;
        }
        case EK::Nothing:
            SetNothing(out);
            return;
        case EK::Paren: {
            Eval(static_cast<const ParenExpr*>(e)->e.get(), f, out);
            return;
        }
    }
}

void Interp::EvalBinary(const BinaryExpr* b, Frame& f, Value* out) {
    if (b->op == Op::Is) {
        Value l, r;
        Eval(b->l.get(), f, &l);
        Eval(b->r.get(), f, &r);
        const VARIANT* a = Target(&l);
        const VARIANT* c = Target(&r);
        if (!IsObjectVt(a->vt) || !IsObjectVt(c->vt)) Throw(424);
        // identity through IUnknown
        auto unk = [](const VARIANT* v) -> IUnknown* {
            if (!v->punkVal) return nullptr;
            IUnknown* u = nullptr;
            if (SUCCEEDED(v->punkVal->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&u))) &&
                u) {
                u->Release();
                return u;
            }
            return v->punkVal;
        };
        VariantFromBool(out->Receive(), unk(a) == unk(c));
        return;
    }
    Value lt, rt;
    const VARIANT* l = EvalBorrow(b->l.get(), f, &lt);
    const VARIANT* r = EvalBorrow(b->r.get(), f, &rt);
    switch (b->op) {
        case Op::Add:
        case Op::Sub:
        case Op::Mul:
        case Op::Div:
        case Op::IDiv:
        case Op::Mod:
        case Op::Pow:
            // fast path for small integers
            if ((b->op == Op::Add || b->op == Op::Sub || b->op == Op::Mul) &&
                (l->vt == VT_I2 || l->vt == VT_I4) && (r->vt == VT_I2 || r->vt == VT_I4)) {
                int64_t x = l->vt == VT_I2 ? l->iVal : l->lVal;
                int64_t y = r->vt == VT_I2 ? r->iVal : r->lVal;
                int64_t z = b->op == Op::Add ? x + y : b->op == Op::Sub ? x - y : x * y;
                bool both2 = l->vt == VT_I2 && r->vt == VT_I2;
                if (both2 && z >= -32768 && z <= 32767) {
                    VariantFromShort(out->Receive(), int16_t(z));
                    return;
                }
                if (z >= INT32_MIN && z <= INT32_MAX) {
                    VariantFromLong(out->Receive(), int32_t(z));
                    return;
                }
            }
            if (FastArith(b->op, l, r, out)) return;
            Arith(b->op, l, r, out);
            return;
        case Op::Concat:
            Concat(l, r, out);
            return;
        case Op::Eq:
        case Op::Ne:
        case Op::Lt:
        case Op::Gt:
        case Op::Le:
        case Op::Ge: {
            int c = Compare(l, r, false, LiteralKind(b->l.get()), LiteralKind(b->r.get()));
            if (c == 2) {
                out->Receive()->vt = VT_NULL;
                return;
            }
            bool res = false;
            switch (b->op) {
                case Op::Eq:
                    res = c == 0;
                    break;
                case Op::Ne:
                    res = c != 0;
                    break;
                case Op::Lt:
                    res = c < 0;
                    break;
                case Op::Gt:
                    res = c > 0;
                    break;
                case Op::Le:
                    res = c <= 0;
                    break;
                case Op::Ge:
                    res = c >= 0;
                    break;
                default:
                    break;
            }
            VariantFromBool(out->Receive(), res);
            return;
        }
        default:
            Logic(b->op, l, r, out);
            return;
    }
}

void Interp::EvalIdent(const IdentExpr* id, Frame& f, Value* out) {
    if (id->scope == Scope::Local) {
        Assign(out->Receive(), &f.slots[id->slot]);
        return;
    }
    ArgList none;
    CallIdent(id, f, none, out, false);
}

void Interp::EvalMember(const MemberExpr* m, Frame& f, Value* out) {
    Value obj;
    Eval(m->obj.get(), f, &obj);
    ArgList none;
    CallMember(&obj, m->name, m->lname, DISPATCH_METHOD | DISPATCH_PROPERTYGET, none, out, f.me);
}

void Interp::NewObject(const NewExpr* n, Value* out) {
    if (n->lname == u"regexp") {
        auto it = bindings_.find(n->lname);
        if (it == bindings_.end() || it->second->kind != Binding::ClassB) {
            IDispatch* d = NewRegExp();
            VariantFromDispatch(out->Receive(), d);
            d->Release();
            return;
        }
    }
    auto it = bindings_.find(n->lname);
    if (it == bindings_.end() || it->second->kind != Binding::ClassB) Throw(506, n->name);
    const ClassInfo* ci = it->second->cls;
    auto* inst = new ClassInstance(this, ci);
    ComPtr<IDispatch> hold(inst);
    if (ci->init) {
        ArgList none;
        Value r;
        CallProc(ci->init, inst, none, &r);
    }
    VariantFromDispatch(out->Receive(), inst);
}

// ---- calls ----

VARIANT* Interp::ElementRef(VARIANT* arr, const ArgList& idx) {
    SAFEARRAY* sa = arr->parray;
    if (!sa) Throw(9);
    uint32_t dims = SafeArrayGetDim(sa);
    if (idx.size() != dims) Throw(9);
    int32_t ix[64];
    if (dims > 64) Throw(9);
    for (size_t i = 0; i < idx.size(); ++i) {
        if (idx[i].missing) Throw(9);
        ix[i] = ToLong(idx[i].Get());
    }
    void* p = nullptr;
    if (FAILED(SafeArrayPtrOfIndex(sa, ix, &p)) || !p) Throw(9);
    return static_cast<VARIANT*>(p);
}

VARIANT* Interp::ArgRef(const Expr* e, Frame& f, std::vector<SAFEARRAY*>* locks) {
    if (e->kind == EK::Ident) {
        auto* id = static_cast<const IdentExpr*>(e);
        if (id->scope == Scope::Local) return Target(&f.slots[id->slot]);
        return VarRef(id, f, false);
    }
    if (e->kind == EK::Call) {
        auto* c = static_cast<const CallExpr*>(e);
        if ((c->target->kind != EK::Ident && c->target->kind != EK::Call) || c->args.empty())
            return nullptr;
        VARIANT* v = ArgRef(c->target.get(), f, locks);  // x(0)(1): the inner array in place
        if (!v || !(v->vt & VT_ARRAY)) return nullptr;
        ArgList idx;
        BuildArgs(c->args, f, idx, nullptr);
        VARIANT* el = ElementRef(v, idx);
        if (locks) {
            SafeArrayLock(v->parray);
            locks->push_back(v->parray);
        }
        return el;
    }
    return nullptr;
}

VARIANT* Interp::StorageOf(const Expr* e, Frame& f, Value* hold) {
    if (e->kind == EK::Member) {
        // a field of a class instance
        auto* m = static_cast<const MemberExpr*>(e);
        Eval(m->obj.get(), f, hold);
        const VARIANT* o = Target(hold);
        auto* ci = o->vt == VT_DISPATCH ? dynamic_cast<ClassInstance*>(o->pdispVal) : nullptr;
        if (!ci || !ci->Owner()) return nullptr;
        DISPID id = ci->FindMember(m->lname, f.me);
        if (id == DISPID_UNKNOWN) return nullptr;
        const auto& member = ci->Info()->members[id - 1];
        if (member.kind != ClassInfo::Member::Field) return nullptr;
        return Target(&ci->Fields()[member.field]);
    }
    if (e->kind == EK::Call) {
        auto* c = static_cast<const CallExpr*>(e);
        if (c->args.empty()) return nullptr;
        VARIANT* v = StorageOf(c->target.get(), f, hold);
        if (!v || !(v->vt & VT_ARRAY)) return nullptr;
        ArgList idx;
        BuildArgs(c->args, f, idx, nullptr);
        return ElementRef(v, idx);
    }
    return ArgRef(e, f, nullptr);
}

void Interp::BuildArgs(const std::vector<ExprP>& exprs, Frame& f, ArgList& args,
                       std::vector<SAFEARRAY*>* locks) {
    args.resize(exprs.size());
    for (size_t i = 0; i < exprs.size(); ++i) {
        const Expr* e = exprs[i].get();
        Arg& a = args[i];
        if (!e) {
            a.missing = true;
            a.val = MissingArg();
            continue;
        }
        if (locks) {
            if (VARIANT* r = ArgRef(e, f, locks)) {
                a.ref = r;
                continue;
            }
        }
        Eval(e, f, &a.val);
    }
}

void Interp::CallProc(const Proc* p, ClassInstance* me, ArgList& args, Value* result) {
    if (!alive_) Throw(51);
    size_t n = p->params.size();
    if (args.size() != n) Throw(450, p->name);
    DepthGuard depth(&depth_);
    LocaleScope locale(cur_ ? nullptr : formats_);  // called from outside
    Frame f;
    f.proc = p;
    f.me = me;
    f.prog = p->program;
    f.explicitVars = p->program && p->program->optionExplicit;
    f.slots.resize(size_t(p->nslots));
    for (size_t i = 0; i < n; ++i) {
        Arg& a = args[i];
        if (p->params[i].byRef && a.ref) {
            VARIANT& s = f.slots[i];
            s.vt = VT_BYREF | VT_VARIANT;
            s.pvarVal = Target(a.ref);
        } else {
            Assign(&f.slots[i], a.Get());
            if (f.slots[i].vt & VT_ARRAY && f.slots[i].parray)
                f.slots[i].parray->fFeatures &= ~(FADF_FIXEDSIZE | FADF_STATIC);
        }
    }
    for (const auto& [slot, c] : p->consts) Eval(c, f, &f.slots[slot]);
    ComPtr<IDispatch> keep(me);
    FrameScope scope(&cur_, &f);
    try {
        ExecBlock(p->body, f);
    } catch (VbsError& e) {
        if (!e.prog) e.prog = p->program;
        throw;
    }
    // Err is not cleared on the way out: a caller under On Error Resume Next
    // sees what the procedure resumed past ("Call Helper()" then "If Err.Number").
    if (p->resultSlot >= 0) {
        VARIANT* r = &f.slots[p->resultSlot];
        Value rv;
        Assign(&rv, r);
        *result = std::move(rv);
    } else {
        result->Receive();
    }
    // locals go in declaration order (Class_Terminate order)
    for (auto& s : f.slots) VariantClear(&s);
}

void Interp::CallBuiltin(int index, ArgList& args, Value* out) {
    const BuiltinDef& d = builtins_[index];
    if (int(args.size()) < d.minArgs || int(args.size()) > d.maxArgs) Throw(450, d.name);
    d.fn(*this, args, out);
}

void Interp::CallIdent(const IdentExpr* id, Frame& f, ArgList& args, Value* out, bool isStmt) {
    // variables first
    VARIANT* v = nullptr;
    if (id->scope == Scope::Local) {
        v = Target(&f.slots[id->slot]);
    } else {
        if (f.me || f.implicit || f.parent) v = NameRef(id->lname, f);
        if (!v && f.me) {
            DISPID mid = f.me->FindMember(id->lname, f.me);
            if (mid != DISPID_UNKNOWN) {
                f.me->Call(mid, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, out);
                return;
            }
        }
    }
    if (v) {
        if (args.empty()) {
            if (isStmt && IsObjectVt(v->vt)) {
                CallDefault(v, args, DISPATCH_METHOD, out);
                return;
            }
            Assign(out->Receive(), v);
            return;
        }
        CallDefault(v, args, DISPATCH_METHOD | DISPATCH_PROPERTYGET, out);
        return;
    }
    Binding* b = Resolve(id);
    if (!b) {
        if (!args.empty() || isStmt) Throw(13, id->name);
        if (f.explicitVars) Throw(500, id->name);
        out->Receive();
        return;
    }
    switch (b->kind) {
        case Binding::Var:
        case Binding::Const:
            if (args.empty()) {
                // "p" or "p()" as a statement calls an object's default member
                // (a GetRef of a Sub runs it)
                if (isStmt && IsObjectVt(Target(&b->value)->vt)) {
                    CallDefault(&b->value, args, DISPATCH_METHOD, out);
                    return;
                }
                Assign(out->Receive(), &b->value);
                return;
            }
            CallDefault(&b->value, args, DISPATCH_METHOD | DISPATCH_PROPERTYGET, out);
            return;
        case Binding::ProcB:
            CallProc(b->proc, nullptr, args, out);
            return;
        case Binding::Builtin:
            CallBuiltin(b->builtin, args, out);
            // a Byte result of a call statement ("Call CByte(1)") is a type the
            // statement form cannot take
            if (isStmt && out->vt == VT_UI1) Throw(458);
            return;
        case Binding::ClassB:
            Throw(13, id->name);
        case Binding::Item: {
            IDispatch* d = ItemObject(b->item);
            if (!d) Throw(424, id->name);
            if (args.empty() && !isStmt) {
                VariantFromDispatch(out->Receive(), d);
                return;
            }
            Value ov;
            VariantFromDispatch(&ov, d);
            CallDefault(&ov, args, DISPATCH_METHOD | DISPATCH_PROPERTYGET, out);
            return;
        }
        case Binding::Member: {
            IDispatch* d = ItemObject(b->item);
            if (!d) Throw(424, id->name);
            InvokeHost(d, b->dispid,
                       isStmt ? DISPATCH_METHOD : DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, out,
                       id->name);
            return;
        }
    }
}

namespace {
// A put with arguments that the member does not take as a put: get the
// member with the arguments and put the value to the default member of what
// it answers (Fields("NAME") = x).
bool PutThroughDefault(IDispatch* d, DISPID id, uint16_t flags, ArgList& args, HRESULT hr,
                       Interp* in) {
    if (args.size() < 2) return false;
    if (hr != DISP_E_MEMBERNOTFOUND && hr != DISP_E_BADPARAMCOUNT && hr != DISP_E_PARAMNOTFOUND)
        return false;
    std::vector<VARIANT> rg(args.size() - 1);
    for (size_t i = 0; i + 1 < args.size(); ++i) rg[rg.size() - 1 - i] = *args[i].Get();
    DISPPARAMS dp{rg.data(), nullptr, uint32_t(rg.size()), 0};
    EXCEPINFO ei{};
    Value obj;
    HRESULT g = d->Invoke(id, IID_NULL, LOCALE_EN_US, DISPATCH_PROPERTYGET | DISPATCH_METHOD, &dp,
                          obj.Receive(), &ei, nullptr);
    if (FAILED(g)) {
        ClearExcepInfo(&ei);
        return false;
    }
    if (!IsObjectVt(obj.vt)) return false;
    ArgList last;
    last.push_back(std::move(args.back()));
    Value ignore;
    in->CallDefault(&obj, last, flags, &ignore);
    return true;
}
}  // namespace

void Interp::CallMember(const VARIANT* objv, const WString& name, const WString& lname,
                        uint16_t flags, ArgList& args, Value* result, const ClassInstance* caller) {
    ComPtr<IDispatch> hold;
    const VARIANT* t = Target(objv);
    if (!IsObjectVt(t->vt)) Throw(424, name);
    IDispatch* d = ObjectOf(t, &hold);
    if (!d) Throw(424, name);  // a member of Nothing
    ComPtr<IDispatch> keep(d);
    if (auto* db = dynamic_cast<DispatchBase*>(d)) {
        DISPID id = db->FindMember(lname, caller);
        if (id == DISPID_UNKNOWN) Throw(438, name);
        if ((flags & DISPATCH_PROPERTYPUT) && !dynamic_cast<ClassInstance*>(db))
            PutValue(flags, args);
        db->Call(id, flags, args, result);
        return;
    }
    PutValue(flags, args);
    DISPID id;
    if (FAILED(GetDispId(d, name, &id))) Throw(438, name);
    InvokeHost(d, id, flags, args, result, name);
}

void Interp::InvokeHost(IDispatch* d, DISPID id, uint16_t flags, ArgList& args, Value* result,
                        WStringView name) {
    bool isPut = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    // arguments go last first; variables go by reference, the put value by value
    std::vector<VARIANT> rg(args.size());
    for (size_t i = 0; i < args.size(); ++i) {
        VARIANT& dst = rg[args.size() - 1 - i];
        if (args[i].ref && !(isPut && i + 1 == args.size())) {
            dst.vt = VT_BYREF | VT_VARIANT;
            dst.pvarVal = args[i].ref;
        } else {
            dst = *args[i].Get();
        }
    }
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS dp{rg.data(), isPut ? &putId : nullptr, uint32_t(rg.size()), isPut ? 1u : 0u};
    EXCEPINFO ei{};
    uint32_t argErr = 0;
    Value r;
    HRESULT hr = d->Invoke(id, IID_NULL, LOCALE_EN_US, flags, &dp, isPut ? nullptr : r.Receive(),
                           &ei, &argErr);
    // An entry the member made (an event it fired, a text it ran) was refused
    // for nesting too deep: the error is this script's.
    if (TakeScriptNestingRefusal()) {
        ClearExcepInfo(&ei);
        Throw(28);
    }
    if (FAILED(hr) && isPut && PutThroughDefault(d, id, flags, args, hr, this)) {
        ClearExcepInfo(&ei);
        return;
    }
    if (FAILED(hr)) {
        if (id == DISPID_VALUE && hr == DISP_E_MEMBERNOTFOUND) Throw(438, name);
        ThrowHr(hr, &ei, name);
    }
    if (isPut)
        result->Receive();
    else
        *result = std::move(r);
}

void Interp::CallDefault(const VARIANT* v, ArgList& args, uint16_t flags, Value* result) {
    const VARIANT* t = Target(v);
    if (t->vt & VT_ARRAY) {
        if (args.empty()) {
            Assign(result->Receive(), t);
            return;
        }
        VARIANT* el = ElementRef(const_cast<VARIANT*>(t), args);
        Assign(result->Receive(), el);
        return;
    }
    if (IsObjectVt(t->vt)) {
        ComPtr<IDispatch> hold;
        IDispatch* d = ObjectOf(t, &hold);
        if (!d) Throw(91);
        ComPtr<IDispatch> keep(d);
        if (auto* db = dynamic_cast<DispatchBase*>(d)) {
            db->Call(DISPID_VALUE, flags, args, result);
            return;
        }
        InvokeHost(d, DISPID_VALUE, flags, args, result, {});
        return;
    }
    if (args.empty()) {
        Assign(result->Receive(), t);
        return;
    }
    Throw(13);
}

void Interp::EvalCall(const CallExpr* c, Frame& f, Value* out, bool isStmt) {
    LockSet locks;
    ArgList args;
    BuildArgs(c->args, f, args, &locks.locks);
    const Expr* t = c->target.get();
    while (t->kind == EK::Paren) t = static_cast<const ParenExpr*>(t)->e.get();  // (f)(x)
    switch (t->kind) {
        case EK::Ident:
            CallIdent(static_cast<const IdentExpr*>(t), f, args, out, isStmt);
            return;
        case EK::Member: {
            auto* m = static_cast<const MemberExpr*>(t);
            Value obj;
            Eval(m->obj.get(), f, &obj);
            CallMember(&obj, m->name, m->lname,
                       isStmt ? DISPATCH_METHOD : DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, out,
                       f.me);
            return;
        }
        case EK::WithDot: {
            auto* w = static_cast<const WithDotExpr*>(t);
            CallMember(WithObject(f), w->name, w->lname,
                       isStmt ? DISPATCH_METHOD : DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, out,
                       f.me);
            return;
        }
        default: {
            Value v;
            Eval(t, f, &v);
            CallDefault(&v, args, DISPATCH_METHOD | DISPATCH_PROPERTYGET, out);
            return;
        }
    }
}

// ---- assignment ----

void Interp::StoreVar(VARIANT* dst, Value& v) {
    if ((v.vt & VT_ARRAY) && v.parray) {
        // a copy of a fixed array is a dynamic array
        Value copy;
        Assign(&copy, &v);
        if (copy.parray) copy.parray->fFeatures &= ~(FADF_FIXEDSIZE | FADF_STATIC);
        if (dst->vt & VT_ARRAY && dst->parray && dst->parray->fFeatures & FADF_FIXEDSIZE)
            Throw(501);
        MoveInto(dst, copy);
        return;
    }
    if (dst->vt & VT_ARRAY && dst->parray) {
        if (dst->parray->fFeatures & FADF_FIXEDSIZE) Throw(501);
        if (dst->parray->cLocks) Throw(10);
    }
    MoveInto(dst, v);
}

void Interp::AssignTo(const Expr* lhs, Frame& f, Value& v, bool isSet) {
    uint16_t putFlag = isSet ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT;
    switch (lhs->kind) {
        case EK::Ident: {
            auto* id = static_cast<const IdentExpr*>(lhs);
            if (id->scope == Scope::Local) {
                StoreVar(Target(&f.slots[id->slot]), v);
                return;
            }
            if (f.me || f.implicit || f.parent) {
                if (VARIANT* r = NameRef(id->lname, f)) {
                    StoreVar(r, v);
                    return;
                }
                if (f.me) {
                    DISPID mid = f.me->FindMember(id->lname, f.me);
                    if (mid != DISPID_UNKNOWN) {
                        ArgList args(1);
                        args[0].val = std::move(v);
                        Value ignore;
                        f.me->Call(mid, putFlag, args, &ignore);
                        return;
                    }
                }
            }
            Binding* b = Resolve(id);
            if (b) {
                switch (b->kind) {
                    case Binding::Var:
                        StoreVar(Target(&b->value), v);
                        return;
                    case Binding::Member: {
                        IDispatch* d = ItemObject(b->item);
                        if (!d) Throw(424);
                        ArgList args(1);
                        args[0].val = std::move(v);
                        Value ignore;
                        InvokeHost(d, b->dispid, putFlag, args, &ignore, id->name);
                        return;
                    }
                    default:
                        Throw(501, id->name);
                }
            }
            VARIANT* r = VarRef(id, f, true);
            StoreVar(r, v);
            return;
        }
        case EK::Member: {
            auto* m = static_cast<const MemberExpr*>(lhs);
            Value obj;
            Eval(m->obj.get(), f, &obj);
            ArgList args(1);
            args[0].val = std::move(v);
            Value ignore;
            CallMember(&obj, m->name, m->lname, putFlag, args, &ignore, f.me);
            return;
        }
        case EK::WithDot: {
            auto* w = static_cast<const WithDotExpr*>(lhs);
            ArgList args(1);
            args[0].val = std::move(v);
            Value ignore;
            CallMember(WithObject(f), w->name, w->lname, putFlag, args, &ignore, f.me);
            return;
        }
        case EK::Call: {
            auto* c = static_cast<const CallExpr*>(lhs);
            ArgList args;
            BuildArgs(c->args, f, args, nullptr);
            const Expr* t = c->target.get();
            if (t->kind == EK::Ident) {
                auto* id = static_cast<const IdentExpr*>(t);
                VARIANT* var = nullptr;
                if (id->scope == Scope::Local)
                    var = Target(&f.slots[id->slot]);
                else if (f.me || f.implicit || f.parent)
                    var = NameRef(id->lname, f);
                Binding* b = nullptr;
                if (!var && f.me) {
                    DISPID mid = f.me->FindMember(id->lname, f.me);
                    if (mid != DISPID_UNKNOWN) {
                        Arg a;
                        a.val = std::move(v);
                        args.push_back(std::move(a));
                        Value ignore;
                        f.me->Call(mid, putFlag, args, &ignore);
                        return;
                    }
                }
                if (!var && id->scope != Scope::Local) {
                    b = Resolve(id);
                    if (b && b->kind == Binding::Var) var = Target(&b->value);
                }
                if (var) {
                    if (var->vt & VT_ARRAY) {
                        VARIANT* el = ElementRef(var, args);
                        MoveInto(el, v);
                        return;
                    }
                    if (IsObjectVt(var->vt)) {
                        Arg a;
                        a.val = std::move(v);
                        args.push_back(std::move(a));
                        Value ignore;
                        CallDefault(var, args, putFlag, &ignore);
                        return;
                    }
                    Throw(13, id->name);
                }
                if (b && (b->kind == Binding::Member || b->kind == Binding::Item)) {
                    IDispatch* d = ItemObject(b->item);
                    if (!d) Throw(424);
                    Value ov;
                    VariantFromDispatch(&ov, d);
                    Arg a;
                    a.val = std::move(v);
                    args.push_back(std::move(a));
                    Value ignore;
                    if (b->kind == Binding::Item) {
                        CallDefault(&ov, args, putFlag, &ignore);
                    } else {
                        InvokeHost(d, b->dispid, putFlag, args, &ignore, id->name);
                    }
                    return;
                }
                if (!b) Throw(f.explicitVars ? 500 : 13, id->name);
                Throw(501, id->name);
            }
            if (t->kind == EK::Call) {
                // x(0)(1) = v, o.arr(0)(1) = v: the element of the inner array, in place
                Value hold;
                if (VARIANT* base = StorageOf(t, f, &hold)) {
                    if (base->vt & VT_ARRAY) {
                        MoveInto(ElementRef(base, args), v);
                        return;
                    }
                    if (!IsObjectVt(base->vt)) Throw(13);
                }
            }
            Arg a;
            a.val = std::move(v);
            args.push_back(std::move(a));
            Value ignore;
            if (t->kind == EK::Member) {
                auto* m = static_cast<const MemberExpr*>(t);
                Value obj;
                Eval(m->obj.get(), f, &obj);
                CallMember(&obj, m->name, m->lname, putFlag, args, &ignore, f.me);
                return;
            }
            if (t->kind == EK::WithDot) {
                auto* w = static_cast<const WithDotExpr*>(t);
                CallMember(WithObject(f), w->name, w->lname, putFlag, args, &ignore, f.me);
                return;
            }
            Value obj;
            Eval(t, f, &obj);
            CallDefault(&obj, args, putFlag, &ignore);
            return;
        }
        case EK::Me:
        default:
            Throw(501);
    }
}

// ---- Execute / Eval ----

void Interp::EvalCode(WStringView text, Frame* caller, Value* out) {
    DepthGuard depth(&depth_);
    ExprP e = ParseExpression(text, 0);
    Frame f;
    f.parent = caller;
    f.me = caller ? caller->me : nullptr;
    f.prog = caller ? caller->prog : nullptr;
    FrameScope scope(&cur_, &f);
    Eval(e.get(), f, out);
}

void Interp::ExecuteCode(WStringView text, Frame* caller, bool global) {
    DepthGuard depth(&depth_);
    Program* p = Compile(text, 0, 0);
    Frame f;
    if (!global && caller) {
        f.parent = caller;
        f.me = caller->me;
    }
    f.prog = p;
    f.explicitVars = p->optionExplicit;
    FrameScope scope(&cur_, &f);
    ExecBlock(p->body, f);
    Discard(p);  // an error keeps it: the report still points into it
}

IDispatch* Interp::MakeProcRef(const Proc* p) {
    return new ProcRef(this, p);
}

// ---- global namespace ----

class GlobalDispatchObj : public DispatchBase {
public:
    explicit GlobalDispatchObj(Interp* in) : in_(in), alive_(in->AliveFlag()) {}
    DISPID FindMember(const WString& lname, const ClassInstance*) const override {
        if (!*alive_) return DISPID_UNKNOWN;
        return in_->GlobalDispId(lname);
    }
    HRESULT GetIDsOfNames(REFIID iid, const OLECHAR* const* names, uint32_t count, LCID lcid,
                          DISPID* ids) override {
        if (!*alive_) return E_UNEXPECTED;
        return DispatchBase::GetIDsOfNames(iid, names, count, lcid, ids);
    }
    void Call(DISPID id, uint16_t flags, ArgList& args, Value* result) override {
        if (!*alive_) {
            VbsError e;
            e.hr = E_UNEXPECTED;  // the engine is closed
            e.number = E_UNEXPECTED;
            throw e;
        }
        in_->GlobalInvoke(id, flags, args, result);
    }
    WString ClassName() const override { return u"Object"; }

private:
    Interp* in_;
    std::shared_ptr<bool> alive_;
};

IDispatch* Interp::GlobalDispatch() {
    if (!globalDisp_) {
        globalDisp_ = new GlobalDispatchObj(this);
        globalDisp_->AddRef();
    }
    return globalDisp_;
}

DISPID Interp::GlobalDispId(const WString& lname) {
    auto it = bindings_.find(lname);
    if (it == bindings_.end()) return DISPID_UNKNOWN;
    Binding::Kind k = it->second->kind;
    if (k != Binding::Var && k != Binding::ProcB && k != Binding::Const) return DISPID_UNKNOWN;
    for (size_t i = 0; i < globalNames_.size(); ++i)
        if (globalNames_[i] == lname) return DISPID(i + 1);
    globalNames_.push_back(lname);
    return DISPID(globalNames_.size());
}

void Interp::GlobalInvoke(DISPID id, uint16_t flags, ArgList& args, Value* result) {
    if (id < 1 || size_t(id) > globalNames_.size()) Throw(438);
    auto it = bindings_.find(globalNames_[id - 1]);
    if (it == bindings_.end()) Throw(438);
    Binding* b = it->second;
    bool isPut = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (b->kind == Binding::ProcB) {
        CallProc(b->proc, nullptr, args, result);
        return;
    }
    if (isPut) {
        if (b->kind != Binding::Var || args.empty()) Throw(501);
        Value v;
        Assign(&v, args.back().Get());
        StoreVar(Target(&b->value), v);
        return;
    }
    CallDefault(&b->value, args, flags, result);
}

// ---- TypeName ----

WString Interp::TypeName(const VARIANT* v) {
    const VARIANT* t = Target(v);
    if ((t->vt == VT_DISPATCH || t->vt == VT_UNKNOWN) && t->punkVal) {
        if (t->vt == VT_DISPATCH) {
            if (auto* db = dynamic_cast<DispatchBase*>(t->pdispVal)) return db->ClassName();
            ComPtr<ITypeInfo> ti;
            if (SUCCEEDED(t->pdispVal->GetTypeInfo(0, LOCALE_EN_US, ti.Receive())) && ti) {
                if (const InterfaceDesc* d = ti->GetInterfaceDesc()) {
                    WString n = d->name;
                    // interfaces are named "IThing": the class is "Thing"
                    if (n.size() > 1 && n[0] == 'I' && n[1] >= 'A' && n[1] <= 'Z') n.erase(0, 1);
                    return n;
                }
                if (const CoclassDesc* c = ti->GetCoclassDesc()) return c->name;
            }
        }
        return u"Object";
    }
    return TypeNameOf(t);
}

// ---- random numbers (the classic 24-bit generator) ----

double Interp::RandomNext(double arg, bool hasArg) {
    if (hasArg && arg == 0) return lastRnd_;
    if (hasArg && arg < 0) {
        float fv = float(arg);
        uint32_t bits;
        std::memcpy(&bits, &fv, 4);
        rnd_ = (bits + (bits >> 24)) & 0xFFFFFF;
    }
    rnd_ = (rnd_ * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFFu;
    lastRnd_ = float(rnd_) / 16777216.0f;
    return lastRnd_;
}

void Interp::Randomize(double seed, bool hasSeed) {
    double s = seed;
    if (!hasSeed) {
        s = double(std::time(nullptr) % 86400);
    }
    uint64_t bits;
    std::memcpy(&bits, &s, 8);
    uint32_t hi = uint32_t(bits >> 32);
    hi ^= hi >> 16;
    rnd_ = (rnd_ & 0xFF0000FFu) | ((hi & 0xFFFF) << 8);
    rnd_ &= 0xFFFFFF;
}

}  // namespace vbs

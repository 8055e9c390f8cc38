// The type library: its index, the registry of coclasses, the event
// interfaces and one member number per name.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>

#include "script/member_ids.h"
#include "script/script_event.h"
#include "script/type_library.h"

namespace {

TEST(TypeLibrary, Index) {
    const auto& a = ScriptHostLibAttributes();
    EXPECT_EQ(a.guid, MakeProgramGuid(1));
    EXPECT_EQ(a.majorVersion, 0);
    EXPECT_EQ(a.minorVersion, 0);
    EXPECT_EQ(a.lcid, 0x409u);
    EXPECT_EQ(WString(a.help), u"Zarnip Scripting Host");

    const auto& index = ScriptHostLibIndex();
    ASSERT_EQ(index.size(), 91u);
    std::set<uint32_t> firsts;
    std::set<WString> names;
    int interfaces = 0, events = 0, coclasses = 0;
    for (const ScriptTypeEntry& e : index) {
        EXPECT_TRUE(firsts.insert(e.first).second) << e.first;
        EXPECT_TRUE(names.insert(e.name).second) << text::ToUtf8(e.name);
        EXPECT_NE(e.first, 0x405u);
        if (e.kind == ScriptTypeKind::Interface) ++interfaces;
        if (e.kind == ScriptTypeKind::EventInterface) ++events;
        if (e.kind == ScriptTypeKind::Coclass) ++coclasses;
    }
    EXPECT_EQ(interfaces, 38);
    EXPECT_EQ(events, 14);
    EXPECT_EQ(coclasses, 38);
    // A few by their place in the library's own order.
    EXPECT_EQ(WString(index[0].name), u"IApplication");
    EXPECT_EQ(WString(index[2].help), u"Application Class");
    EXPECT_EQ(index[6].first, 0xDu);  // IField follows Map
    EXPECT_EQ(WString(index[89].name), u"Event");
    EXPECT_EQ(index[90].first, 0xE0000001u);
    EXPECT_EQ(index[90].kind, ScriptTypeKind::Enumeration);

    const auto& shapes = ShapeTypeConstants();
    ASSERT_EQ(shapes.size(), 14u);
    const int32_t values[] = {0, 1, 3, 5, 8, 11, 13, 15, 18, 21, 23, 25, 28, 31};
    for (size_t i = 0; i < shapes.size(); ++i) EXPECT_EQ(shapes[i].value, values[i]);
    EXPECT_EQ(WString(shapes[13].name), u"shapeMultipatch");
}

// Every event interface of the index is declared from the event table; an
// event's DISPID is its id and its name the table's (as the library spells
// it).
TEST(TypeLibrary, EventInterfaces) {
    std::set<DISPID> declared;
    int count = 0;
    for (const ScriptTypeEntry& e : ScriptHostLibIndex()) {
        if (e.kind != ScriptTypeKind::EventInterface) continue;
        ++count;
        const InterfaceDesc* d = ScriptEventInterface(e.first);
        ASSERT_NE(d, nullptr) << text::ToUtf8(e.name);
        EXPECT_EQ(d->name, e.name);
        EXPECT_EQ(d->flags & TYPEFLAG_FDUAL, 0u);
        for (const MemberDesc& m : d->members) {
            ASSERT_NE(EventNameFromId(m.dispid), nullptr);
            EXPECT_EQ(EventIdFromName(m.name), m.dispid) << text::ToUtf8(m.name);
            EXPECT_TRUE(m.params.empty());
            declared.insert(m.dispid);
        }
    }
    EXPECT_EQ(count, 14);
    EXPECT_EQ(declared.size(), 39u) << "every event is declared somewhere";
    EXPECT_EQ(ScriptEventInterface(kLibIApplicationEvents)->members[0].name, u"OnStartup");
    EXPECT_TRUE(ScriptEventInterface(kLibIINetEvents)->members.empty());
    EXPECT_EQ(ScriptEventInterface(kLibIMap), nullptr);
}

// The registered classes: each resolves by class id and by interface, the
// same name has the same number in every interface, and the test says
// which library types no class registers yet.
TEST(TypeLibrary, RegisteredClasses) {
    ASSERT_TRUE(RegisterScriptCoclass(CScriptEvent::Class()));
    ASSERT_TRUE(CheckScriptTypeRegistry());
    ITypeInfo* none = reinterpret_cast<ITypeInfo*>(1);
    EXPECT_EQ(GetScriptTypeInfo(nullptr, MakeProgramGuid(0x405), &none), E_FAIL);
    EXPECT_EQ(none, nullptr);

    std::map<std::pair<int, WString>, DISPID> numbers;  // (kind, name) -> DISPID
    std::set<uint32_t> registered;
    for (const CoclassDesc* c : RegisteredScriptCoclasses()) {
        ComPtr<ITypeInfo> byClass, byInterface;
        ASSERT_EQ(GetScriptTypeInfo(u"\\Windows\\Zarnip.exe", c->clsid, byClass.Receive()), S_OK);
        EXPECT_EQ(byClass->GetCoclassDesc(), c);
        ASSERT_EQ(GetScriptTypeInfo(nullptr, c->defaultInterface->iid, byInterface.Receive()), S_OK);
        EXPECT_EQ(byInterface->GetInterfaceDesc(), c->defaultInterface);
        EXPECT_EQ(FindScriptCoclass(c->defaultInterface->iid), c);
        registered.insert(c->clsid.Data1);
        registered.insert(c->defaultInterface->iid.Data1);
        if (c->defaultSource) registered.insert(c->defaultSource->iid.Data1);
        for (const MemberDesc& m : c->defaultInterface->members) {
            if (m.dispid == dispid::kDefault || m.dispid == dispid::kNewEnum) continue;
            const int kind = m.kind == INVOKE_FUNC ? 0 : 1;
            if (kind == 1) {
                EXPECT_EQ(m.dispid & 0xFFFF0000, 0x10000) << text::ToUtf8(m.name);
            }
            auto it = numbers.emplace(std::make_pair(kind, m.name), m.dispid).first;
            EXPECT_EQ(it->second, m.dispid) << text::ToUtf8(m.name);
        }
    }
    EXPECT_EQ(FindScriptCoclass(ScriptLibGuid(kLibEvent)), &CScriptEvent::Class());
    // ThisEvent's members carry the library's numbers.
    EXPECT_EQ(numbers.at({1, u"MessageText"}), dispid::prop::MessageText);
    EXPECT_EQ(numbers.at({1, u"ID"}), 0x1006B);

    std::string missing;
    for (const ScriptTypeEntry& e : ScriptHostLibIndex())
        if (e.kind != ScriptTypeKind::Enumeration && !registered.count(e.first) &&
            !(e.kind == ScriptTypeKind::EventInterface))
            missing += " " + text::ToUtf8(e.name);
    std::printf("Library types without a registered class yet:%s\n", missing.c_str());
}

TEST(TypeLibrary, RegistrationConflicts) {
    static const InterfaceDesc iface = [] {
        InterfaceDesc d;
        d.iid = MakeProgramGuid(0x7F200001);
        d.name = u"ITwice";
        return d;
    }();
    static const CoclassDesc one{MakeProgramGuid(0x7F200002), u"One", &iface, nullptr};
    static const CoclassDesc other{MakeProgramGuid(0x7F200003), u"Other", &iface, nullptr};
    EXPECT_TRUE(RegisterScriptCoclass(one));
    EXPECT_TRUE(RegisterScriptCoclass(one));
    EXPECT_FALSE(RegisterScriptCoclass(other)) << "one coclass per interface";
    EXPECT_EQ(FindScriptCoclass(iface.iid), &one);
    EXPECT_EQ(FindScriptCoclass(other.clsid), nullptr);
}

}  // namespace

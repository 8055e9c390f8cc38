// Events: FireScriptEvent with in-test sources and sinks, ThisEvent's
// answer channel, the event table, and clean-ups deferred past scripts.
#include <gtest/gtest.h>

#include <functional>

#include "gps/aux_port.h"
#include "gps/gps.h"
#include "shell/forms/forms.h"
#include "shell/frame/main_frame.h"
#include "script_world.h"

namespace scripttest {
namespace {

// A sink on a source's event interface that runs a callback per event.
class Sink final : public UntypedDispatch {
public:
    Sink(IID iid, std::function<void(DISPID)> onEvent) : iid_(iid), onEvent_(std::move(onEvent)) {}
    HRESULT GetIDsOfNames(REFIID, const OLECHAR* const*, uint32_t, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT Invoke(DISPID id, REFIID, LCID, uint16_t flags, DISPPARAMS* params, VARIANT*,
                   EXCEPINFO*, uint32_t*) override {
        EXPECT_EQ(flags, DISPATCH_METHOD);
        EXPECT_EQ(params ? params->cArgs : 0u, 0u);
        onEvent_(id);
        return E_FAIL;  // a failing sink stops nothing
    }
    // Advises on the source; answers the cookie.
    uint32_t Advise(IDispatch* source) {
        ComPtr<IConnectionPointContainer> c;
        EXPECT_EQ(source->QueryInterface(IID_IConnectionPointContainer, c.ReceiveVoid()), S_OK);
        ComPtr<IConnectionPoint> point;
        EXPECT_EQ(c->FindConnectionPoint(iid_, point.Receive()), S_OK);
        point_ = point.Get();  // not counted: the point would hold its sink and the sink it
        uint32_t cookie = 0;
        EXPECT_EQ(point_->Advise(this, &cookie), S_OK);
        return cookie;
    }
    HRESULT Unadvise(uint32_t cookie) { return point_->Unadvise(cookie); }

private:
    bool Answers(REFIID iid) const override { return iid == IID_IDispatch || iid == iid_; }
    IID iid_;
    std::function<void(DISPID)> onEvent_;
    IConnectionPoint* point_ = nullptr;
};

class EventTest : public ScriptWorld {
protected:
    const IID kLayerEvents = ScriptLibGuid(kLibILayerEvents);
    ComPtr<Sink> NewSink(std::function<void(DISPID)> f) {
        return ComPtr<Sink>::Adopt(new Sink(kLayerEvents, std::move(f)));
    }
    static std::string Name() {
        BSTR b = nullptr;
        if (FAILED(ThisEvent().get_Name(&b))) return "<none>";
        std::string s = text::ToUtf8(BstrView(b));
        SysFreeString(b);
        return s;
    }
};

TEST_F(EventTest, Delivery) {
    TLayer* layer = Layer(0);
    std::vector<std::string> seen;
    ComPtr<Sink> first = NewSink([&](DISPID id) {
        seen.push_back("first " + std::to_string(id) + " " + Name() + " ID " +
                       std::to_string(ThisEvent().GetID()));
    });
    ComPtr<Sink> second = NewSink([&](DISPID id) { seen.push_back("second " + std::to_string(id)); });
    const uint32_t c1 = first->Advise(layer);
    second->Advise(layer);
    first->Advise(layer);  // twice: delivered twice
    EXPECT_EQ(first->Unadvise(999), CONNECT_E_NOCONNECTION);

    SetEventResultBool(true);
    VARIANT* result = FireScriptEventNow(layer, 24, false, 7);
    EXPECT_EQ(result, ThisEvent().ResultPtr());
    EXPECT_EQ(seen, (std::vector<std::string>{"first 24 OnOpen ID 7", "second 24",
                                              "first 24 OnOpen ID 7"}));
    EXPECT_EQ(ThisEvent().CurrentEventId(), -1);
    EXPECT_EQ(ThisEvent().CurrentSource(), nullptr);
    EXPECT_EQ(Name(), "<none>");
    EXPECT_EQ(result->vt, VT_BOOL) << "kept without the clear flag";
    FireScriptEventNow(layer, 25, true, 0);
    EXPECT_EQ(result->vt, VT_EMPTY) << "cleared with it";

    // A null source and a plain object fire nothing and leave Result.
    seen.clear();
    ComVariant text(u"kept");
    ThisEvent().SetResult(text);
    FireScriptEventNow(nullptr, 24, true, 0);
    ComPtr<IDispatch> plain = ComPtr<IDispatch>::Adopt(CreatePlainScriptObject());
    FireScriptEventNow(plain.Get(), 24, false, 0);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(BstrView(ThisEvent().ResultPtr()->bstrVal), u"kept");
    first->Unadvise(c1);
}

// The answer protocol: what Result answers, by what was stored last.
TEST_F(EventTest, Answers) {
    struct Case {
        const char* what;
        std::function<void()> store;
        bool answer;
    };
    const Case cases[] = {
        {"nothing ever set", [] {}, false},
        {"the firer's preset", [] { SetEventResultBool(true); }, true},
        {"False", [] { SetEventResultBool(false); }, false},
        {"0", [] { ThisEvent().SetResult(ComVariant(int32_t{0})); }, false},
        {"a short", [] {
             VARIANT v;
             v.vt = VT_I2;
             v.iVal = 4;
             ThisEvent().SetResult(v);
         }, true},
        {"\"False\"", [] { ThisEvent().SetResult(ComVariant(u"False")); }, false},
        {"\"True\"", [] { ThisEvent().SetResult(ComVariant(u"True")); }, true},
        {"0.5", [] { ThisEvent().SetResult(ComVariant(0.5)); }, true},
        {"\"abc\"", [] { ThisEvent().SetResult(ComVariant(u"abc")); }, false},
        {"true, then a clearing fire", [this] {
             SetEventResultBool(true);
             FireScriptEventNow(Layer(0), 24, true, 0);
         }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetThisEventForTests();
        c.store();
        EXPECT_EQ(GetEventResultBool(false), c.answer);
        EXPECT_EQ(services_->GetEventResultBool(true), c.answer);
        EXPECT_EQ(ThisEvent().ResultPtr()->vt, VT_EMPTY) << "cleared by the reader";
    }
    // Type and text: reset by ResetEventState, kept across events.
    ThisEvent().put_MessageType(48);
    BSTR text = SysAllocString(u"Too long");
    ThisEvent().put_MessageText(&text);
    SysFreeString(text);
    FireScriptEventNow(Layer(0), 24, true, 0);
    EXPECT_EQ(services_->GetEventMessageType(), 48u);
    EXPECT_EQ(services_->GetEventMessageText(), u"Too long");
    services_->ResetEventState();
    EXPECT_EQ(services_->GetEventMessageType(), 0u);
    EXPECT_EQ(services_->GetEventMessageText(), u"");
}

// A handler that fires another event keeps its own event; sinks may drop
// themselves, the next sink, and the last reference to their source.
TEST_F(EventTest, ReentrantHandlers) {
    std::vector<std::string> seen;
    ComPtr<TLayer> outer(new TLayer(u"Outer"));
    ComPtr<TLayer> inner(new TLayer(u"Inner"));
    uint32_t selfCookie = 0, nextCookie = 0;
    ComPtr<Sink> innerSink = NewSink([&](DISPID) { seen.push_back("inner " + Name()); });
    innerSink->Advise(inner.Get());
    ComPtr<Sink> self;
    self = NewSink([&](DISPID) {
        seen.push_back("before " + Name());
        FireScriptEventNow(inner.Get(), 25, false, 2);
        IDispatch* source = nullptr;
        EXPECT_EQ(ThisEvent().get_Object(&source), S_OK);
        seen.push_back("after " + Name() + " " + std::to_string(ThisEvent().GetID()));
        if (source) source->Release();
        self->Unadvise(selfCookie);
        self->Unadvise(nextCookie);
    });
    ComPtr<Sink> next = NewSink([&](DISPID) { seen.push_back("next"); });
    selfCookie = self->Advise(outer.Get());
    nextCookie = next->Advise(outer.Get());
    FireScriptEventNow(outer.Get(), 24, true, 1);
    FireScriptEventNow(outer.Get(), 24, true, 1);
    EXPECT_EQ(seen, (std::vector<std::string>{"before OnOpen", "inner OnClose", "after OnOpen 1"}));
    EXPECT_EQ(ThisEvent().GetID(), 1) << "the outermost event's ID stays";

    // The last reference to the source goes inside its own handler.
    TLayer* doomed = new TLayer(u"Doomed");
    doomed->AddRef();
    bool ran = false;
    ComPtr<Sink> dropper = NewSink([&](DISPID) {
        ran = true;
        doomed->Release();
    });
    dropper->Advise(doomed);
    dropper.Reset();
    FireScriptEventNow(doomed, 24, true, 0);
    EXPECT_TRUE(ran);
}

TEST_F(EventTest, TheEventTableAndTheFirers) {
    ASSERT_EQ(std::size(ScriptEventTable), 39u);
    for (int i = 0; i < 39; ++i) {
        EXPECT_EQ(ScriptEventTable[i].id, i + 1);
        EXPECT_EQ(EventIdFromName(ScriptEventTable[i].name), i + 1);
        EXPECT_STREQ(reinterpret_cast<const char*>(text::ToUtf8(EventNameFromId(i + 1)).c_str()),
                     text::ToUtf8(ScriptEventTable[i].name).c_str());
    }
    EXPECT_EQ(EventIdFromName(u"onpointerdown"), 18);
    EXPECT_EQ(EventIdFromName(u"OnStartup"), 1);
    EXPECT_EQ(EventIdFromName(u"OnPointer"), 0);
    EXPECT_EQ(EventNameFromId(0), nullptr);
    EXPECT_EQ(EventNameFromId(40), nullptr);
    // Each firer's constant names its row.
    const std::pair<int, const char16_t*> firers[] = {
        {kEventOnOpen, u"OnOpen"},
        {kEventOnClose, u"OnClose"},
        {kEventOnAfterDraw, u"OnAfterDraw"},
        {kEventOnSelectionChanged, u"OnSelectionChanged"},
        {kEventOnFeatureAdded, u"OnFeatureAdded"},
        {kEventOnFeatureChanged, u"OnFeatureChanged"},
        {kEventOnFeatureDeleted, u"OnFeatureDeleted"},
        {kEventOnInRange, u"OnInRange"},
        {kEventOnGoto, u"OnGoto"},
        {kGpsEventOnSentence, u"OnSentence"},
        {kGpsEventOnPosition, u"OnPosition"},
        {kGpsEventOnOpen, u"OnOpen"},
        {kGpsEventOnClose, u"OnClose"},
        {kGpsEventOnAverageStart, u"OnAverageStart"},
        {kGpsEventOnAverageStop, u"OnAverageStop"},
        {kGpsEventOnExEvent, u"OnExEvent"},
        {CAuxPort::kOnOpen, u"OnOpen"},
        {CAuxPort::kOnClose, u"OnClose"},
        {CAuxPort::kOnComm, u"OnComm"},
        {kEventOnShutdown, u"OnShutDown"},
        {kEventOnTimer, u"OnTimer"},
        {kEventOnExEvent, u"OnExEvent"},
        {kFormEventOnLoad, u"OnLoad"},
        {kFormEventOnUnload, u"OnUnload"},
        {kFormEventOnSetActive, u"OnSetActive"},
        {kFormEventOnKillActive, u"OnKillActive"},
        {kFormEventOnClick, u"OnClick"},
        {kFormEventOnDblClick, u"OnDblClick"},
        {kFormEventOnSetFocus, u"OnSetFocus"},
        {kFormEventOnKillFocus, u"OnKillFocus"},
        {kFormEventOnChange, u"OnChange"},
        {kFormEventOnDropDown, u"OnDropDown"},
        {kFormEventOnValidate, u"OnValidate"},
        {kFormEventOnOK, u"OnOK"},
        {kFormEventOnCancel, u"OnCancel"},
        {kFormEventOnSelChange, u"OnSelChange"},
        {kFormEventOnSelCancel, u"OnSelCancel"},
        {kFormEventOnSelOK, u"OnSelOK"},
        {kFormEventOnCloseUp, u"OnCloseUp"},
        {kFormEventOnRefresh, u"OnRefresh"},
    };
    for (const auto& [id, name] : firers)
        EXPECT_EQ(WString(EventNameFromId(id) ? EventNameFromId(id) : u""), name) << id;
}

// Clean-ups wait for the outermost script or event.
TEST_F(EventTest, CleanUpsAfterScripts) {
    std::vector<std::string> seen;
    services_->RunAfterScripts([&] { seen.push_back("at once"); });
    CScriptHost& host = NewHost();
    EXPECT_TRUE(host.AddNamedItem(u"Layer", Layer(0), 6));
    EXPECT_TRUE(host.AddScriptlet(u"Layer", 24, u"Log.Write \"handler\""));
    host.SetScriptState(ScriptState::Connected);
    ComPtr<Sink> sink = NewSink([&](DISPID) {
        services_->RunAfterScripts([&] { seen.push_back("deferred"); });
        seen.push_back("sink");
    });
    sink->Advise(Layer(0));
    FireScriptEvent(Layer(0), 24, true, 0);
    seen.push_back("returned");
    EXPECT_EQ(seen, (std::vector<std::string>{"at once", "sink", "deferred", "returned"}));
    EXPECT_EQ(Log(), (std::vector<std::string>{"handler"}));
}

}  // namespace
}  // namespace scripttest

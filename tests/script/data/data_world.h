// A scripting world for the data objects: the script world plus a factory
// item ("App", with CreateAppObject as the application has it) over a map
// coordinate system the test sets, and helpers to read fixtures.
#pragma once

#include <cmath>
#include <fstream>
#include <sstream>

#include "crs/geographic.h"
#include "crs/wkt.h"
#include "script/data/script_data_objects.h"
#include "script_world.h"

namespace scripttest {

class TFactory : public CScriptObject<TFactory> {
public:
    static const InterfaceDesc& Desc() {
        static const InterfaceDesc d =
            InterfaceBuilder<TFactory>(u"ITestFactory", MakeProgramGuid(0x7F000101))
                .Method(u"CreateAppObject", dispid::method::CreateAppObject,
                        &TFactory::CreateAppObject, {Param(u"Name")})
                .Build();
        return d;
    }
    static const CoclassDesc& Class() {
        static const CoclassDesc c{MakeProgramGuid(0x7F000102), u"TestFactory", &Desc(), nullptr};
        return c;
    }
    HRESULT CreateAppObject(BSTR name, IDispatch** out) {
        HRESULT hr = CreateDataScriptObject(BstrView(name), mapCs, out);
        return hr == S_FALSE ? E_INVALIDARG : hr;
    }
    CCoordSys* mapCs = nullptr;
};

inline std::string ReadHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A system from a .prj of the crs fixtures.
inline std::unique_ptr<CCoordSys> SystemFromPrj(const std::string& name) {
    CWktCoordSys wkt;
    const std::string text = ReadHostFile(std::string(ZN_TEST_DATA) + "/crs/prj/" + name + ".prj");
    if (!wkt.ParseWkt(text::FromUtf8(text))) return nullptr;
    return wkt.CreateProjection();
}

class DataWorld : public ScriptWorld {
protected:
    void SetUp() override {
        ScriptWorld::SetUp();
        factory_ = ComPtr<TFactory>(new TFactory);
    }
    void TearDown() override {
        hosts_.clear();
        items_.clear();
        factory_.Reset();
        mapCs_.reset();
        ScriptWorld::TearDown();
    }
    void SetMapSystem(std::unique_ptr<CCoordSys> cs) {
        mapCs_ = std::move(cs);
        factory_->mapCs = mapCs_.get();
    }
    CScriptHost& Host(const char16_t* language = u"VBScript") {
        CScriptHost& host = NewHost(language);
        EXPECT_TRUE(host.AddNamedItem(u"App", factory_.Get(), 2));
        for (auto& [name, object] : items_)
            EXPECT_TRUE(host.AddNamedItem(name.c_str(), object.Get(), 2));
        return host;
    }
    // Runs a VBScript text in a new host; the log lines it wrote.
    std::vector<std::string> Run(const std::u16string& script,
                                 const char16_t* language = u"VBScript") {
        Log().clear();
        CScriptHost& host = Host(language);
        EXPECT_TRUE(host.ExecuteString(script.c_str()));
        host.SetScriptState(ScriptState::Started);
        EXPECT_TRUE(Boxes().empty()) << Boxes()[0];
        return Log();
    }
    // Copies a file of tests/data under the device root; its device path.
    WString Fixture(const std::string& rel, const std::string& as = "") {
        return Put(as.empty() ? rel : as, ReadHostFile(std::string(ZN_TEST_DATA) + "/" + rel));
    }

    // A named item of the next hosts.
    void AddItem(const char16_t* name, IDispatch* object) {
        items_.emplace_back(name, ComPtr<IDispatch>(object));
    }

    ComPtr<TFactory> factory_;
    std::vector<std::pair<WString, ComPtr<IDispatch>>> items_;
    std::unique_ptr<CCoordSys> mapCs_;
};

}  // namespace scripttest

// A scripting world for the tests: the installed script services, a device
// root, the program's system objects in their order and flags (in-test
// objects until the real ones exist), hosts made as the program makes them,
// and the message boxes they showed.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "core/xml_node.h"
#include "platform/fs/fs.h"
#include "platform/win/msgbox.h"
#include "platform/win/window.h"
#include "script/script_binding.h"
#include "script/script_services.h"
#include "script_objects.h"

namespace scripttest {

// One box as "caption|text".
inline std::vector<std::string> Boxes() {
    std::vector<std::string> out;
    for (const auto& b : win::MessageBoxLog()) out.push_back(text::ToUtf8(b.caption + u"|" + b.text));
    return out;
}

class ScriptWorld : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/zn-script-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root_ = tmpl;
        setenv("ZARNIP_ROOT", root_.c_str(), 1);
        fs::ResetConfiguration();
        win::ResetForTests();
        ResetThisEventForTests();
        TheJournal().lines.clear();
        services_ = std::make_unique<CScriptServices>();
        SetScriptServices(services_.get());
        app_ = ComPtr<TApplication>(new TApplication);
        map_ = ComPtr<TMap>(new TMap);
        nav_ = ComPtr<TNavigation>(new TNavigation);
        log_ = ComPtr<TLog>(new TLog);
        for (const char16_t* n : {u"Main", u"Survey", u"Tracker"})
            app_->applets->items.emplace_back(new TApplet(n));
        for (const char16_t* n : {u"Roads", u"Rivers", u"Towns"})
            map_->layers->items.emplace_back(new TLayer(n));
        TLayer* roads = map_->layers->items[0].Get();
        roads->records->fields->items.emplace_back(new TField(u"NAME", ComVariant(u"Main Street")));
        roads->records->fields->items.emplace_back(new TField(u"LANES", ComVariant(int32_t{2})));
        roads->records->fields->shape = ComPtr<IDispatch>(new TPoint);
    }
    void TearDown() override {
        hosts_.clear();
        app_.Reset();
        map_.Reset();
        nav_.Reset();
        log_.Reset();
        SetScriptServices(nullptr);
        services_.reset();
        ResetThisEventForTests();
        win::ResetForTests();
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
        unsetenv("ZARNIP_ROOT");
        fs::ResetConfiguration();
    }

    // The system objects as the application registers them, then the
    // tests' log.
    void RegisterSystemObjects(CScriptHost& host) {
        EXPECT_TRUE(host.AddNamedItem(u"Application", app_.Get(), 14));
        EXPECT_TRUE(host.AddNamedItem(u"Map", map_.Get(), 14));
        EXPECT_TRUE(host.AddNamedItem(u"Navigation", nav_.Get(), 14));
        EXPECT_TRUE(host.AddNamedItem(u"ThisEvent", &ThisEvent(), 14));
        EXPECT_TRUE(host.AddNamedItem(u"Log", log_.Get(), 2));
    }

    // A started host with the system objects (the global host's start).
    CScriptHost& NewHost(const char16_t* language = u"VBScript", bool keepTexts = true) {
        hosts_.push_back(std::make_unique<CScriptHost>());
        CScriptHost& host = *hosts_.back();
        if (keepTexts) host.CreateHeap();
        EXPECT_TRUE(host.StartEngine(language));
        RegisterSystemObjects(host);
        if (!app_->host) app_->host = &host;
        return host;
    }

    // A file under the device root; answers its device path.
    WString Put(const std::string& rel, const std::string& bytes) {
        std::filesystem::path p = std::filesystem::path(root_) / rel;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
        WString device = u"\\" + text::FromUtf8(rel);
        for (WChar& c : device)
            if (c == u'/') c = u'\\';
        return device;
    }

    // An XML file under the device root, read as the program reads it.
    std::unique_ptr<CXmlDocument> Xml(const std::string& rel, const std::string& xml) {
        auto doc = std::make_unique<CXmlDocument>();
        EXPECT_TRUE(doc->LoadFile(Put(rel, xml))) << xml;
        return doc;
    }

    TLayer* Layer(int i) { return map_->layers->items[static_cast<size_t>(i)].Get(); }
    std::vector<std::string>& Log() { return TheJournal().lines; }

    std::string root_;
    std::unique_ptr<CScriptServices> services_;
    ComPtr<TApplication> app_;
    ComPtr<TMap> map_;
    ComPtr<TNavigation> nav_;
    ComPtr<TLog> log_;
    std::vector<std::unique_ptr<CScriptHost>> hosts_;
};

}  // namespace scripttest

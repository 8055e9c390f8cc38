// A small add-in for the host's loading tests: a toolbar whose items are a
// counting command, an identifier the add-in does not know and a command
// that lets a host error cross into the add-in and throws one back.
#include <strings.h>

#include <memory>
#include <string>

#include "desktop/host/host_interfaces.h"

namespace {

class Counter : public host::ICommand {
public:
    bool Enabled() const override { return true; }
    bool Checked() const override { return false; }
    std::string Name() const override { return "Counter"; }
    std::string Caption() const override { return "Count"; }
    // How often OnCreate ran.
    std::string Tooltip() const override { return std::to_string(m_creates); }
    std::string Message() const override { return "counts"; }
    std::string HelpFile() const override { return {}; }
    int HelpContextId() const override { return 0; }
    const host::HostImage& Bitmap() const override { return m_image; }
    std::string Category() const override { return "Test"; }
    void OnCreate(host::IHostApplication* app) override {
        ++m_creates;
        m_app = app;
    }
    void OnClick() override {}

protected:
    host::IHostApplication* m_app = nullptr;
    int m_creates = 0;
    host::HostImage m_image{2, 1, {0xFF000000u, 0xFFFFFFFFu}};
};

class Thrower : public Counter {
public:
    std::string Caption() const override { return "Throw"; }
    // What the add-in caught of the host.
    std::string Message() const override { return m_caught; }
    void OnClick() override {
        try {
            m_app->Document()->FocusMap()->Layer(99);
        } catch (const host::HostError& e) {
            m_caught = e.what();
        }
        throw host::HostError("from the add-in");
    }

private:
    std::string m_caught;
};

class Toolbar : public host::IToolBarDef {
public:
    int ItemCount() const override { return 3; }
    void GetItemInfo(int position, host::IHostItemDef& item) const override {
        static const char* kIds[] = {"Test.Counter", "Test.Unknown", "TEST.THROWER"};
        item.SetId(kIds[position]);
        item.SetGroup(false);
    }
    std::string Name() const override { return "TestBar"; }
    std::string Caption() const override { return "Test Bar"; }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) host::AddInObject* ZnCreateObject(
    const char* progId) {
    auto obj = std::make_unique<host::AddInObject>();
    if (::strcasecmp(progId, "Test.Toolbar") == 0)
        obj->toolbar = std::make_unique<Toolbar>();
    else if (::strcasecmp(progId, "Test.Counter") == 0)
        obj->command = std::make_unique<Counter>();
    else if (::strcasecmp(progId, "Test.Thrower") == 0)
        obj->command = std::make_unique<Thrower>();
    else
        return nullptr;
    return obj.release();
}

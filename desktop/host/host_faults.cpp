#include "desktop/host/host_faults.h"

#include <map>
#include <mutex>

#include "desktop/host/host_interfaces.h"

namespace host {
namespace {

struct Fault {
    bool always = false;
    int remaining = 0;  // calls until the one that fails
    std::string description;
};

std::mutex g_mutex;
std::map<std::string, Fault, std::less<>> g_faults;

}  // namespace

void HostFaults::FailAlways(const std::string& operation, const std::string& description) {
    std::lock_guard lock(g_mutex);
    g_faults[operation] = Fault{true, 0, description};
}

void HostFaults::FailNth(const std::string& operation, int n, const std::string& description) {
    std::lock_guard lock(g_mutex);
    g_faults[operation] = Fault{false, n < 1 ? 1 : n, description};
}

void HostFaults::Reset() {
    std::lock_guard lock(g_mutex);
    g_faults.clear();
}

void HostFaults::Check(const char* operation) {
    std::string description;
    {
        std::lock_guard lock(g_mutex);
        if (g_faults.empty()) return;
        auto it = g_faults.find(std::string_view(operation));
        if (it == g_faults.end()) return;
        Fault& f = it->second;
        if (!f.always && --f.remaining > 0) return;
        description = f.description.empty() ? std::string(operation) + " failed" : f.description;
        if (!f.always) g_faults.erase(it);
    }
    throw HostError(description);
}

}  // namespace host

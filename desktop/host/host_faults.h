// Failing host calls on demand, for tests: any named role operation
// ("IHostMap::Layers", "IHostFeatureDataConverter::Convert") can be made to
// raise HostError on its n-th call from now or on every call. Every role
// operation of the host asks here first.
#pragma once

#include <string>

namespace host {

class HostFaults {
public:
    // The operation fails on every call.
    static void FailAlways(const std::string& operation, const std::string& description = {});
    // The operation fails on its n-th call from now (1 = the next), once.
    static void FailNth(const std::string& operation, int n, const std::string& description = {});
    // Clears every fault and count.
    static void Reset();
    // Raises HostError when a fault is due for the operation. The default
    // description is "<operation> failed".
    static void Check(const char* operation);
};

}  // namespace host

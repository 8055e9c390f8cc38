// Shared objects loaded at run time: load, look up a symbol, free, and the
// loader's last error text. A thin layer over the dynamic loader.
#pragma once

#include <string>

namespace sys {

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary() { Free(); }
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;

    // Loads a host path with every symbol bound now and none made global.
    // False (and ErrorText() says why) when it does not load.
    bool Load(const std::string& hostPath);
    bool IsLoaded() const { return handle_ != nullptr; }
    // The symbol's address, or null.
    void* Find(const char* name) const;
    template <class F>
    F FindFunction(const char* name) const {
        return reinterpret_cast<F>(Find(name));
    }
    void Free();
    // The loader's handle (for the loader's own calls).
    void* Handle() const { return handle_; }
    // Why the last Load failed.
    const std::string& ErrorText() const { return error_; }

private:
    void* handle_ = nullptr;
    std::string error_;
};

}  // namespace sys

#include "platform/sys/dynamic_library.h"

#include <dlfcn.h>

#include <utility>

namespace sys {

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), error_(std::move(other.error_)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        Free();
        handle_ = std::exchange(other.handle_, nullptr);
        error_ = std::move(other.error_);
    }
    return *this;
}

bool DynamicLibrary::Load(const std::string& hostPath) {
    Free();
    error_.clear();
    handle_ = ::dlopen(hostPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* text = ::dlerror();
        error_ = text ? text : "cannot load " + hostPath;
        return false;
    }
    return true;
}

void* DynamicLibrary::Find(const char* name) const {
    return handle_ ? ::dlsym(handle_, name) : nullptr;
}

void DynamicLibrary::Free() {
    if (handle_) ::dlclose(handle_);
    handle_ = nullptr;
}

}  // namespace sys

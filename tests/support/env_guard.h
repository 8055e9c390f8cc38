// Sets a variable of the environment for a scope and puts back what was
// there before (or removes it), also when an assertion ends the test.
#pragma once

#include <cstdlib>
#include <string>

namespace zntest {

class EnvGuard {
public:
    EnvGuard(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old, had_ = true;
        setenv(name, value.c_str(), 1);
    }
    ~EnvGuard() {
        if (had_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

}  // namespace zntest

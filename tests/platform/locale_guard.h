// Puts the process locale back when a test that changed it ends, also when
// an assertion ends it early.
#pragma once

#include <clocale>
#include <string>

class LocaleGuard {
public:
    LocaleGuard() {
        const char* current = std::setlocale(LC_ALL, nullptr);
        saved_ = current ? current : "C";
    }
    ~LocaleGuard() { std::setlocale(LC_ALL, saved_.c_str()); }
    LocaleGuard(const LocaleGuard&) = delete;
    LocaleGuard& operator=(const LocaleGuard&) = delete;

private:
    std::string saved_;
};

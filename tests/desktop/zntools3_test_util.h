// Small helpers for the desktop support library's tests: temporary folders,
// documents that give their handles back, getters into strings.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/run_command.h"
#include "zarnip/zntools3.h"

namespace zn3test {

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class TempDir {
public:
    TempDir() {
        std::string t = (std::filesystem::temp_directory_path() / "zntools3-XXXXXX").string();
        path_ = mkdtemp(t.data()) ? t : std::string();
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string Path(const std::string& name) const { return name.empty() ? path_ : path_ + "/" + name; }
    std::string Write(const std::string& name, const std::string& bytes) const {
        WriteAll(Path(name), bytes);
        return Path(name);
    }

private:
    std::string path_;
};

inline std::string Text(int32_t (*getter)(znXmlNode*, char*, int32_t), znXmlNode* node) {
    char buf[4096];
    getter(node, buf, sizeof buf);
    return buf;
}

inline std::string Text(int32_t (*getter)(znXmlNode*, const char*, char*, int32_t), znXmlNode* node,
                        const char* name) {
    char buf[4096];
    getter(node, name, buf, sizeof buf);
    return buf;
}

// A loaded document whose handles are given back at the end.
class Doc {
public:
    explicit Doc(const std::string& path) : doc_(xmlLoad(path.c_str())) {}
    ~Doc() { Release(); }
    Doc(const Doc&) = delete;
    Doc& operator=(const Doc&) = delete;
    explicit operator bool() const { return doc_ != nullptr; }
    operator znXmlNode*() const { return doc_; }
    znXmlNode* Root() {
        if (!root_ && doc_) root_ = xmlGetNode(doc_, "*");
        return root_;
    }
    void Release() {
        xmlRelease(root_);
        xmlRelease(doc_);
        root_ = doc_ = nullptr;
    }
    std::string SaveAndRead(const std::string& path) {
        return xmlSave(doc_, path.c_str()) ? ReadAll(path) : std::string("(not saved)");
    }

private:
    znXmlNode* doc_;
    znXmlNode* root_ = nullptr;
};

inline int Run(const std::string& command) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline std::string Output(const std::string& command) {
    return testsupport::RunCommand(command);
}

// What the code under test writes to standard error while this lives.
class StderrCapture {
public:
    StderrCapture() {
        std::fflush(stderr);
        saved_ = dup(2);
        std::string t = (std::filesystem::temp_directory_path() / "zntools3-err-XXXXXX").string();
        file_ = mkstemp(t.data());
        path_ = t;
        dup2(file_, 2);
    }
    ~StderrCapture() {
        Take();
        close(file_);
        std::remove(path_.c_str());
    }
    std::string Take() {
        if (saved_ >= 0) {
            std::fflush(stderr);
            dup2(saved_, 2);
            close(saved_);
            saved_ = -1;
        }
        return ReadAll(path_);
    }

private:
    int saved_ = -1;
    int file_ = -1;
    std::string path_;
};

// Three rows made by shapelib's tools; the first row marked deleted.
inline std::string MakeTableWithDeletedFirstRow(const TempDir& dir, const std::string& name) {
    const std::string path = dir.Path(name);
    const std::string q = "'" + path + "'";
    if (Run("dbfcreate " + q + " -s NAME 10 -n VAL 5 0 && dbfadd " + q + " abc 1 && dbfadd " + q + " def 2 && dbfadd " +
            q + " ghi 3") != 0)
        return path;
    std::string bytes = ReadAll(path);
    if (bytes.size() > 10) {
        const size_t headerLength = static_cast<unsigned char>(bytes[8]) | (static_cast<unsigned char>(bytes[9]) << 8);
        if (headerLength < bytes.size()) bytes[headerLength] = '*';
        WriteAll(path, bytes);
    }
    return path;
}

}  // namespace zn3test

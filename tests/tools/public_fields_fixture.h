// Declarations the public-field check must tell apart.
#pragma once

#include <functional>
#include <memory>

class Kept {
public:
    static constexpr int kLimit = 10;
    static const int kOther = 2;
    using Callback = std::function<void(int)>;
    enum class Mode { A, B };
    struct Record {
        int x = 0;
    };
    friend class Friend;

    Kept() : m_a(1), m_b{2} {}
    explicit Kept(int a) { m_a = a; }
    ~Kept() = default;
    Kept(const Kept&) = delete;
    Kept& operator=(const Kept&) = delete;
    bool operator==(const Kept& o) const { return m_a == o.m_a; }
    int A() const { return m_a; }
    void Set(int a, const char* why = "a:b; {c}");
    std::function<void(int)> Make(int (*f)(int)) const;
    template <class T>
    T As() const {
        return T(m_a);
    }
    virtual void Draw() = 0;

private:
    int m_a = 0;
    int m_b{0};

public:
    void Later() {}

protected:
    int m_c = 0;
};

struct Dirty {
    int m_open = 0;
    Dirty() = default;

private:
    int m_hidden = 0;

public:
    std::function<void(int)> m_callback;
    std::unique_ptr<int[]> m_points;
    int (*m_hook)(int) = nullptr;
    double m_table[3] = {1, 2, 3};
    static int s_count;
    bool m_braced{false};
};

// gdi::Owned: one pen, brush, font, bitmap or region that its holder
// deletes when it goes. The object must be out of every DC by then (a
// selected object is not deleted): select the old one back, or restore the
// saved DC state, before the holder ends.
#pragma once

#include <utility>

#include "platform/gdi/gdi.h"

namespace gdi {

template <GdiHandlePointee T>
class Owned {
public:
    Owned() = default;
    explicit Owned(T* handle) : m_handle(handle) {}
    ~Owned() { reset(); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned(Owned&& other) noexcept : m_handle(other.release()) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    T* get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    // Deletes the object held and holds `handle` instead.
    void reset(T* handle = nullptr) {
        T* old = std::exchange(m_handle, handle);
        if (old && old != handle) DeleteObject(old);
    }
    // Gives the object up without deleting it.
    T* release() { return std::exchange(m_handle, nullptr); }

private:
    T* m_handle = nullptr;
};

using OwnedPen = Owned<HPEN__>;
using OwnedBrush = Owned<HBRUSH__>;
using OwnedFont = Owned<HFONT__>;
using OwnedBitmap = Owned<HBITMAP__>;
using OwnedRegion = Owned<HRGN__>;

}  // namespace gdi

#include "platform/win/shown_line.h"

#include <algorithm>
#include <cstdlib>

namespace win::detail {

namespace {

bool IsHigh(WChar c) {
    return c >= 0xD800 && c < 0xDC00;
}
bool IsLow(WChar c) {
    return c >= 0xDC00 && c < 0xE000;
}

}  // namespace

size_t StepLeft(const WString& t, size_t i) {
    if (i == 0) return 0;
    --i;
    if (i > 0 && i < t.size() && IsLow(t[i]) && IsHigh(t[i - 1])) return i - 1;
    return std::min(i, t.size());
}

size_t StepRight(const WString& t, size_t i) {
    if (i >= t.size()) return t.size();
    ++i;
    if (i < t.size() && IsLow(t[i]) && IsHigh(t[i - 1])) ++i;
    return i;
}

ShownLine::ShownLine(HDC dc, const WString& text, size_t start, size_t length, UINT options)
    : dc_(dc), text_(text), start_(start), length_(length), mirrored_(gdi::IsSurfaceMirrored(dc)) {
    // A line read right to left as a paragraph, or with any run that does,
    // needs the places; a line of left-to-right runs only does not.
    bool rtl = (options & ETO_RTLREADING) || mirrored_;
    places_.resize(length);
    if (length)
        gdi::GetTextUnitPlaces(dc, text.data() + start, static_cast<int>(length), options,
                               places_.data());
    for (const auto& q : places_) rtl = rtl || q.rtl;
    if (!rtl) places_.clear();
}

int ShownLine::CaretX(size_t k) const {
    if (places_.empty()) {
        if (k == 0) return 0;
        SIZE sz{};
        GetTextExtentPoint32(dc_, text_.data() + start_, static_cast<int>(k), &sz);
        return sz.cx;
    }
    if (k < places_.size()) return places_[k].rtl ? places_[k].right : places_[k].left;
    return places_.back().rtl ? places_.back().left : places_.back().right;
}

size_t ShownLine::Step(size_t k, int dir) const {
    k = std::min(k, length_);
    if (places_.empty()) {
        if (dir < 0) return k == 0 ? WString::npos : StepLeft(text_, start_ + k) - start_;
        return k >= length_ ? WString::npos : StepRight(text_, start_ + k) - start_;
    }
    int sign = mirrored_ ? -1 : 1;
    int from = sign * CaretX(k);
    size_t best = WString::npos;
    int bestX = 0;
    // The nearest place beyond k in the arrow's direction; of places shown
    // at the same x, the one nearest in the text.
    for (size_t i = 0;; i = StepRight(text_, start_ + i) - start_) {
        int x = sign * CaretX(i);
        bool beyond = dir < 0 ? x < from : x > from;
        if (beyond) {
            int gap = std::abs(x - from), bestGap = std::abs(bestX - from);
            size_t dist = i > k ? i - k : k - i;
            size_t bestDist = best == WString::npos ? 0 : (best > k ? best - k : k - best);
            if (best == WString::npos || gap < bestGap || (gap == bestGap && dist < bestDist))
                best = i, bestX = x;
        }
        if (i >= length_) break;
    }
    return best;
}

size_t ShownLine::Side(size_t a, size_t b, int dir) const {
    if (places_.empty()) return dir < 0 ? a : b;
    int sign = mirrored_ ? -1 : 1;
    int xa = sign * CaretX(a), xb = sign * CaretX(b);
    return (dir < 0 ? xb < xa : xb > xa) ? b : a;
}

}  // namespace win::detail

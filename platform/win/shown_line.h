// Caret places in one line of text as a DC draws it, shared by the edit
// control and the editable field of a combo box. Where runs read right to
// left (Hebrew or Arabic, with digits and Latin among them), the caret before
// a unit is not where the widths of the units before it end, and the arrows
// move it in the order the text is shown rather than the order it is stored.
// Not for program code.
#pragma once

#include <vector>

#include "platform/gdi/gdi.h"

namespace win::detail {

// Positions in text never fall between the halves of a surrogate pair.
size_t StepLeft(const WString& text, size_t i);
size_t StepRight(const WString& text, size_t i);

class ShownLine {
public:
    // The units text[start, start + length) as drawn in dc (with its font
    // selected) with the text options (ETO_RTLREADING). The text must
    // outlive the line.
    ShownLine(HDC dc, const WString& text, size_t start, size_t length, UINT options);

    // Whether the line reads left to right throughout: the caret before a
    // unit then stands where the widths of the units before it end.
    bool Plain() const { return places_.empty(); }
    // Where each unit shows, from the line's left (empty when plain).
    const std::vector<gdi::TextUnitPlace>& Places() const { return places_; }
    // The caret's x before unit k (k == length: at the line's end), from
    // the line's left.
    int CaretX(size_t k) const;
    // The caret place next to k in the shown order: towards the left of the
    // screen for dir < 0, the right for dir > 0 (in a mirrored DC x grows
    // towards the left). npos when the line shows nothing further that way.
    size_t Step(size_t k, int dir) const;
    // Of two places a <= b, the one shown further left (dir < 0) or right.
    size_t Side(size_t a, size_t b, int dir) const;

private:
    HDC dc_;
    const WString& text_;
    size_t start_, length_;
    bool mirrored_;
    std::vector<gdi::TextUnitPlace> places_;
};

}  // namespace win::detail

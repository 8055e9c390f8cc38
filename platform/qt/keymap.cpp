#include "platform/qt/keymap.h"

#include <Qt>

#include "platform/win/winconst.h"

namespace znqt {

namespace {

struct KeyEntry {
    int qt;
    UINT vk;
};

constexpr UINT VK_MENU = 0x12;
constexpr UINT VK_INSERT = 0x2D;
constexpr UINT VK_APP1 = 0xC1;

// Keys whose Qt code differs from the virtual key (letters and digits share
// their codes).
constexpr KeyEntry kKeys[] = {
    {Qt::Key_Backspace, VK_BACK},     {Qt::Key_Tab, VK_TAB},
    {Qt::Key_Backtab, VK_TAB},        {Qt::Key_Return, VK_RETURN},
    {Qt::Key_Enter, VK_RETURN},       {Qt::Key_Escape, VK_ESCAPE},
    {Qt::Key_Space, VK_SPACE},        {Qt::Key_PageUp, VK_PRIOR},
    {Qt::Key_PageDown, VK_NEXT},      {Qt::Key_End, VK_END},
    {Qt::Key_Home, VK_HOME},          {Qt::Key_Left, VK_LEFT},
    {Qt::Key_Up, VK_UP},              {Qt::Key_Right, VK_RIGHT},
    {Qt::Key_Down, VK_DOWN},          {Qt::Key_Insert, VK_INSERT},
    {Qt::Key_Delete, VK_DELETE},      {Qt::Key_Shift, VK_SHIFT},
    {Qt::Key_Control, VK_CONTROL},    {Qt::Key_Alt, VK_MENU},
    // Punctuation on a US layout, both shift states.
    {Qt::Key_Semicolon, 0xBA},        {Qt::Key_Colon, 0xBA},
    {Qt::Key_Equal, 0xBB},            {Qt::Key_Plus, 0xBB},
    {Qt::Key_Comma, 0xBC},            {Qt::Key_Less, 0xBC},
    {Qt::Key_Minus, 0xBD},            {Qt::Key_Underscore, 0xBD},
    {Qt::Key_Period, 0xBE},           {Qt::Key_Greater, 0xBE},
    {Qt::Key_Slash, 0xBF},            {Qt::Key_Question, 0xBF},
    {Qt::Key_QuoteLeft, 0xC0},        {Qt::Key_AsciiTilde, 0xC0},
    {Qt::Key_BracketLeft, 0xDB},      {Qt::Key_BraceLeft, 0xDB},
    {Qt::Key_Backslash, 0xDC},        {Qt::Key_Bar, 0xDC},
    {Qt::Key_BracketRight, 0xDD},     {Qt::Key_BraceRight, 0xDD},
    {Qt::Key_Apostrophe, 0xDE},       {Qt::Key_QuoteDbl, 0xDE},
};

}  // namespace

UINT VirtualKeyFor(int qtKey, unsigned modifiers) {
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) {
        int n = qtKey - Qt::Key_F1;  // 0 for F1
        if ((modifiers & kShift) && n < 12) n += 12;
        return VK_F1 + static_cast<UINT>(n);
    }
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
        if (modifiers & kAlt) return qtKey == Qt::Key_0 ? VK_APP1 + 9 : VK_APP1 + (qtKey - Qt::Key_1);
        return static_cast<UINT>(qtKey);
    }
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return static_cast<UINT>(qtKey);
    for (const KeyEntry& e : kKeys)
        if (e.qt == qtKey) return e.vk;
    return 0;
}

bool KeyTypesText(UINT vk) {
    if (vk >= VK_F1 && vk <= VK_F24) return false;
    if (vk >= VK_APP1 && vk <= VK_APP1 + 9) return false;
    if (vk == VK_DELETE || vk == VK_INSERT) return false;
    return true;
}

}  // namespace znqt

// Small pieces the option pages share.
#pragma once

#include <vector>

#include "platform/text/text.h"
#include "platform/types.h"

// Empties the combo box and adds the texts in order.
void FillComboTexts(HWND dialog, int id, const std::vector<WString>& texts);
// The edit's number when it holds one (surrounding blanks allowed): the
// value is set and true returned; else the value stays, without a prompt.
bool ReadUnsignedQuietly(HWND dialog, int id, UINT& value);
bool ReadIntQuietly(HWND dialog, int id, int& value);

// The program's script events: each id is the DISPID of the event method in
// the library's event interfaces, and the name is what handlers are bound
// under.
#pragma once

#include <cstdint>

#include "platform/text/text.h"

struct ScriptEventRow {
    int32_t id;
    const char16_t* name;
};

// The 39 events, in id order, named as handlers are bound.
inline constexpr ScriptEventRow ScriptEventTable[] = {
    {1, u"OnStartUp"},        {2, u"OnShutDown"},       {3, u"OnLoad"},
    {4, u"OnUnload"},         {5, u"OnSetActive"},      {6, u"OnKillActive"},
    {7, u"OnClick"},          {8, u"OnDblClick"},       {9, u"OnSetFocus"},
    {10, u"OnKillFocus"},     {11, u"OnChange"},        {12, u"OnDropDown"},
    {13, u"OnValidate"},      {14, u"OnSentence"},      {15, u"OnPosition"},
    {16, u"OnOK"},            {17, u"OnCancel"},        {18, u"OnPointerDown"},
    {19, u"OnPointerMove"},   {20, u"OnPointerUp"},     {21, u"OnSelChange"},
    {22, u"OnSelCancel"},     {23, u"OnSelOK"},         {24, u"OnOpen"},
    {25, u"OnClose"},         {26, u"OnAfterDraw"},     {27, u"OnComm"},
    {28, u"OnCloseUp"},       {29, u"OnSelectionChanged"}, {30, u"OnTimer"},
    {31, u"OnFeatureAdded"},  {32, u"OnFeatureChanged"}, {33, u"OnFeatureDeleted"},
    {34, u"OnInRange"},       {35, u"OnRefresh"},       {36, u"OnAverageStart"},
    {37, u"OnAverageStop"},   {38, u"OnGoto"},          {39, u"OnExEvent"},
};
inline constexpr int kScriptEventCount = 39;

// The id of the row whose name equals `name` without regard to case; 0 for
// none.
int EventIdFromName(WStringView name);
// The row's name; null when no row has that id.
const char16_t* EventNameFromId(int id);

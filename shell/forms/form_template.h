// Reading the controls of a form page and building the page's in-memory
// dialog template.
#pragma once

#include <vector>

#include "shell/forms/forms.h"

struct DialogItemTemplate;

// The attribute as a form boolean (true when it begins with 't'), else def.
bool FormBool(const CXmlNode* element, WStringView name, bool def);
// 1..12 for the control element names, 0 for any other.
int ControlTypeFromName(WStringView name);
// A font from the element's font attributes; null when it has none.
HFONT CreateFormFont(const CXmlNode* element);
// Everything a control element says, its list items included.
void ReadControl(const CXmlNode* element, CFormControl& control, const CForm& form,
                 const CFormPageDef& page);
// The template item of a control element.
DialogItemTemplate BuildControlItem(const CXmlNode* element, const CFormControl& control,
                                    const CFormPageDef& page);
// The page's template in the classic form: the header and one item per
// control element.
std::vector<uint8_t> BuildPageTemplate(const CFormPageDef& page,
                                       const std::vector<const CXmlNode*>& elements);
// The items of a list table (records not deleted), appended.
void ReadListTable(const WString& path, const WString& valueField, const WString& textField,
                   CValueTextList& list);

// Point sizes and font heights, and the four XML attributes (font, fontsize,
// charset, fontstyle) in which font settings are kept in layer files, map
// documents and the preferences.
#pragma once

#include "core/config_xml_file.h"
#include "core/xml_node.h"
#include "platform/gdi/gdi.h"

// -(points x LOGPIXELSY / 72), truncated toward zero; the screen's
// resolution is read once and kept.
int FontPointsToHeight(int points);
// A negative height back to points (truncated); any other value is taken as
// points already and returned unchanged.
int FontHeightToPoints(int height);

// One empty element with font, fontsize, charset and fontstyle. fontsize
// is the point size that reads back as the record's height where one does.
void WriteFontAttributes(CConfigXmlFile& out, const WChar* element, const LOGFONT& font);
bool HasFontAttributes(const CXmlNode* element);
// Starts from the default (or a cleared record) and takes what the element
// holds. False with neither element nor default, and false without an
// element (the record then holds the default).
bool ReadFontAttributes(const CXmlNode* element, LOGFONT& font, const LOGFONT* def);

struct CharSetEntry {
    const WChar* name;
    int number;
};
// The character sets by name, in the order the Font dialog lists them.
extern const CharSetEntry kCharSetTable[19];
// The table's name, or null when the number is not in the table.
const WChar* CharSetName(int number);
// The number of a name (compared without regard to case), or -1.
int CharSetFromName(WStringView name);

// The style words of fontstyle: weight 700 for "bold", and the flags for
// "italic", "underline" and "strikeout" (case-sensitive substrings).
void ParseFontStyle(WStringView style, LOGFONT& font);
// "normal" or "bold", then ",italic", ",underline", ",strikeout" as set.
WString FontStyleWords(const LOGFONT& font);

// A number attribute as the desktop exporter may write it, in its user's
// locale (the document reader's numbers: a comma and no point is a decimal
// comma); a text that is not a whole number gives its leading number, 0
// when there is none. `def` when the attribute is absent.
double ReadLocaleNumber(const CXmlNode* element, WStringView name, double def);
double ParseLocaleNumber(WStringView text);
// A double brought into the range of int and truncated (NaN gives 0).
int ClampToInt(double value);

// Forgets the kept screen resolution (tests change it).
void ResetFontMetricsForTests();

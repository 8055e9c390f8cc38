// Code pages of dBASE tables: the language driver id in byte 29 of the header,
// the companion .cpg file, and conversion of field text between a table's
// code page and program text. Code page 0 stands for the device's ANSI code
// page everywhere.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/text/text.h"

// The device profile: its ANSI and OEM code pages (1252 and 437 unless a test
// or the configuration sets others).
unsigned DbfDeviceAnsiCodePage();
unsigned DbfDeviceOemCodePage();
void DbfSetDeviceCodePages(unsigned ansi, unsigned oem);
void DbfResetDeviceCodePages();  // back to 1252 / 437

// The first row of the language driver table with that id (low 8 bits), else 0.
unsigned DbfLdidToCodePage(int id);
// The id of the first row with that code page, else 0 (1252 gives 0x03).
int DbfCodePageToLdid(unsigned codePage);
// The code page a .cpg text names (digits, or BIG5, SJIS, OEM, ANSI, EUC, ISO,
// or UTF-8); 0 when it names none.
unsigned DbfCodePageFromName(std::string_view text);
// The ISO or EUC number that goes with the device's ANSI code page.
unsigned DbfIsoCodePage();
// True when field text can be converted in this code page (0 always can).
bool DbfIsCodePageSupported(unsigned codePage);

// Blank-fills fieldLength bytes, then writes the text converted to the code
// page from the first byte on. Text that does not fit is cut after the last
// whole character that fits; characters the code page lacks become '?'.
// length -1 means the text is NUL-terminated.
void DbfTextToTable(unsigned codePage, const WChar* text, int length, uint8_t* field,
                    int fieldLength);
// Converts byteCount bytes to wide text in buffer (capacity + 1 characters),
// trailing blanks removed; undecodable bytes become U+FFFD. Returns buffer.
WChar* DbfTextFromTable(unsigned codePage, const uint8_t* bytes, int byteCount, WChar* buffer,
                        int capacity);
// The same into a string.
WString DbfTextFromTable(unsigned codePage, const uint8_t* bytes, int byteCount);

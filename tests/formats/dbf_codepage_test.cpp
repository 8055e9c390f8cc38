// Code pages of tables: the language driver table, .cpg names, and field
// text conversion with blank padding and whole-character cuts.
#include "formats/dbf/dbf_codepage.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class CodePages : public ::testing::Test {
protected:
    void SetUp() override { DbfResetDeviceCodePages(); }
    void TearDown() override { DbfResetDeviceCodePages(); }
};

TEST_F(CodePages, LanguageDriverTable) {
    EXPECT_EQ(DbfLdidToCodePage(0x57), 1252u);
    EXPECT_EQ(DbfLdidToCodePage(0x03), 1252u);
    EXPECT_EQ(DbfLdidToCodePage(0xC9), 1251u);
    EXPECT_EQ(DbfLdidToCodePage(0x26), 866u);
    EXPECT_EQ(DbfLdidToCodePage(0x157), 1252u);  // only the low byte counts
    EXPECT_EQ(DbfLdidToCodePage(0xFF), 0u);
    EXPECT_EQ(DbfLdidToCodePage(0), 0u);
    // The first row with the code page wins.
    EXPECT_EQ(DbfCodePageToLdid(1252), 0x03);
    EXPECT_EQ(DbfCodePageToLdid(437), 0x01);
    EXPECT_EQ(DbfCodePageToLdid(850), 0x02);
    EXPECT_EQ(DbfCodePageToLdid(932), 0x13);
    EXPECT_EQ(DbfCodePageToLdid(65001), 0);
}

TEST_F(CodePages, NamesInCpgFiles) {
    struct {
        const char* text;
        unsigned want;
    } cases[] = {
        {"1252", 1252},        {"CP1251\r\n", 1251}, {"88591", 88591}, {"ISO-8859-1", 88591},
        {"UTF-8", 65001},      {"utf8\n", 65001},    {"65001", 65001}, {"big5", 950},
        {"Shift SJIS", 932},   {"ANSI", 1252},       {"oem", 437},     {"ISO", 88591},
        {"EUC", 88591},        {"nothing", 0},       {"", 0},          {"437", 437},
        {"436", 436},           // below the accepted range, but still the number
        {"12345678", 1234567},  // at most 7 digits
    };
    for (const auto& c : cases) EXPECT_EQ(DbfCodePageFromName(c.text), c.want) << c.text;
    DbfSetDeviceCodePages(1251, 866);
    EXPECT_EQ(DbfCodePageFromName("ANSI"), 1251u);
    EXPECT_EQ(DbfCodePageFromName("OEM"), 866u);
    EXPECT_EQ(DbfIsoCodePage(), 88595u);
    DbfSetDeviceCodePages(874, 437);
    EXPECT_EQ(DbfIsoCodePage(), 874u);
}

TEST_F(CodePages, OnlyConvertibleCodePagesAreKnown) {
    for (unsigned cp : {0u, 437u, 850u, 852u, 866u, 932u, 936u, 949u, 950u, 874u, 737u, 1250u,
                        1251u, 1252u, 1257u, 10000u, 10007u, 10029u, 65001u})
        EXPECT_TRUE(DbfIsCodePageSupported(cp)) << cp;
    for (unsigned cp : {10006u, 620u, 895u, 867u, 88591u, 885932u})
        EXPECT_FALSE(DbfIsCodePageSupported(cp)) << cp;
}

std::string ToField(unsigned cp, const WChar* s, int width) {
    std::string field(static_cast<size_t>(width), '#');
    DbfTextToTable(cp, s, -1, reinterpret_cast<uint8_t*>(field.data()), width);
    return field;
}

WString FromField(unsigned cp, const std::string& bytes) {
    return DbfTextFromTable(cp, reinterpret_cast<const uint8_t*>(bytes.data()),
                            static_cast<int>(bytes.size()));
}

TEST_F(CodePages, FieldText) {
    struct {
        unsigned cp;
        const WChar* in;
        int width;
        std::string field;
    } cases[] = {
        {1252, u"AB", 5, "AB   "},
        {1252, u"\u00E9t\u00E9", 4, "\xE9t\xE9 "},
        {1251, u"\u0416\u0438", 3, "\xC6\xE8 "},
        {437, u"\u20AC\u00E9", 3, "?\x82 "},  // the euro sign is not in 437
        {1252, u"abcdef", 3, "abc"},
        // Double-byte and UTF-8 text is cut after the last whole character.
        {932, u"\u65E5\u672C\u8A9E", 5, "\x93\xFA\x96\x7B "},
        {65001, u"\u00E9\u00E9\u00E9", 5, "\xC3\xA9\xC3\xA9 "},
        {65001, u"a\U0001F600", 5, "a\xF0\x9F\x98\x80"},
        {65001, u"a\U0001F600", 4, "a   "},
        {0, u"\u00E9", 2, "\xE9 "},  // code page 0: the device's ANSI code page
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToField(c.cp, c.in, c.width), c.field) << c.cp << " " << c.width;
        const WString back = FromField(c.cp, c.field);
        EXPECT_EQ(back.find(u' '), WString::npos) << "trailing blanks are removed";
    }
    EXPECT_EQ(FromField(1252, "AB   "), u"AB");
    EXPECT_EQ(FromField(1252, "     "), u"");
    EXPECT_EQ(FromField(1251, "\xC6\xE8"), u"\u0416\u0438");
    // Bytes the converter does not map still give text, never an empty field.
    EXPECT_FALSE(FromField(1252, "a\x81z").empty());
    EXPECT_EQ(FromField(1252, "a\x81z").size(), 3u);
    DbfSetDeviceCodePages(1251, 866);
    EXPECT_EQ(ToField(0, u"\u0416", 1), "\xC6");
    EXPECT_EQ(FromField(0, "\xC6"), u"\u0416");
}

TEST_F(CodePages, BufferFormCutsToCapacity) {
    const std::string bytes = "\xC3\xA9\xC3\xA9xyz  ";
    WChar buf[4];
    DbfTextFromTable(65001, reinterpret_cast<const uint8_t*>(bytes.data()),
                     static_cast<int>(bytes.size()), buf, 3);
    EXPECT_EQ(WString(buf), u"\u00E9\u00E9x");
}

}  // namespace

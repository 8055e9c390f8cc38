#include "core/file_stream.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/platform/fs_test_root.h"
#include "tests/support/run_command.h"

namespace {

class FileStreamTest : public DeviceRootTest {
protected:
    void TearDown() override {
        fs::test::Reset();
        DeviceRootTest::TearDown();
    }
    // Opens a fixture of the given bytes for reading.
    void OpenBytes(CFileStream& f, const std::string& bytes,
                   unsigned flags = CFileStream::modeRead) {
        Put("f.bin", bytes);
        ASSERT_TRUE(f.Open(u"\\f.bin", flags));
    }
};

std::string Hex(const std::string& s) {
    std::string out;
    char b[4];
    for (unsigned char c : s) {
        snprintf(b, sizeof b, "%02X ", c);
        out += b;
    }
    return out;
}

std::string Units(const WString& s) {
    std::string out;
    char b[8];
    for (WChar c : s) {
        snprintf(b, sizeof b, "%04X ", c);
        out += b;
    }
    return out;
}

TEST_F(FileStreamTest, ByteOrderMarkTable) {
    struct Case {
        const char* what;
        std::string bytes;
        bool bom;
        int encoding;
        bool swap;
        uint64_t pos;  // after DetectBom
        WString text;  // ReadTextFile(-1)
    } cases[] = {
        {"UTF-8 mark",
         "\xEF\xBB\xBF"
         "A\xC3\xA9",
         true, 1, false, 3, u"A\u00E9"},
        {"UTF-16 LE mark",
         std::string("\xFF\xFE"
                     "A\0=\x04",
                     6),
         true, 2, false, 2, u"A\u043D"},
        {"UTF-16 BE mark", std::string("\xFE\xFF\0A\x04=", 6), true, 2, true, 2, u"A\u043D"},
        {"declaration, no mark", "<?x", false, 0, false, 0, u"<?x"},
        {"EF BB without BF",
         "\xEF\xBB"
         "A",
         false, 0, false, 0,
         u"\u00EF\u00BB"
         "A"},
        {"odd last byte dropped",
         std::string("\xFF\xFE"
                     "A\0B",
                     5),
         true, 2, false, 2, u"A"},
        {"empty", "", false, 0, false, 0, u""},
        {"UTF-8, 4-byte and CESU-8", "caf\xC3\xA9\xF0\x9F\x98\x80\xED\xA0\xBD\xED\xB8\x80", false,
         0, false, 0, u"caf\u00E9\U0001F600\U0001F600"},
    };
    for (const Case& c : cases) {
        CFileStream f;
        OpenBytes(f, c.bytes);
        EXPECT_EQ(f.DetectBom(), c.bom) << c.what;
        EXPECT_EQ(f.GetEncoding(), c.encoding) << c.what;
        EXPECT_EQ(f.GetByteSwap(), c.swap) << c.what;
        EXPECT_EQ(f.GetPosition(), c.pos) << c.what;
        f.Close();
        WString t;
        ASSERT_TRUE(ReadTextFile(u"\\f.bin", t, -1));
        EXPECT_EQ(Units(t), Units(c.text)) << c.what;
    }
    // A failed detection puts the position back where it was.
    CFileStream f;
    OpenBytes(f,
              "\xEF\xBB"
              "ABC");
    f.Seek(3, CFileStream::begin);
    EXPECT_FALSE(f.DetectBom());
    EXPECT_EQ(f.GetPosition(), 3u);
    EXPECT_EQ(f.ReadByte(), 'B');
}

TEST_F(FileStreamTest, ReadUtf8CharTable) {
    struct Case {
        std::string bytes;
        WString units;
    } cases[] = {
        {"\xC3\xA9", u"\u00E9"},
        {"\xD0\x96", u"\u0416"},
        {"\xE2\x82\xAC", u"\u20AC"},
        {"\x80", u"\u0080"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},  // two calls, a surrogate each
        {"\xE2\x82", u"\u00E2\u0082"},        // cut by the end of the file
        {"\xE9t\xC3", u"\u00E9t\u00C3"},      // 8-bit text mistaken for UTF-8
        {"\xE2\x82"
         "A",
         u"\u00E2\u0082"
         "A"},
    };
    for (const Case& c : cases) {
        CFileStream f;
        OpenBytes(f, c.bytes);
        WString got;
        while (!f.IsEof()) got += f.ReadUtf8Char();
        EXPECT_EQ(Units(got), Units(c.units)) << Hex(c.bytes);
        EXPECT_EQ(f.ReadUtf8Char(), 0) << Hex(c.bytes);
    }
}

TEST_F(FileStreamTest, WriteTextFileExactBytes) {
    const WString text = u"A\u00E9\u043D\U0001F600";
    struct Case {
        int encoding;
        std::string bytes;
        WString back;
    } cases[] = {
        // Units an 8-bit file cannot hold become '?', never their low byte.
        {0, "A\xE9???", u"A\u00E9???"},
        {1, "A\xC3\xA9\xD0\xBD\xF0\x9F\x98\x80", text},
        {2,
         std::string("\xFF\xFE"
                     "A\0\xE9\0=\x04=\xD8\0\xDE",
                     12),
         text},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteTextFile(u"\\out.txt", text, c.encoding));
        EXPECT_EQ(Hex(Get("out.txt")), Hex(c.bytes)) << c.encoding;
        WString back;
        ASSERT_TRUE(ReadTextFile(u"\\out.txt", back, c.encoding == 2 ? -1 : c.encoding));
        EXPECT_EQ(Units(back), Units(c.back)) << c.encoding;
    }
    WString none;
    EXPECT_FALSE(ReadTextFile(u"\\missing.txt", none, -1));
    EXPECT_FALSE(WriteTextFile(u"\\no folder\\x.txt", text, 1));
}

// iconv is the independent judge of our UTF-8 and UTF-16.
TEST_F(FileStreamTest, AgreesWithIconv) {
    const WString text = u"Gr\u00FC\u00DFe, \u0416\u0443\u043A \u20AC \U0001F600\r\n";
    ASSERT_TRUE(WriteTextFile(u"\\u8.txt", text, 1));
    ASSERT_TRUE(WriteTextFile(u"\\u16.txt", text, 2));
    auto run = [](const std::string& cmd) {
        int status = -1;
        std::string out = testsupport::RunCommand(cmd, &status);
        EXPECT_EQ(status, 0) << cmd;
        return out;
    };
    // Our UTF-8 is valid to a strict reader, and our UTF-16 says the same.
    std::string fromU8 = run("iconv -f UTF-8 -t UTF-16LE '" + Host("u8.txt") + "'");
    std::string fromU16 = run("iconv -f UTF-16 -t UTF-16LE '" + Host("u16.txt") + "'");
    EXPECT_EQ(Hex(fromU8), Hex(Get("u16.txt").substr(2)));
    EXPECT_EQ(Hex(fromU16), Hex(fromU8));
    // And we read what iconv writes, big-endian included.
    std::string be = run("iconv -f UTF-8 -t UTF-16BE '" + Host("u8.txt") + "'");
    Put("be.txt", "\xFE\xFF" + be);
    WString back;
    ASSERT_TRUE(ReadTextFile(u"\\be.txt", back, -1));
    EXPECT_EQ(Units(back), Units(text));
}

TEST_F(FileStreamTest, FailedRewriteKeepsTheOldFile) {
    Put("keep.txt", "old content");
    fs::test::SetWriteBudget(3);
    EXPECT_FALSE(WriteTextFile(u"\\keep.txt", u"new and longer content", 1));
    EXPECT_EQ(Get("keep.txt"), "old content");
    EXPECT_EQ(HostList(""), std::vector<std::string>{"keep.txt"});  // no temporary left
}

TEST_F(FileStreamTest, ReadTokenTable) {
    struct Case {
        std::string bytes;
        bool trim;
        char delimiter;
        int max;
        std::vector<WString> tokens;  // successive tokens until the end
    } cases[] = {
        {"  abc \r\n", true, '\n', 100, {u"abc"}},
        {"\xE9t\xE9 \nx", true, '\n', 100, {u"\u00E9t\u00E9", u"x"}},  // 0xE9 is not a blank
        {std::string(" a\0b\rc\n\n", 8), false, '\n', 100, {u" abc", u""}},
        {"a,b", false, ',', 100, {u"a", u"b"}},
        {"abcdef", false, '\n', 3, {u"abc", u"def"}},
        {"\n  \nz", true, '\n', 100, {u"", u"", u"z"}},
    };
    for (const Case& c : cases) {
        CFileStream f;
        OpenBytes(f, c.bytes);
        f.SetDelimiter(static_cast<WChar>(c.delimiter));
        std::vector<WString> got;
        while (!f.IsEof()) {
            WString t;
            int n = f.ReadToken(t, c.max, c.trim);
            EXPECT_EQ(n, static_cast<int>(t.size()));
            got.push_back(t);
        }
        EXPECT_EQ(got, c.tokens) << Hex(c.bytes);
    }
}

TEST_F(FileStreamTest, LineFile) {
    std::string bytes =
        "abc\r\ndef\n" + std::string("gh\0ij\n", 6) + std::string(300, 'x') + "\n\nlast";
    Put("lines.txt", bytes);
    CLineFile f;
    ASSERT_TRUE(f.Open(u"\\LINES.TXT", true));  // found without regard to case
    std::vector<std::string> lines;
    WString line;
    while (!f.IsEof()) {
        int n = f.ReadLine(line);
        EXPECT_EQ(n, static_cast<int>(line.size()));
        lines.push_back(text::ToUtf8(line));
    }
    std::vector<std::string> want = {
        "abc", "def", "gh", "ij", std::string(255, 'x'), std::string(45, 'x'), "", "last"};
    EXPECT_EQ(lines, want);
    EXPECT_EQ(f.ReadLine(line), 0);

    // Lines on both sides of the stream's read-ahead boundary.
    std::string many;
    for (int i = 0; i < 20000; ++i) many += "line " + std::to_string(i) + "\r\n";
    Put("many.txt", many);
    ASSERT_TRUE(f.Open(u"\\many.txt", true));
    int i = 0;
    for (; !f.IsEof(); ++i) {
        f.ReadLine(line);
        ASSERT_EQ(text::ToUtf8(line), "line " + std::to_string(i));
    }
    EXPECT_EQ(i, 20000);
}

TEST_F(FileStreamTest, BinaryValuesAndFields) {
    CFileStream f;
    OpenBytes(f, std::string("\0\0\0\x01\0\0\0\x01"
                             "ABCDEF  42  -7"
                             "123456789012345678901234567890123456789X",
                             62));
    uint32_t v = 0;
    f.SetByteSwap(true);
    ASSERT_TRUE(f.ReadValue(&v, 4));
    EXPECT_EQ(v, 1u);
    EXPECT_TRUE(f.SetByteSwap(false));
    ASSERT_TRUE(f.ReadValue(&v, 4));
    EXPECT_EQ(v, 0x01000000u);
    char s[5];
    f.ReadString(s, 4);
    EXPECT_STREQ(s, "ABC");
    f.Skip(3);
    EXPECT_EQ(f.ReadNumber(4), 42);
    EXPECT_EQ(f.ReadNumber(4), -7);
    EXPECT_EQ(f.ReadNumber(0), 0);
    // Wider than the 31 bytes the old field buffer held: read whole, clamped.
    EXPECT_EQ(f.ReadNumber(39), INT32_MAX);
    EXPECT_EQ(f.ReadByte(), 'X');
    EXPECT_EQ(f.ReadByte(), -1);
    EXPECT_TRUE(f.IsEof());
    EXPECT_FALSE(f.ReadValue(&v, 4));
    f.SeekToBegin();
    uint16_t items[3];
    EXPECT_EQ(f.ReadItems(items, 2, 3), 3);
    EXPECT_EQ(f.ReadItems(items, 0, 3), 0);
    f.Seek(-1, CFileStream::end);
    EXPECT_EQ(f.ReadItems(items, 2, 3), 0);  // one byte is no whole item
}

TEST_F(FileStreamTest, WritingInEachEncoding) {
    CFileStream f;
    ASSERT_TRUE(f.Open(u"\\w.bin", CFileStream::modeCreate | CFileStream::modeReadWrite));
    uint32_t v = 0x01020304;
    f.SetByteSwap(true);
    f.WriteValue(&v, 4);
    EXPECT_EQ(v, 0x01020304u);  // the caller's value is left alone
    f.SetByteSwap(false);
    f.WriteByte(0xFF);
    f.WriteAnsi("ab");
    f.SetEncoding(0);
    f.WriteString(u"\u00E9\u043D");
    f.SetEncoding(1);
    f.WriteChar(u'\u20AC');
    f.WriteString(u"x\U0001F600y", 3);  // 3 units: the pair is whole
    f.WriteUtf8Char(u'\u00E9');
    f.SetEncoding(2);
    f.WriteCharRepeated(u'\u043D', 2);
    f.WriteNewLine();
    f.Close();
    EXPECT_EQ(Hex(Get("w.bin")), Hex(std::string("\x01\x02\x03\x04\xFF"
                                                 "ab\xE9?\xE2\x82\xAC"
                                                 "x\xF0\x9F\x98\x80\xC3\xA9"
                                                 "=\x04=\x04\r\n")));
}

TEST_F(FileStreamTest, ReadThenWriteLandsAtTheLogicalPosition) {
    CFileStream f;
    OpenBytes(f, "0123456789", CFileStream::modeReadWrite);
    EXPECT_EQ(f.ReadByte(), '0');
    EXPECT_EQ(f.ReadByte(), '1');
    EXPECT_EQ(f.GetPosition(), 2u);
    f.WriteAnsi("ab");
    EXPECT_EQ(f.GetPosition(), 4u);
    EXPECT_EQ(f.ReadByte(), '4');
    f.Skip(2);
    EXPECT_EQ(f.ReadByte(), '7');
    f.Close();
    EXPECT_EQ(Get("f.bin"), "01ab456789");
}

TEST_F(FileStreamTest, ErrorsAndShareModes) {
    CFileStream f;
    CFileException e;
    EXPECT_FALSE(f.Open(u"\\missing.bin", CFileStream::modeRead, &e));
    EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
    EXPECT_EQ(e.m_fileName, u"\\missing.bin");

    ASSERT_TRUE(f.Open(u"\\a.bin", CFileStream::modeCreate | CFileStream::modeWrite));
    CFileStream g;
    EXPECT_FALSE(g.Open(u"\\a.bin", CFileStream::modeRead, &e));  // compatibility mode is exclusive
    EXPECT_EQ(e.m_cause, CFileException::sharingViolation);

    fs::test::FailNthWrite(1);
    try {
        f.WriteAnsi("abc");
        ADD_FAILURE() << "no exception";
    } catch (const CFileException& x) {
        EXPECT_EQ(x.m_cause, CFileException::diskFull);
    }
    f.Close();
    // modeNoTruncate keeps what is there.
    Put("k.bin", "keep");
    ASSERT_TRUE(f.Open(u"\\k.bin", CFileStream::modeCreate | CFileStream::modeNoTruncate |
                                       CFileStream::modeReadWrite));
    EXPECT_EQ(f.GetLength(), 4u);
}

TEST_F(FileStreamTest, ScriptTextFileAndTempNames) {
    Put("s.vbs", std::string("\xFF\xFE"
                             "M\0s\0g\0",
                             8));
    CScriptTextFile f;
    auto all = f.ReadAll(u"\\s.vbs");
    ASSERT_TRUE(all.has_value());
    EXPECT_EQ(*all, u"Msg");
    EXPECT_FALSE(f.ReadAll(u"\\none.vbs").has_value());
    Put("plain.vbs", "x = 1");
    WString t;
    ASSERT_TRUE(f.ReadAllToString(u"\\plain.vbs", t));
    EXPECT_EQ(t, u"x = 1");

    WString name;
    EXPECT_EQ(MakeTempFileName(u"\\Temp", u"sb", 0x1A, name), 0x1Au);
    EXPECT_EQ(name, u"\\Temp\\sb001A.tmp");
    unsigned n = MakeTempFileName(u"", u"zn", 0, name);
    EXPECT_NE(n, 0u);
    EXPECT_FALSE(fs::Exists(name));
    // Occupy the next few numbers: the search moves on instead of waiting.
    for (unsigned k = n; k < n + 3; ++k) Put(text::FormatA("zn%04X.tmp", k & 0xFFFF), "");
    WString next;
    unsigned m = MakeTempFileName(u"", u"zn", 0, next);
    EXPECT_FALSE(fs::Exists(next));
    EXPECT_NE(m, n);
}

}  // namespace

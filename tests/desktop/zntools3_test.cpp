// The desktop support library through its C interface only, as a desktop
// script would call it.
#include "zarnip/zntools3.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/desktop/zntools3_test_util.h"

namespace {

using zn3test::Doc;
using zn3test::ReadAll;
using zn3test::TempDir;
using zn3test::Text;
using zn3test::WriteAll;

// ---------------------------------------------------------------- buffers

TEST(ZnTools3Buffers, GettersStayInsideTheBufferAndNeverSplitACharacter) {
    TempDir dir;
    Doc doc(dir.Write("b.xml", "<t>a\xC3\xA9\xE2\x82\xAC</t>"));  // a, e-acute, euro: 6 bytes
    ASSERT_TRUE(doc);
    znXmlNode* t = xmlGetNode(doc, "/t");
    ASSERT_NE(t, nullptr);
    struct Case {
        int32_t size;
        const char* expect;  // null: nothing may be written at all
    } cases[] = {
        {0, nullptr},
        {-1, nullptr},
        {-100000, nullptr},
        {1, ""},
        {2, "a"},
        {3, "a"},
        {4, "a\xC3\xA9"},
        {6, "a\xC3\xA9"},
        {7, "a\xC3\xA9\xE2\x82\xAC"},
        {64, "a\xC3\xA9\xE2\x82\xAC"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        std::vector<char> buf(80, 'X');
        xmlGetNodeText(t, buf.data(), c.size);
        if (!c.expect) {
            EXPECT_EQ(std::string(buf.begin(), buf.end()), std::string(80, 'X'));
            continue;
        }
        EXPECT_STREQ(buf.data(), c.expect);
        for (auto i = static_cast<int32_t>(std::strlen(c.expect)); i < c.size; ++i)
            EXPECT_EQ(buf[i], '\0') << i;
        for (size_t i = static_cast<size_t>(c.size); i < buf.size(); ++i)
            ASSERT_EQ(buf[i], 'X') << i;
    }
    EXPECT_EQ(xmlGetNodeText(t, nullptr, 10), 0);
    EXPECT_EQ(xmlGetNodeTag(t, nullptr, 10), 0);
    EXPECT_EQ(xmlGetAttribute(t, "a", nullptr, 10), 0);
    xmlRelease(t);
}

// ---------------------------------------------------------------- handles

TEST(ZnTools3Handles, BadHandlesGiveNeutralResults) {
    TempDir dir;
    Doc doc(dir.Write("h.xml", "<r a=\"1\"><c/></r>"));
    ASSERT_TRUE(doc);
    znXmlNode* released = xmlGetNode(doc, "r/c");
    ASSERT_NE(released, nullptr);
    xmlRelease(released);
    znTable* table = dbOpen(ZN_TEST_DATA "/dbf/blockgroups.dbf");
    ASSERT_NE(table, nullptr);
    auto heapAddress = std::make_unique<char[]>(64);
    std::vector<znXmlNode*> bad = {nullptr, released, reinterpret_cast<znXmlNode*>(0x1234),
                                   reinterpret_cast<znXmlNode*>(heapAddress.get()),
                                   reinterpret_cast<znXmlNode*>(table)};
    for (znXmlNode* h : bad) {
        SCOPED_TRACE(reinterpret_cast<uintptr_t>(h));
        char buf[16];
        std::memset(buf, 'X', sizeof buf);
        EXPECT_EQ(xmlGetNodeTag(h, buf, sizeof buf), 0);
        EXPECT_STREQ(buf, "");
        std::memset(buf, 'X', sizeof buf);
        EXPECT_EQ(xmlGetNodeText(h, buf, sizeof buf), 0);
        EXPECT_STREQ(buf, "");
        std::memset(buf, 'X', sizeof buf);
        EXPECT_EQ(xmlGetAttribute(h, "a", buf, sizeof buf), 0);
        EXPECT_STREQ(buf, "");
        EXPECT_EQ(xmlGetNode(h, "c"), nullptr);
        EXPECT_EQ(xmlSetAttribute(h, "a", "2"), 0);
        EXPECT_EQ(xmlNodeAddReplace(h, doc), nullptr);
        EXPECT_EQ(xmlNodeAddReplace(doc, h), nullptr);
        EXPECT_EQ(xmlSave(h, dir.Path("out.xml").c_str()), 0);
        xmlRelease(h);
        // The same values as tables; the table handle itself is the good one here.
        if (h != reinterpret_cast<znXmlNode*>(table)) {
            EXPECT_EQ(dbIsValidRecord(reinterpret_cast<znTable*>(h), 0), 0);
            dbClose(reinterpret_cast<znTable*>(h));
        }
    }
    // A document handle given to the table functions.
    EXPECT_EQ(dbIsValidRecord(reinterpret_cast<znTable*>(static_cast<znXmlNode*>(doc)), 0), 0);
    dbClose(reinterpret_cast<znTable*>(static_cast<znXmlNode*>(doc)));
    EXPECT_FALSE(std::filesystem::exists(dir.Path("out.xml")));
    // Everything still works after all that.
    EXPECT_EQ(dbIsValidRecord(table, 0), 1);
    dbClose(table);
    EXPECT_EQ(dbIsValidRecord(table, 0), 0);
    EXPECT_EQ(Text(xmlGetAttribute, doc.Root(), "a"), "1");
}

TEST(ZnTools3Handles, ANodeHasOneHandleAndKeepsItsDocumentAlive) {
    TempDir dir;
    znXmlNode* doc = xmlLoad(dir.Write("k.xml", "<r><c>x</c></r>").c_str());
    ASSERT_NE(doc, nullptr);
    znXmlNode* c1 = xmlGetNode(doc, "r/c");
    znXmlNode* c2 = xmlGetNode(doc, "//c");
    EXPECT_EQ(c1, c2);
    xmlRelease(doc);
    xmlRelease(c1);
    EXPECT_EQ(Text(xmlGetNodeText, c2), "x");  // one reference left
    xmlRelease(c2);
    EXPECT_EQ(Text(xmlGetNodeText, c2), "");
}

// ---------------------------------------------------------------- names and text

TEST(ZnTools3Nodes, NamesAttributesAndText) {
    TempDir dir;
    Doc doc(dir.Write(
        "n.xml",
        "<p:r xmlns:p=\"urn:p\" a=\"v\"><x>one<![CDATA[<two>]]><!--no-->three<y>four</y></x>"
        "<m> mixed <b/> </m></p:r>"));
    ASSERT_TRUE(doc);
    znXmlNode* root = doc.Root();
    EXPECT_EQ(Text(xmlGetNodeTag, root), "r");
    EXPECT_EQ(Text(xmlGetAttribute, root, "a"), "v");
    EXPECT_EQ(Text(xmlGetAttribute, root, "absent"), "");
    znXmlNode* x = xmlGetNode(root, "x");
    EXPECT_EQ(Text(xmlGetNodeText, x), "one<two>threefour");
    znXmlNode* textNode = xmlGetNode(x, "text()");
    ASSERT_NE(textNode, nullptr);
    EXPECT_EQ(Text(xmlGetNodeTag, textNode), "");
    EXPECT_EQ(Text(xmlGetAttribute, textNode, "a"), "");
    EXPECT_EQ(Text(xmlGetNodeText, textNode), "one");
    EXPECT_EQ(Text(xmlGetNodeTag, doc), "");
    // Blank-only text is dropped on load, blanks inside mixed content stay.
    znXmlNode* m = xmlGetNode(root, "m");
    EXPECT_EQ(Text(xmlGetNodeText, m), " mixed  ");
    EXPECT_EQ(xmlGetNode(x, "y/text()[2]"), nullptr);
    for (znXmlNode* n : {x, textNode, m}) xmlRelease(n);
}

TEST(ZnTools3Nodes, BlankOnlyTextIsDropped) {
    TempDir dir;
    Doc doc(dir.Write("w.xml", "<a>\n  <b/>\n  <c> </c>\n</a>"));
    ASSERT_TRUE(doc);
    EXPECT_EQ(xmlGetNode(doc.Root(), "text()"), nullptr);
}

TEST(ZnTools3Nodes, Selection) {
    TempDir dir;
    Doc doc(dir.Write(
        "s.xml", "<r xmlns:p=\"urn:p\"><A n=\"1\"><B>b1</B></A><A n=\"2\"/><p:c>pc</p:c></r>"));
    ASSERT_TRUE(doc);
    struct Case {
        const char* pattern;
        const char* tag;  // null: no node
        const char* text;
    } cases[] = {
        {"A", "A", "b1"},          {"A/B", "B", "b1"},
        {"//B", "B", "b1"},        {"A[1]", "A", "b1"},
        {"A[2]", "A", ""},         {"A[0]", nullptr, nullptr},
        {"@n", nullptr, nullptr},  {"A/@n", "n", "1"},
        {"*", "A", "b1"},          {".", "r", "b1pc"},
        {"..", "", "b1pc"},        {"p:c", "c", "pc"},
        {"q:c", nullptr, nullptr}, {"count(A)", nullptr, nullptr},
        {"((", nullptr, nullptr},  {"", nullptr, nullptr},
        {"Z", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        znXmlNode* n = xmlGetNode(doc.Root(), c.pattern);
        if (!c.tag) {
            EXPECT_EQ(n, nullptr);
            continue;
        }
        ASSERT_NE(n, nullptr);
        EXPECT_EQ(Text(xmlGetNodeTag, n), c.tag);
        EXPECT_EQ(Text(xmlGetNodeText, n), c.text);
        xmlRelease(n);
    }
    EXPECT_EQ(xmlGetNode(doc.Root(), nullptr), nullptr);
}

// ---------------------------------------------------------------- changes

TEST(ZnTools3Changes, SetAttributeRefusesWhatXmlCannotHold) {
    TempDir dir;
    Doc doc(dir.Write("a.xml", "<r xmlns:p=\"urn:p\" a=\"1\"/>"));
    ASSERT_TRUE(doc);
    const std::string before = doc.SaveAndRead(dir.Path("before.xml"));
    xmlSetAttribute(doc.Root(), "a b", "x");
    xmlSetAttribute(doc.Root(), "a", "ctl\x01");
    xmlSetAttribute(doc.Root(), "a", nullptr);
    xmlSetAttribute(doc.Root(), nullptr, "x");
    xmlSetAttribute(doc.Root(), "q:a", "unbound prefix");
    xmlSetAttribute(doc.Root(), "a", "bad \xC3 utf-8");
    xmlSetAttribute(doc, "a", "document");
    EXPECT_EQ(doc.SaveAndRead(dir.Path("after.xml")), before);
    xmlSetAttribute(doc.Root(), "a", "tab\tline\nquote\"<&\xC3\xA9");
    xmlSetAttribute(doc.Root(), "p:b", "2");
    EXPECT_EQ(Text(xmlGetAttribute, doc.Root(), "a"), "tab\tline\nquote\"<&\xC3\xA9");
    EXPECT_EQ(Text(xmlGetAttribute, doc.Root(), "p:b"), "2");
    const std::string saved = dir.Path("changed.xml");
    ASSERT_EQ(xmlSave(doc, saved.c_str()), 1);
    EXPECT_EQ(zn3test::Run("xmllint --noout '" + saved + "'"), 0);
    Doc again(saved);
    ASSERT_TRUE(again);
    EXPECT_EQ(Text(xmlGetAttribute, again.Root(), "a"), "tab\tline\nquote\"<&\xC3\xA9");
}

TEST(ZnTools3Changes, AddReplaceCopiesFromAnotherDocument) {
    TempDir dir;
    Doc target(dir.Write("t.xml", "<r><item>old1</item><other/><item>old2</item></r>"));
    Doc source(dir.Write("s.xml", "<lib><item k=\"new\">new<sub>deep</sub></item><solo/></lib>"));
    ASSERT_TRUE(target && source);
    znXmlNode* newItem = xmlGetNode(source, "lib/item");
    znXmlNode* old1 = xmlGetNode(target, "r/item");
    ASSERT_NE(old1, nullptr);
    znXmlNode* added = xmlNodeAddReplace(target.Root(), newItem);
    ASSERT_NE(added, nullptr);
    EXPECT_NE(added, newItem);
    // Only the first item went; the copy is deep and comes last.
    EXPECT_EQ(Text(xmlGetNodeText, target.Root()), "old2newdeep");
    znXmlNode* last = xmlGetNode(target.Root(), "*[last()]");
    EXPECT_EQ(last, added);
    EXPECT_EQ(Text(xmlGetAttribute, added, "k"), "new");
    xmlRelease(last);
    // The source is unchanged.
    EXPECT_EQ(Text(xmlGetNodeText, source.Root()), "newdeep");
    znXmlNode* stillThere = xmlGetNode(source, "lib/item/sub");
    EXPECT_NE(stillThere, nullptr);
    xmlRelease(stillThere);
    // No such child: simply appended.
    znXmlNode* solo = xmlGetNode(source, "lib/solo");
    znXmlNode* soloCopy = xmlNodeAddReplace(target.Root(), solo);
    ASSERT_NE(soloCopy, nullptr);
    znXmlNode* count = xmlGetNode(target.Root(), "*[4]");
    EXPECT_EQ(count, soloCopy);
    xmlRelease(count);
    // A second root, a document and an attribute cannot be added.
    EXPECT_EQ(xmlNodeAddReplace(target, solo), nullptr);
    EXPECT_EQ(xmlNodeAddReplace(target.Root(), source), nullptr);
    znXmlNode* attr = xmlGetNode(source, "lib/item/@k");
    EXPECT_EQ(xmlNodeAddReplace(target.Root(), attr), nullptr);
    EXPECT_EQ(Text(xmlGetNodeTag, target.Root()), "r");
    // The removed node's handle stays usable, also after the document's
    // handle is given back.
    EXPECT_EQ(Text(xmlGetNodeText, old1), "old1");
    for (znXmlNode* n : {newItem, added, solo, soloCopy, attr}) xmlRelease(n);
    target.Release();
    EXPECT_EQ(Text(xmlGetNodeText, old1), "old1");
    xmlRelease(old1);
}

TEST(ZnTools3Changes, ReplacingTheRootOfADocument) {
    TempDir dir;
    Doc target(dir.Write("t.xml", "<r><a/></r>"));
    Doc source(dir.Write("s.xml", "<r><b/></r>"));
    znXmlNode* child = xmlGetNode(target, "r/a");
    znXmlNode* added = xmlNodeAddReplace(target, source.Root());
    ASSERT_NE(added, nullptr);
    znXmlNode* b = xmlGetNode(target, "r/b");
    EXPECT_NE(b, nullptr);
    EXPECT_EQ(Text(xmlGetNodeTag, child), "a");  // inside the removed root
    for (znXmlNode* n : {child, added, b}) xmlRelease(n);
}

// ---------------------------------------------------------------- saving

TEST(ZnTools3Save, WritesUtf8AndKeepsTheDeclarationRule) {
    TempDir dir;
    const std::string latin =
        dir.Write("l.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<r>caf\xE9</r>");
    Doc doc(latin);
    ASSERT_TRUE(doc);
    EXPECT_EQ(Text(xmlGetNodeText, doc.Root()), "caf\xC3\xA9");
    const std::string out = dir.Path("utf8.xml");
    ASSERT_EQ(xmlSave(doc, out.c_str()), 1);
    EXPECT_EQ(ReadAll(out), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<r>caf\xC3\xA9</r>\n");
    EXPECT_EQ(zn3test::Run("xmllint --noout '" + out + "'"), 0);

    Doc bare(dir.Write("bare.xml", "<r a=\"\xC3\xA9\"><x>\xE2\x82\xAC</x></r>"));
    const std::string bareOut = dir.Path("bare_out.xml");
    ASSERT_EQ(xmlSave(bare, bareOut.c_str()), 1);
    EXPECT_EQ(ReadAll(bareOut), "<r a=\"\xC3\xA9\"><x>\xE2\x82\xAC</x></r>\n");
}

TEST(ZnTools3Save, FailedSavesLeaveEverythingAsItWas) {
    TempDir dir;
    Doc doc(dir.Write("d.xml", "<r/>"));
    ASSERT_TRUE(doc);
    EXPECT_EQ(xmlSave(doc, dir.Path("missing/folder/x.xml").c_str()), 0);
    // The final rename fails: the target is a folder with something in it.
    const std::string target = dir.Path("target");
    std::filesystem::create_directory(target);
    WriteAll(target + "/keep.txt", "keep");
    EXPECT_EQ(xmlSave(doc, target.c_str()), 0);
    EXPECT_EQ(ReadAll(target + "/keep.txt"), "keep");
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path("")))
        names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"d.xml", "target"}));
    // An existing file is replaced whole.
    const std::string existing = dir.Write("existing.xml", "old contents");
    ASSERT_EQ(xmlSave(doc, existing.c_str()), 1);
    EXPECT_EQ(ReadAll(existing), "<r/>\n");
}

// A save respects the file it replaces: a read-only file (by its mode, for
// whoever runs this) is refused and kept; a symbolic link stays a link and
// its target gets the new content.
TEST(ZnTools3Save, ReadOnlyFilesAndSymbolicLinks) {
    TempDir dir;
    Doc doc(dir.Write("d.xml", "<r/>"));
    ASSERT_TRUE(doc);
    const std::string readOnly = dir.Write("ro.xml", "keep");
    ASSERT_EQ(chmod(readOnly.c_str(), 0444), 0);
    dir.Write("target.xml", "old");
    ASSERT_EQ(symlink("target.xml", dir.Path("link.xml").c_str()), 0);
    ASSERT_EQ(symlink("ro.xml", dir.Path("ro_link.xml").c_str()), 0);
    ASSERT_EQ(symlink("gone.xml", dir.Path("dangling.xml").c_str()), 0);
    struct Row {
        const char* name;
        int32_t saved;
        const char* file;  // where the result must be
        const char* content;
    } rows[] = {
        {"ro.xml", 0, "ro.xml", "keep"},
        {"ro_link.xml", 0, "ro.xml", "keep"},
        {"link.xml", 1, "target.xml", "<r/>\n"},
        {"dangling.xml", 0, "dangling.xml", ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(xmlSave(doc, dir.Path(r.name).c_str()), r.saved);
        EXPECT_EQ(ReadAll(dir.Path(r.file)), r.content);
    }
    for (const char* link : {"link.xml", "ro_link.xml", "dangling.xml"})
        EXPECT_TRUE(std::filesystem::is_symlink(dir.Path(link))) << link;
    struct stat st;
    ASSERT_EQ(stat(readOnly.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path("")))
        names.push_back(e.path().filename());
    EXPECT_EQ(names.size(), 6u);  // no temporary file left behind
}

TEST(ZnTools3Save, CesuTextFromTheHandheldLoads) {
    TempDir dir;
    // U+1F600 as the handheld writes it: two 3-byte surrogate sequences.
    Doc doc(dir.Write(
        "c.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><r>x\xED\xA0\xBD\xED\xB8\x80</r>"));
    ASSERT_TRUE(doc);
    EXPECT_EQ(Text(xmlGetNodeText, doc.Root()), "x\xF0\x9F\x98\x80");
    // Texts given in CESU-8 are taken too.
    xmlSetAttribute(doc.Root(), "a", "\xED\xA0\xBD\xED\xB8\x80");
    EXPECT_EQ(Text(xmlGetAttribute, doc.Root(), "a"), "\xF0\x9F\x98\x80");
}

// ---------------------------------------------------------------- hostile input

int g_hostErrors = 0;
void HostGeneric(void*, const char*, ...) {
    ++g_hostErrors;
}
void HostStructured(void*, xmlErrorPtr) {
    ++g_hostErrors;
}

TEST(ZnTools3Hostile, BadDocumentsGiveNullQuietly) {
    TempDir dir;
    const std::string fifo = dir.Path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    int marker = 0;
    xmlSetGenericErrorFunc(&marker, HostGeneric);
    xmlSetStructuredErrorFunc(&marker, HostStructured);
    struct Case {
        const char* name;
        std::string contents;
    } cases[] = {
        {"truncated", "<r><a>text</a"},
        {"not xml", "\x89PNG\r\n\x1a\n binary"},
        {"empty", ""},
        {"laughs",
         "<?xml version=\"1.0\"?><!DOCTYPE l [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
         "\"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
         "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d "
         "\"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
         "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\"><!ENTITY f "
         "\"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">]><l>&f;</l>"},
        {"external entity", "<!DOCTYPE r [<!ENTITY x SYSTEM \"" + fifo + "\">]><r>&x;</r>"},
        {"parameter entity", "<!DOCTYPE r [<!ENTITY % x SYSTEM \"" + fifo + "\"> %x;]><r/>"},
        {"external dtd", "<!DOCTYPE r SYSTEM \"" + fifo + "\"><r/>"},
        {"public dtd", "<!DOCTYPE r PUBLIC \"-//X//Y\" \"" + fifo + "\"><r/>"},
    };
    zn3test::StderrCapture err;
    EXPECT_EQ(xmlLoad(dir.Path("missing.xml").c_str()), nullptr);
    EXPECT_EQ(xmlLoad(dir.Path("").c_str()), nullptr);  // a folder
    EXPECT_EQ(xmlLoad(fifo.c_str()), nullptr);
    EXPECT_EQ(xmlLoad(nullptr), nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(xmlLoad(dir.Write("hostile.xml", c.contents).c_str()), nullptr);
    }
    // A harmless internal subset is fine.
    Doc ok(dir.Write("ok.xml", "<!DOCTYPE r [<!ELEMENT r EMPTY>]><r/>"));
    EXPECT_TRUE(ok);
    EXPECT_EQ(err.Take(), "");
    EXPECT_EQ(g_hostErrors, 0);
    EXPECT_EQ(xmlGenericErrorContext, &marker);
    EXPECT_EQ(xmlStructuredErrorContext, &marker);
    xmlSetGenericErrorFunc(nullptr, nullptr);
    xmlSetStructuredErrorFunc(nullptr, nullptr);
}

// ---------------------------------------------------------------- text conversion

TEST(ZnTools3Text, StrToUtf8) {
    struct Case {
        const char* source;
        int32_t codePage;
        std::string expect;
    } cases[] = {
        {"abc", 1252, "abc"},
        {"\xE9", 1252, "\xC3\xA9"},
        {"\x80", 1252, "\xE2\x82\xAC"},
        {"\x81", 1252, "\xC2\x81"},
        {"\x98", 1251, "\xC2\x98"},
        {"\x82\xA0", 932, "\xE3\x81\x82"},
        {"\xF0\x9F\x98\x80", 65001, "\xED\xA0\xBD\xED\xB8\x80"},
        {"\x82", 437, "\xC3\xA9"},
        {"\x82", 1, "\xC3\xA9"},
        {"caf\xC3\xA9", 0, "caf\xC3\xA9"},  // the interface code page: UTF-8 here
        {"", 1252, ""},
        {"abc", 12345, ""},
        {"abc", -5, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.codePage << " " << c.source);
        char dest[64];
        std::memset(dest, 'X', sizeof dest);
        std::strcpy(dest, "previous text");
        const int32_t n = StrToUTF8(c.source, c.codePage, dest);
        EXPECT_EQ(n, static_cast<int32_t>(c.expect.size()));
        EXPECT_EQ(std::string(dest), c.expect);
        EXPECT_EQ(dest[sizeof dest - 1], 'X');
    }
    char dest[16] = "old";
    EXPECT_EQ(StrToUTF8(nullptr, 1252, dest), 0);
    EXPECT_STREQ(dest, "");
    EXPECT_EQ(StrToUTF8("abc", 1252, nullptr), -1);
}

// ---------------------------------------------------------------- dBASE

TEST(ZnTools3Tables, IsValidRecordFollowsTheEngine) {
    TempDir dir;
    const std::string path = zn3test::MakeTableWithDeletedFirstRow(dir, "rows.dbf");
    ASSERT_NE(zn3test::Output("dbfdump '" + path + "'").find("(DELETED)"), std::string::npos);
    znTable* t = dbOpen(path.c_str());
    ASSERT_NE(t, nullptr);
    struct Step {
        int32_t record;
        int32_t expect;
    } steps[] = {
        {0, 0},  {1, 1}, {-4, 0}, {-5, 1}, {-5, 1}, {-5, 0}, {-6, 1},   {-7, 1},
        {-2, 1}, {3, 0}, {-3, 0}, {-1, 0}, {-8, 0}, {2, 1},  {-100, 0},
    };
    for (const Step& s : steps) EXPECT_EQ(dbIsValidRecord(t, s.record), s.expect) << s.record;
    dbClose(t);
    EXPECT_EQ(dbIsValidRecord(t, 1), 0);
    EXPECT_EQ(dbIsValidRecord(nullptr, 1), 0);
    dbClose(nullptr);
}

TEST(ZnTools3Tables, OpeningTables) {
    TempDir dir;
    znTable* bg = dbOpen(ZN_TEST_DATA "/dbf/blockgroups.dbf");
    ASSERT_NE(bg, nullptr);
    EXPECT_EQ(dbIsValidRecord(bg, 0), 1);
    EXPECT_EQ(dbIsValidRecord(bg, 662), 1);
    EXPECT_EQ(dbIsValidRecord(bg, 663), 0);
    dbClose(bg);

    const std::string rows = zn3test::MakeTableWithDeletedFirstRow(dir, "rows.dbf");
    const std::string bytes = ReadAll(rows);
    std::filesystem::create_directory(dir.Path("Gr\xC3\xBCn"));
    WriteAll(dir.Path("Gr\xC3\xBCn/t\xC3\xA4gl.dbf"), bytes);
    WriteAll(dir.Path("short.dbf"), bytes.substr(0, 20));
    WriteAll(dir.Path("text.dbf"), "this is not a table at all, only some text");
    EXPECT_EQ(dbOpen(dir.Path("missing.dbf").c_str()), nullptr);
    EXPECT_EQ(dbOpen(dir.Path("short.dbf").c_str()), nullptr);
    EXPECT_EQ(dbOpen(dir.Path("text.dbf").c_str()), nullptr);
    EXPECT_EQ(dbOpen(nullptr), nullptr);
    EXPECT_EQ(dbOpen(""), nullptr);
    // A FIFO is refused at once instead of waiting for a writer.
    ASSERT_EQ(mkfifo(dir.Path("pipe.dbf").c_str(), 0600), 0);
    EXPECT_EQ(dbOpen(dir.Path("pipe.dbf").c_str()), nullptr);
    znTable* nonAscii = dbOpen(dir.Path("Gr\xC3\xBCn/t\xC3\xA4gl.dbf").c_str());
    EXPECT_NE(nonAscii, nullptr);
    dbClose(nonAscii);
    // A relative path, from the working folder.
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(dir.Path("").c_str()), 0);
    znTable* relative = dbOpen("Gr\xC3\xBCn/t\xC3\xA4gl.dbf");
    WriteAll("bad:name.dbf", bytes);
    znTable* badName = dbOpen("bad:name.dbf");
    ASSERT_EQ(chdir(cwd), 0);
    EXPECT_NE(relative, nullptr);
    EXPECT_EQ(dbIsValidRecord(relative, 2), 1);
    EXPECT_EQ(badName, nullptr);
    dbClose(relative);
}

TEST(ZnTools3Misc, MergeDoesNothing) {
    EXPECT_EQ(xmlMerge(1, 2, 3), 0);
}

}  // namespace

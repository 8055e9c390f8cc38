/* What a desktop program does with the support library, in plain C against
 * the public header only. Arguments: a scratch folder and a dBASE table whose
 * rows are all valid. Returns non-zero on any difference. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "zarnip/zntools3.h"

static int failures = 0;

#define CHECK(cond)                                                   \
    do {                                                              \
        if (!(cond)) {                                                \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            ++failures;                                               \
        }                                                             \
    } while (0)

static void write_file(const char* path, const char* text) {
    FILE* f = fopen(path, "wb");
    if (!f) return;
    fputs(text, f);
    fclose(f);
}

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    char doc_path[1024], part_path[1024], out_path[1024];
    snprintf(doc_path, sizeof doc_path, "%s/map.xml", argv[1]);
    snprintf(part_path, sizeof part_path, "%s/part.xml", argv[1]);
    snprintf(out_path, sizeof out_path, "%s/saved.xml", argv[1]);
    write_file(doc_path,
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<Zarnip><MAP name=\"Sample\"><LAYER>roads</LAYER><NOTE>old</NOTE></MAP></Zarnip>");
    write_file(part_path, "<parts><NOTE kind=\"new\">caf\xC3\xA9</NOTE></parts>");

    char buf[256];
    znXmlNode* doc = xmlLoad(doc_path);
    CHECK(doc != NULL);
    znXmlNode* map = xmlGetNode(doc, "Zarnip/MAP");
    CHECK(map != NULL);
    xmlGetNodeTag(map, buf, sizeof buf);
    CHECK(strcmp(buf, "MAP") == 0);
    xmlGetAttribute(map, "name", buf, sizeof buf);
    CHECK(strcmp(buf, "Sample") == 0);
    xmlGetNodeText(map, buf, sizeof buf);
    CHECK(strcmp(buf, "roadsold") == 0);
    xmlSetAttribute(map, "name", "Renamed");

    znXmlNode* part = xmlLoad(part_path);
    znXmlNode* note = xmlGetNode(part, "parts/NOTE");
    znXmlNode* added = xmlNodeAddReplace(map, note);
    CHECK(added != NULL);
    CHECK(xmlSave(doc, out_path) == 1);

    znXmlNode* again = xmlLoad(out_path);
    CHECK(again != NULL);
    znXmlNode* map2 = xmlGetNode(again, "Zarnip/MAP");
    xmlGetAttribute(map2, "name", buf, sizeof buf);
    CHECK(strcmp(buf, "Renamed") == 0);
    xmlGetNodeText(map2, buf, sizeof buf);
    CHECK(strcmp(buf, "roadscaf\xC3\xA9") == 0);
    znXmlNode* note2 = xmlGetNode(map2, "NOTE");
    xmlGetAttribute(note2, "kind", buf, sizeof buf);
    CHECK(strcmp(buf, "new") == 0);

    char dest[32] = "";
    CHECK(StrToUTF8("caf\xE9", 1252, dest) == 5);
    CHECK(strcmp(dest, "caf\xC3\xA9") == 0);

    znTable* table = dbOpen(argv[2]);
    CHECK(table != NULL);
    CHECK(dbIsValidRecord(table, 0) == 1);
    CHECK(dbIsValidRecord(table, -7) == 1);
    CHECK(dbIsValidRecord(table, -3) == 0);
    dbClose(table);

    znXmlNode* handles[] = {note2, map2, again, added, note, part, map, doc};
    for (size_t i = 0; i < sizeof handles / sizeof handles[0]; ++i) xmlRelease(handles[i]);
    if (failures) fprintf(stderr, "%d checks failed\n", failures);
    return failures ? 1 : 0;
}

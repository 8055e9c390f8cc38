// A datum transformation chosen for a map survives saving and reopening the
// map: the document keeps only the system's text, and the chosen row is the
// datum's default in the datum table, which reading the text finds.
#include <cstdlib>

#include "crs/coord_sys.h"
#include "crs/datum_table.h"
#include "crs/geographic.h"
#include "crs/wkt.h"
#include "map/layers/map_doc.h"
#include "tests/map/map_doubles.h"

namespace {

class DatumChoice : public MapTest {
protected:
    void TearDown() override {
        FreeDatumTable();
        SetDatumTableFile(u"");
        FreeDatumTable();
        MapTest::TearDown();
    }
};

TEST_F(DatumChoice, ChosenTransformationSurvivesTheDocument) {
    ASSERT_TRUE(ShellIn("System", "cp '" + std::string(ZN_SOURCE_DIR) +
                                      "/data/System/znDatums.dbf' ."));
    SetDatumTableFile(u"\\System\\znDatums.dbf");
    // A datum with several transformations; take one that is not its default.
    const DatumTransformation* chosenRow = nullptr;
    for (int32_t i = 1; i < GetDatumCount() && !chosenRow; ++i) {
        const DatumTransformation* row = GetDatumRow(i);
        if (CountDatumsByName(row->datumName) > 1 && FindDatumByName(row->datumName) != row)
            chosenRow = row;
    }
    ASSERT_NE(chosenRow, nullptr);
    DatumTransformation chosen = *chosenRow;
    ASSERT_TRUE(SaveDefaultDatums(chosen));  // what the Datums dialog does

    CGeographic geographic;
    ASSERT_TRUE(geographic.SetDatumRecord(&chosen));
    CMapDoc doc;
    ASSERT_TRUE(doc.OnNewDocument());
    CWktCoordSys parser;
    ASSERT_TRUE(parser.ParseWkt(FormatWkt(geographic, false)));
    doc.SetMapCoordSys(parser.CreateProjection().release(), true);
    ASSERT_TRUE(doc.OnSaveDocument(u"\\Docs\\datum.znm"));

    FreeDatumTable();  // as after a restart
    CMapDoc reopened;
    ASSERT_TRUE(reopened.OnOpenDocument(u"\\Docs\\datum.znm"));
    ASSERT_NE(reopened.GetMapCoordSys(), nullptr);
    EXPECT_EQ(reopened.GetMapCoordSys()->m_datum.transformationId, chosen.transformationId);
    EXPECT_EQ(reopened.GetMapCoordSys()->m_datum.datumName, chosen.datumName);
}

}  // namespace

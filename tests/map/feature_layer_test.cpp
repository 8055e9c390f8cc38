// The feature layer base: label field, hyperlinks and the property sheet.
#include "map/layers/feature_layer.h"
#include "platform/win/msgbox.h"
#include "tests/map/map_doubles.h"

namespace {

class FeatureLayer : public MapTest {};

TEST_F(FeatureLayer, LabelField) {
    struct {
        std::vector<WString> fields;
        int expected;
    } rows[] = {
        {{u"ID", u"STREET_NAME", u"TITLE"}, 1},
        {{u"ROAD_ID", u"NAME"}, 0},
        {{u"AREA", u"PERIMETER"}, 0},
        {{u"AREA", u"NAM"}, 1},
        {{u"AREA", u"X_NAM"}, 1},
        {{u"AREA", u"TEXT"}, 1},
        {{u"AREA", u"Label"}, 1},
        {{u"AREA", u"PARCEL_ID", u"NAME"}, 1},
        {{}, 0},
    };
    for (const auto& r : rows) {
        CFieldsLayer layer(r.fields);
        EXPECT_EQ(layer.FindLabelField(), r.expected) << text::ToUtf8(r.fields.empty() ? u"" : r.fields.back());
    }
}

TEST_F(FeatureLayer, Hyperlinks) {
    Put("d/photo.jpg", "jpeg");
    struct {
        const WChar* link;
        int record;
        int field;
        bool result;
        const WChar* url;
        const WChar* file;
        bool message;
    } rows[] = {
        {u"HTTP://example.org/a", 1, 0, true, u"HTTP://example.org/a", nullptr, false},
        {u"https://example.org/b", 1, 0, true, u"https://example.org/b", nullptr, false},
        {u"Photo.JPG", 1, 0, true, nullptr, u"\\d\\photo.jpg", false},
        {u"\\d\\photo.jpg", 1, 0, true, nullptr, u"\\d\\photo.jpg", false},
        {u"missing.jpg", 1, 0, false, nullptr, nullptr, true},
        {u"Photo.JPG", 0, 0, false, nullptr, nullptr, false},
        {u"Photo.JPG", 1, -1, false, nullptr, nullptr, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(text::ToUtf8(r.link));
        shell_.urls.clear();
        shell_.files.clear();
        win::ClearMessageBoxLog();
        CFieldsLayer layer({u"LINK"}, {r.link});
        layer.SetPath(u"\\d\\points.shp");
        layer.SetHyperlinkField(r.field);
        EXPECT_EQ(layer.OpenHyperlink(nullptr, r.record), r.result);
        EXPECT_EQ(shell_.urls, r.url ? std::vector<WString>{r.url} : std::vector<WString>{});
        EXPECT_EQ(shell_.files, r.file ? std::vector<WString>{r.file} : std::vector<WString>{});
        if (r.message)
            EXPECT_EQ(MessageTexts(), std::vector<WString>{u"The file '\\d\\missing.jpg' doesn't exist."});
        else
            EXPECT_TRUE(MessageTexts().empty());
    }
}

TEST_F(FeatureLayer, PropertySheetAndIdentify) {
    CFieldsLayer shape({u"A"});
    shape.SetKind(LayerKind::Shape);
    EXPECT_TRUE(shape.ShowFeatureProperties(nullptr, 5));
    shell_.sheetResult = false;
    EXPECT_FALSE(shape.EditFeatureProperties(nullptr, 3));
    ASSERT_EQ(shell_.sheets.size(), 2u);
    EXPECT_EQ(shell_.sheets[0].record, 4);
    EXPECT_EQ(shell_.sheets[0].mode, 1);
    EXPECT_EQ(shell_.sheets[1].record, 2);
    EXPECT_EQ(shell_.sheets[1].mode, 2);

    CFieldsLayer extension({u"A"});
    extension.SetKind(LayerKind::Extension);
    EXPECT_FALSE(extension.ShowFeatureProperties(nullptr, 5));
    EXPECT_FALSE(extension.EditFeatureProperties(nullptr, 5));
    ASSERT_EQ(shell_.identified.size(), 1u);
    EXPECT_EQ(shell_.identified[0].second, 5);
    EXPECT_EQ(shell_.sheets.size(), 2u);
}

}  // namespace

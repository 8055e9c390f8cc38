// The extra properties of extension layers in a real map document: what the
// module saves is written as one EXTRAPROPERTIES element and handed back
// when the map is read, and nothing a module answers makes the document
// unreadable.
#include <gtest/gtest.h>

#include "map/layers/layer_list.h"
#include "map/layers/map_doc.h"
#include "tests/extensions/ext_fixture.h"

namespace {

class ExtraPropertiesTest : public ExtensionTest {
protected:
    void SetUp() override {
        ExtensionTest::SetUp();
        Load({"testlayer", "badtext"});
        for (const char* name : {"roads.tlyr", "bare.tlyr", "odd.tbad"}) Put(std::string("Docs/") + name, "x");
    }
    // A new map with the layers, saved.
    void Save(const std::vector<WString>& paths, const WString& map) {
        CMapDoc doc;
        ASSERT_TRUE(doc.OnNewDocument());
        for (const WString& p : paths) {
            CLayer* layer = nullptr;
            ASSERT_TRUE(doc.AddLayerFromPath(p, &layer)) << Narrow(p);
        }
        ASSERT_TRUE(doc.WriteMapFile(map));
    }
};

TEST_F(ExtraPropertiesTest, WrittenAndReadBack) {
    Save({u"\\Docs\\roads.tlyr", u"\\Docs\\bare.tlyr"}, u"\\Docs\\ext.znm");
    ASSERT_TRUE(XmlWellFormed("Docs/ext.znm"));
    // One element, for the layer that has properties; values escaped.
    EXPECT_EQ(XPath("Docs/ext.znm", "count(//EXTRAPROPERTIES)"), "1");
    EXPECT_EQ(XPath("Docs/ext.znm", "//EXTRAPROPERTIES/@*"),
              " colour=\"red\"\n note=\"a &quot;quoted&quot; &lt;note&gt; &amp; more\"");
    EXPECT_EQ(XPath("Docs/ext.znm", "count(//LAYER[EXTRAPROPERTIES])"), "1");

    CExtension* module = Named(u"Test Layer");
    ClearModuleLog(module);
    CMapDoc reopened;
    ASSERT_TRUE(reopened.OnOpenDocument(u"\\Docs\\ext.znm"));
    ASSERT_EQ(reopened.GetLayers().GetCount(), 2);
    std::vector<std::string> loads = LinesStartingWith(ModuleLog(module), "testlayer Load");
    std::sort(loads.begin(), loads.end());
    ASSERT_EQ(loads.size(), 2u);
    EXPECT_NE(loads[0].find(" colour=red"), std::string::npos) << loads[0];
    EXPECT_NE(loads[1].find(" note=a \"quoted\" <note> & more"), std::string::npos) << loads[1];
}

TEST_F(ExtraPropertiesTest, WhatAModuleAnswersBadlyIsLeftOut) {
    Save({u"\\Docs\\odd.tbad"}, u"\\Docs\\odd.znm");
    // The name that is no XML name is skipped; the buffers filled to their
    // last unit are cut; a module that never ends stops at 1024 properties.
    ASSERT_TRUE(XmlWellFormed("Docs/odd.znm"));
    EXPECT_EQ(XPath("Docs/odd.znm", "count(//EXTRAPROPERTIES/@*)"), "1023");
    EXPECT_EQ(XPath("Docs/odd.znm", "string-length(name(//EXTRAPROPERTIES/@*[1]))"), "63");
    EXPECT_EQ(XPath("Docs/odd.znm", "string-length(//EXTRAPROPERTIES/@*[1])"), "1023");
    EXPECT_EQ(XPath("Docs/odd.znm", "string(//EXTRAPROPERTIES/@p1023)"), "1023");
    EXPECT_EQ(XPath("Docs/odd.znm", "count(//EXTRAPROPERTIES/@p1024)"), "0");
    // Its absurd text lengths gave no name, comments or system.
    CMapDoc reopened;
    ASSERT_TRUE(reopened.OnOpenDocument(u"\\Docs\\odd.znm"));
    ASSERT_EQ(reopened.GetLayers().GetCount(), 1);
    CLayer* layer = reopened.GetLayers().GetAt(0);
    EXPECT_EQ(layer->GetComments(), u"");
    EXPECT_EQ(layer->GetLayerCoordSys(), nullptr);
    EXPECT_FALSE(layer->HasAttributes());
    EXPECT_FALSE(layer->HasLegendClasses());
}

}  // namespace

// The identify window: its tree for a point and a rectangle, the buttons,
// the action menu, links and the map overlay.
#include <gtest/gtest.h>

#include "tests/map/identify_harness.h"

namespace {

using viewtest::IdentifyHarness;

class IdentifyWindow : public IdentifyHarness {};

TEST_F(IdentifyWindow, Probe) {
    OpenEditView();
    for (CLayer* l : {(CLayer*)points_, (CLayer*)lines_, (CLayer*)polygons_})  l->SetIdentify(true);
    GetIdentifyWindow()->IdentifyArea(20, 20, 2, nullptr);
    Pump();
    for (auto& l : TreeLines()) printf("%s\n", l.c_str());
}

}  // namespace

#include "shell/config/command_names.h"

// Row 6 has no name: the Tools drop-down is reached only as "#1034".
const CommandNameEntry CommandNameTable[kCommandNameCount] = {
    {57601, u"openmap"},
    {57603, u"savemap"},
    {1029, u"addlayer"},
    {1025, u"layers"},
    {1021, u"gpspositionwindow"},
    {1034, u""},
    {57670, u"help"},
    {1800, u"modezoomin"},
    {1801, u"modezoomout"},
    {1802, u"modepan"},
    {1014, u"zoomfullextent"},
    {1003, u"zoomprevious"},
    {1004, u"zoomnext"},
    {1810, u"modeidentify"},
    {1811, u"modemeasure"},
    {1813, u"modefreehandmeasure"},
    {1814, u"modehyperlink"},
    {1028, u"find"},
    {1031, u"clearselected"},
    {1026, u"refresh"},
    {1820, u"modeselect"},
    {1822, u"modedrawpoint"},
    {1823, u"modedrawline"},
    {1825, u"modedrawfreehandline"},
    {1826, u"modedrawrectangle"},
    {1827, u"modedrawpolygon"},
    {1828, u"modedrawellipse"},
    {1840, u"addgpspoint"},
    {1016, u"featureproperties"},
    {1017, u"delete"},
    {1010, u"fixedzoomin"},
    {1011, u"fixedzoomout"},
    {1013, u"centerongps"},
    {1015, u"zoomtolayer"},
    {1012, u"zoomtoselected"},
    {1033, u"addims"},
    {1032, u"mapvault"},
    {1037, u"scriptdialog"},
    {1038, u"togglestatusbar"},
    {1039, u"togglescalebar"},
    {57665, u"exit"},
    {57604, u"savemapas"},
    {57600, u"newmap"},
    {1000, u"newlayer"},
    {1073, u"mapproperties"},
    {1018, u"gpsenable"},
    {1019, u"gpstracklog"},
    {1020, u"gpsdebug"},
    {1074, u"togglepanframe"},
    {1027, u"options"},
    {57664, u"about"},
    {1005, u"setmapcoordinates"},
    {1006, u"setmapscale"},
    {1007, u"createbookmark"},
    {1008, u"managebookmarks"},
    {1821, u"modevertexedit"},
    {1824, u"modedrawpolyline"},
    {1829, u"modedrawcircle"},
    {1830, u"modedrawfreehandpolygon"},
    {1812, u"modemeasureradial"},
    {1815, u"modegoto"},
    {1816, u"modeadvancedselect"},
    {1845, u"gpsselect"},
    {1841, u"gpsvertex"},
    {1842, u"gpsstream"},
    {1706, u"featurecenter"},
    {1705, u"featuregoto"},
};

const ButtonImageNameEntry ButtonImageNameTable[kButtonImageNameCount] = {
    {u"$question", 0}, {u"$bex", 1},     {u"$fish", 2},        {u"$pig", 3},
    {u"$smile", 4},    {u"$happy", 4},   {u"$sad", 5},         {u"$heart", 6},
    {u"$diamond", 7},  {u"$spade", 8},   {u"$club", 9},        {u"$calculator", 10},
    {u"$keyboard", 11}, {u"$house", 12},
};

int CommandIdFromName(WStringView name) {
    if (name.empty()) return 0;
    if (name[0] == u'#') {
        WStringView digits = name.substr(1);
        if (digits.empty() || digits.size() > 5) return -1;
        int id = 0;
        for (WChar c : digits) {
            if (c < u'0' || c > u'9') return -1;
            id = id * 10 + (c - u'0');
        }
        return id >= 1 && id <= 65535 ? id : -1;
    }
    for (const CommandNameEntry& row : CommandNameTable)
        if (row.name[0] && text::EqualsNoCase(name, row.name)) return row.id;
    return -1;
}

const WChar* CommandNameFromId(int id) {
    for (const CommandNameEntry& row : CommandNameTable)
        if (row.id == id) return row.name;
    return nullptr;
}

int ButtonImageFromName(WStringView name) {
    for (const ButtonImageNameEntry& row : ButtonImageNameTable)
        if (text::EqualsNoCase(name, row.name)) return row.image;
    return 0;
}

// Resource ids of the Feature Properties sheet and its built-in pages.
#pragma once

#define IDS_FEATURE_PROPERTIES 7212
// Attributes.
#define IDD_FEATURE_ATTRIBUTES 15000
#define IDC_FEATURE_FIELDS 1028
// Geography of point features.
#define IDD_FEATURE_POINT 15200
#define IDC_POINT_GPS 15201
#define IDC_POINT_X_LABEL 15202
#define IDC_POINT_Y_LABEL 15203
#define IDC_POINT_Z_LABEL 15204
#define IDC_POINT_M_LABEL 15205
#define IDC_POINT_X 1000
#define IDC_POINT_Y 1001
#define IDC_POINT_Z 1002
#define IDC_POINT_M 1003
#define IDC_POINT_PROGRESS 1212
#define IDC_POINT_COUNT 1213
// Geography of lines, polygons and multipoints.
#define IDD_FEATURE_GEOGRAPHY 15300
#define IDC_GEOGRAPHY_LENGTH_LABEL 15301
#define IDC_GEOGRAPHY_AREA_LABEL 15302
#define IDC_GEOGRAPHY_VERTICES 1211
#define IDC_GEOGRAPHY_LENGTH 1157
#define IDC_GEOGRAPHY_AREA 1156
// Symbology.
#define IDD_FEATURE_SYMBOLOGY 15400
#define IDC_SYMBOLOGY_LIST 1148

// The dialog data exchange of a coordinate field: the edit control shows a
// coordinate in the chosen text form, and saving reads any coordinate text
// back (the conversions are crs/coord_text.h).
#pragma once

class CDataExchange;

// Coordinate text types of the dialog data exchange.
enum CoordinateTextType {
    kCoordinateNumber = 0,   // the framework's double exchange
    kCoordinateDecimal = 1,  // "%.15g"
    kCoordinateDms = 2,      // edit-field DMS
    kCoordinateDmm = 3,      // edit-field DMM
};
// Fills the control from the value or (saving) the value from the control;
// text that is not a coordinate shows the number prompt and fails.
void DDX_Coordinate(CDataExchange* dx, int id, double& value, int type, bool isLatitude);
// Types 1 to 3: -90..90 for a latitude, -180..180 for a longitude.
void DDV_Coordinate(CDataExchange* dx, double value, int type, bool isLatitude);

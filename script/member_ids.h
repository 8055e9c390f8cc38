// The member numbers of the scripting type library. A member's DISPID is
// 0x10000 + its number for a property and 0x20000 + its number for a method;
// the number belongs to the name, so like-named members share it in every
// interface. Every class's table takes its DISPIDs from here.
//
// Departures from the rule, as the library has them: the default member of a
// class is 0 and _NewEnum -4; INet numbers its two members 1 and 2 and the
// common dialogs 0x65 to 0x68 without the kind bit; ScaleRectangle is 0x64;
// PointerX and PointerY share their numbers with x and y.
#pragma once

#include "platform/com/com.h"

namespace dispid {

constexpr DISPID kDefault = 0;
constexpr DISPID kNewEnum = -4;

namespace prop {
constexpr DISPID Name = 0x10000;
constexpr DISPID Visible = 0x10001;
constexpr DISPID hWnd = 0x10002;
constexpr DISPID Caption = 0x10003;
constexpr DISPID Type = 0x10004;
constexpr DISPID NumericScale = 0x10005;
constexpr DISPID Count = 0x10006;
constexpr DISPID FilePath = 0x10007;
constexpr DISPID Extent = 0x10008;
constexpr DISPID Index = 0x10009;
constexpr DISPID Enabled = 0x1000A;
constexpr DISPID Text = 0x1000B;
constexpr DISPID CoordinateSystem = 0x1000C;
constexpr DISPID DefinedSize = 0x1000D;
constexpr DISPID PointerX = 0x1000E;
constexpr DISPID x = 0x1000E;
constexpr DISPID PointerY = 0x1000F;
constexpr DISPID y = 0x1000F;
constexpr DISPID Z = 0x10010;
constexpr DISPID Measure = 0x10011;
constexpr DISPID hInstance = 0x10012;
constexpr DISPID hResource = 0x10013;
constexpr DISPID Forms = 0x10014;
constexpr DISPID Applets = 0x10015;
constexpr DISPID PointerDisplayX = 0x10016;
constexpr DISPID PointerDisplayY = 0x10017;
constexpr DISPID Identifiable = 0x10018;
constexpr DISPID Result = 0x10019;
constexpr DISPID MessageText = 0x1001A;
constexpr DISPID MessageType = 0x1001B;
constexpr DISPID Comments = 0x1001C;
constexpr DISPID Longitude = 0x1001E;
constexpr DISPID Latitude = 0x1001F;
constexpr DISPID Altitude = 0x10020;
constexpr DISPID InBufferCount = 0x10021;
constexpr DISPID OutBufferCount = 0x10022;
constexpr DISPID Break = 0x10023;
constexpr DISPID CommEvent = 0x10024;
constexpr DISPID EditLayer = 0x10025;
constexpr DISPID CanEdit = 0x10026;
constexpr DISPID Editable = 0x10027;
constexpr DISPID Eof = 0x10028;  // "EOF" (the C library owns that name)
constexpr DISPID BOF = 0x10029;
constexpr DISPID SelectionLayer = 0x1002A;
constexpr DISPID SelectionBookmark = 0x1002B;
constexpr DISPID RecordCount = 0x1002C;
constexpr DISPID Shape = 0x1002D;
constexpr DISPID ShapeType = 0x1002E;
constexpr DISPID Bookmark = 0x1002F;
constexpr DISPID ListCount = 0x10030;
constexpr DISPID ListIndex = 0x10031;
constexpr DISPID Field = 0x10032;
constexpr DISPID CanIdentify = 0x10033;
constexpr DISPID GeographicName = 0x10034;
constexpr DISPID ProjectionName = 0x10035;
constexpr DISPID DatumName = 0x10036;
constexpr DISPID SemiMajorAxis = 0x10037;
constexpr DISPID Flattening = 0x10038;
constexpr DISPID Datum = 0x10039;
constexpr DISPID Precision = 0x1003B;
constexpr DISPID Parent = 0x1003C;
constexpr DISPID Records = 0x1003D;
constexpr DISPID Method = 0x1003E;
constexpr DISPID Fields = 0x1003F;
constexpr DISPID Transform = 0x10040;
constexpr DISPID Handle = 0x10041;
constexpr DISPID Seek = 0x10042;
constexpr DISPID BigEndian = 0x10043;
constexpr DISPID LOF = 0x10044;
constexpr DISPID Properties = 0x10045;
constexpr DISPID Left = 0x10046;
constexpr DISPID Right = 0x10048;
constexpr DISPID Width = 0x10049;
constexpr DISPID Top = 0x1004A;
constexpr DISPID Bottom = 0x1004B;
constexpr DISPID Height = 0x1004C;
constexpr DISPID Ceiling = 0x1004D;
constexpr DISPID Floor = 0x1004E;
constexpr DISPID Depth = 0x1004F;
constexpr DISPID Center = 0x10050;
constexpr DISPID MinimumMeasure = 0x10051;
constexpr DISPID MaximumMeasure = 0x10052;
constexpr DISPID MeasureRange = 0x10053;
constexpr DISPID IsMeasured = 0x10054;
constexpr DISPID Map = 0x10055;
constexpr DISPID GPS = 0x10056;
constexpr DISPID ToolBars = 0x10057;
constexpr DISPID StatusBar = 0x10058;
constexpr DISPID Timer = 0x10059;
constexpr DISPID Interval = 0x1005A;
constexpr DISPID Mode = 0x1005B;
constexpr DISPID Checked = 0x1005C;
constexpr DISPID System = 0x1005D;
constexpr DISPID LCID = 0x10065;
constexpr DISPID Version = 0x10066;
constexpr DISPID IsDeleted = 0x10068;
constexpr DISPID UserProperties = 0x10069;
constexpr DISPID Scale = 0x1006A;
constexpr DISPID ID = 0x1006B;
constexpr DISPID LayerType = 0x1006C;
constexpr DISPID LayerFormat = 0x1006D;
constexpr DISPID GeographicUnit = 0x1006E;
constexpr DISPID ProjectionUnit = 0x1006F;
constexpr DISPID Projection = 0x10070;
constexpr DISPID IsOpen = 0x10071;
constexpr DISPID Parameters = 0x10072;
constexpr DISPID IsActive = 0x10073;
constexpr DISPID ActivePage = 0x10074;
constexpr DISPID ListValues = 0x10075;
constexpr DISPID ListText = 0x10076;
constexpr DISPID FixedZoom = 0x10079;
constexpr DISPID IsValidFix = 0x1007A;
constexpr DISPID Protocol = 0x1007B;
constexpr DISPID CodeName = 0x1007C;
constexpr DISPID Extensions = 0x1007D;
constexpr DISPID Length = 0x1007E;
constexpr DISPID Area = 0x1007F;
constexpr DISPID Perimeter = 0x10080;
constexpr DISPID MGRS = 0x10082;
constexpr DISPID Sentence = 0x10083;
constexpr DISPID Distance = 0x10084;
constexpr DISPID Bearing = 0x10085;
constexpr DISPID Label = 0x10086;
constexpr DISPID Navigation = 0x10087;
constexpr DISPID Range = 0x10088;
constexpr DISPID Active = 0x10089;
constexpr DISPID ServerName = 0x1008A;
constexpr DISPID ServerPort = 0x1008B;
constexpr DISPID RequestOXL = 0x1008C;
constexpr DISPID ResponseOXL = 0x1008D;
constexpr DISPID IsNull = 0x1008E;
constexpr DISPID CoordinateFormat = 0x1008F;
constexpr DISPID Style = 0x10090;
constexpr DISPID CodePage = 0x10091;
}  // namespace prop

namespace method {
constexpr DISPID SetFocus = 0x20001;
constexpr DISPID Open = 0x20002;
constexpr DISPID Close = 0x20003;
constexpr DISPID CenterAt = 0x20004;
constexpr DISPID CenterAtXY = 0x20005;
constexpr DISPID Read = 0x20006;
constexpr DISPID ReadLine = 0x20007;
constexpr DISPID ReadByte = 0x20008;
constexpr DISPID Write = 0x20009;
constexpr DISPID WriteLine = 0x2000A;
constexpr DISPID WriteByte = 0x2000B;
constexpr DISPID MoveFirst = 0x2000C;
constexpr DISPID MoveLast = 0x2000D;
constexpr DISPID MoveNext = 0x2000E;
constexpr DISPID MovePrevious = 0x2000F;
constexpr DISPID Move = 0x20010;
constexpr DISPID AddFeature = 0x20011;
constexpr DISPID AddFeatureXY = 0x20012;
constexpr DISPID AddLayerFromFile = 0x20013;
constexpr DISPID TrackRectangle = 0x20014;
constexpr DISPID TrackEllipse = 0x20015;
constexpr DISPID IdentifyXY = 0x20016;
constexpr DISPID HyperlinkXY = 0x20017;
constexpr DISPID Clear = 0x20018;
constexpr DISPID Refresh = 0x20019;
constexpr DISPID AddNew = 0x2001A;
constexpr DISPID Update = 0x2001B;
constexpr DISPID CancelUpdate = 0x2001C;
constexpr DISPID Supports = 0x2001D;
constexpr DISPID Delete = 0x2001E;
constexpr DISPID Create = 0x2001F;
constexpr DISPID AddItem = 0x20020;
constexpr DISPID Append = 0x20021;
constexpr DISPID RemoveItem = 0x20022;
constexpr DISPID Remove = 0x20023;
constexpr DISPID Escape = 0x20024;
constexpr DISPID ReadShort = 0x20025;
constexpr DISPID ReadLong = 0x20026;
constexpr DISPID ReadDouble = 0x20027;
constexpr DISPID ReadFloat = 0x20028;
constexpr DISPID WriteShort = 0x20029;
constexpr DISPID WriteLong = 0x2002A;
constexpr DISPID WriteDouble = 0x2002B;
constexpr DISPID WriteFloat = 0x2002C;
constexpr DISPID Run = 0x2002D;
constexpr DISPID PlaySound = 0x2002E;
constexpr DISPID Click = 0x2002F;
constexpr DISPID Edit = 0x20030;
constexpr DISPID Identify = 0x20031;
constexpr DISPID Hyperlink = 0x20032;
constexpr DISPID GotoXY = 0x20034;
constexpr DISPID Find = 0x20035;
constexpr DISPID FindNearestXY = 0x20039;
constexpr DISPID Activate = 0x2003A;
constexpr DISPID Validate = 0x2003B;
constexpr DISPID Exists = 0x2003C;
constexpr DISPID Save = 0x2003D;
constexpr DISPID LookupCode = 0x2003E;
constexpr DISPID LookupConstant = 0x2003F;
constexpr DISPID Show = 0x20040;
constexpr DISPID Import = 0x20041;
constexpr DISPID Export = 0x20042;
constexpr DISPID Project = 0x20043;
constexpr DISPID Beep = 0x20044;
constexpr DISPID AddItemsFromTable = 0x20045;
constexpr DISPID ShowAbout = 0x20046;
constexpr DISPID ShowProperties = 0x20047;
constexpr DISPID DistanceTo = 0x20048;
constexpr DISPID IsPointIn = 0x20049;
constexpr DISPID Inset = 0x2004A;
constexpr DISPID Offset = 0x2004B;
constexpr DISPID BearingTo = 0x2004C;
constexpr DISPID SelectXY = 0x2004D;
constexpr DISPID Select = 0x2004E;
constexpr DISPID FindWindow = 0x2004F;
constexpr DISPID ShowWindow = 0x20050;
constexpr DISPID SendMessage = 0x20051;
constexpr DISPID PostMessage = 0x20052;
constexpr DISPID Quit = 0x20053;
constexpr DISPID CreateAppObject = 0x20054;
constexpr DISPID GetProfileString = 0x20055;
constexpr DISPID WriteProfileString = 0x20056;
constexpr DISPID GetProfileInt = 0x20057;
constexpr DISPID WriteProfileInt = 0x20058;
constexpr DISPID WaitCursor = 0x20059;
constexpr DISPID SendOXLRequest = 0x2005A;
constexpr DISPID BuildSpatialIndex = 0x2005B;
constexpr DISPID DeleteSpatialIndex = 0x2005C;
constexpr DISPID Pack = 0x2005D;
constexpr DISPID Execute = 0x2005E;
constexpr DISPID ScaleRectangle = 0x64;
}  // namespace method

// The Internet object's two members.
namespace inet {
constexpr DISPID HostName = 1;
constexpr DISPID OpenURL = 2;
}  // namespace inet

// The common dialogs' methods.
namespace commondialog {
constexpr DISPID ShowOpen = 0x65;
constexpr DISPID ShowSave = 0x66;
constexpr DISPID ShowColor = 0x67;
constexpr DISPID ShowSIP = 0x68;
}  // namespace commondialog

}  // namespace dispid

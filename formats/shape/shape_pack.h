// Packing a shapefile: records marked deleted are removed from `.shp`, `.shx`
// and `.dbf` for good. The live records are copied into "$Pack_<name>" files
// beside the source; only when every record was copied and the copies are on
// disk are the files swapped (the source becomes "$Original_<name>" until the
// packed files are open). Any failure puts the source back as it was and
// reports it; the shapefile object and its engine handles stay the same
// objects throughout, so holders of the handle (script recordsets, layers)
// keep working.
//
// The user interface (the progress window, message boxes, beeps, the free
// space query) goes through IPackUi, which the caller gives, so the engine
// shows no window itself (the program gives one from its map services);
// tests use a recording double.
#pragma once

#include <cstdint>

#include "formats/shape/shape_file.h"
#include "platform/text/text.h"
#include "platform/types.h"

// Texts of the string table used here.
constexpr UINT kIdsErrorCreatingShapeFile = 8003;  // "Error creating shape file '%1'"
constexpr UINT kIdsPackingShapefile = 7208;        // "Packing shapefile"
constexpr UINT kIdsPackCancelled = 8452;           // "Shapefile pack cancelled."

class IPackUi {
public:
    virtual ~IPackUi() = default;
    // A message box of a style of formats/message_sink.h (kEBoxYesNo |
    // kEIconWarning, ...); the answer (kEAnswerYes, kEAnswerOk, ...).
    virtual int MessageBox(const WString& text, UINT type) = 0;
    // The progress window: range 0 to `range`, a step, a status line.
    virtual void BeginProgress(const WString& title, int range, int step,
                               const WString& status) = 0;
    // Steps the bar and lets the window process its messages; false when
    // the user cancelled.
    virtual bool StepProgress() = 0;
    virtual void EndProgress() = 0;
    // The sound of a message of that icon (kEIconWarning, ...).
    virtual void Beep(UINT type) = 0;
    // Free bytes for the caller on the volume of a path.
    virtual bool GetFreeBytes(const WString& path, uint64_t* bytes);
    // A string of the program's table (the texts above by default).
    virtual WString LoadString(UINT id);
};

// 1 when packed (or nothing was deleted), 0 when declined, cancelled or
// failed; the source is then as it was.
int PackShapefile(CShapeFile& shapefile, bool rebuildIndex, IPackUi& ui);

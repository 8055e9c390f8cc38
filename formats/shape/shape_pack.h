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
// space query) goes through IPackUi, so the engine layer does not depend on
// the main window; tests use a recording double.
#pragma once

#include <cstdint>
#include <memory>

#include "formats/shape/shape_file.h"
#include "platform/text/text.h"
#include "platform/types.h"

// Texts of the string table used here.
constexpr UINT kIdsErrorCreatingShapeFile = 8003;  // "Error creating shape file '%1'"
constexpr UINT kIdsPackingShapefile = 7208;        // "Packing shapefile"
constexpr UINT kIdsPackCancelled = 8452;           // "Shapefile pack cancelled."

class CProgressWnd;

class IPackUi {
public:
    virtual ~IPackUi() = default;
    // A message box (MB_* type); the answer (IDYES, IDOK, ...).
    virtual int MessageBox(const WString& text, UINT type) = 0;
    // The progress window: range 0 to `range`, a step, a status line.
    virtual void BeginProgress(const WString& title, int range, int step,
                               const WString& status) = 0;
    // Steps the bar and lets the window process its messages; false when
    // the user cancelled.
    virtual bool StepProgress() = 0;
    virtual void EndProgress() = 0;
    virtual void Beep(UINT type) = 0;
    // Free bytes for the caller on the volume of a path.
    virtual bool GetFreeBytes(const WString& path, uint64_t* bytes);
    // A string of the program's table (the texts above by default).
    virtual WString LoadString(UINT id);
};

// Message boxes, beeps and the progress window through the platform, owned
// by `owner` (the main window when none); the texts come from the string
// table through the language module.
class CPlatformPackUi : public IPackUi {
public:
    explicit CPlatformPackUi(HWND owner = nullptr);
    ~CPlatformPackUi() override;
    int MessageBox(const WString& text, UINT type) override;
    void BeginProgress(const WString& title, int range, int step, const WString& status) override;
    bool StepProgress() override;
    void EndProgress() override;
    void Beep(UINT type) override;
    WString LoadString(UINT id) override;
    CProgressWnd* GetProgressWnd() const { return m_progress.get(); }

private:
    HWND m_owner;
    std::unique_ptr<CProgressWnd> m_progress;
};

// 1 when packed (or nothing was deleted), 0 when declined, cancelled or
// failed; the source is then as it was.
int PackShapefile(CShapeFile& shapefile, bool rebuildIndex, IPackUi& ui);

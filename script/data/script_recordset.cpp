#include "script/data/script_recordset.h"

#include <cfloat>
#include <cstring>

#include "core/no_data.h"
#include "core/path.h"
#include "core/text_helpers.h"
#include "crs/geographic.h"
#include "crs/wkt.h"
#include "formats/dbf/dbf_field.h"
#include "formats/shape/shape_pack.h"
#include "formats/shape/spatial_index.h"
#include "map/services/shape_pack_ui.h"
#include "platform/fs/fs.h"
#include "platform/win/window.h"
#include "script/data/script_fields.h"
#include "script/data/script_rect.h"
#include "script/member_ids.h"
#include "script/script_host.h"

namespace {

double (*g_toleranceSource)() = nullptr;

// The outcome of one move.
enum class MoveResult { Moved, OutOfRange, Failed };

// The kind of file a path names by its extension: 1 shapefile, 2 table, 0
// anything else.
int FileKind(const WString& path) {
    const WString ext = CPath(path).GetExtension(false);
    if (text::EqualsNoCase(ext, u"shp")) return 1;
    if (text::EqualsNoCase(ext, u"dbf")) return 2;
    return 0;
}

bool IsShapeTypeConstant(int32_t type) {
    for (const ShapeTypeConstant& c : ShapeTypeConstants())
        if (c.value == type) return true;
    return false;
}

struct WaitCursor {
    WaitCursor() { win::BeginWaitCursor(); }
    ~WaitCursor() { win::EndWaitCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Cursor options a script may ask about (a record cursor's numbering).
constexpr int32_t kSupportsAddNew = 0x1000400;
constexpr int32_t kSupportsDelete = 0x1000800;
constexpr int32_t kSupportsUpdate = 0x1008000;
constexpr int32_t kSupportsMovePrevious = 0x200;
constexpr int32_t kSupportsBookmark = 0x2000;

}  // namespace

const InterfaceDesc& CScriptRecordset::Desc() {
    using C = CScriptRecordset;
    namespace p = dispid::prop;
    namespace m = dispid::method;
    static const InterfaceDesc d =
        InterfaceBuilder<C>(u"IRecordset", ScriptLibGuid(kLibIRecordset))
            .PropGet(u"Fields", dispid::kDefault, &C::get_Fields)
            .PropGet(u"RecordCount", p::RecordCount, &C::get_RecordCount)
            .PropGet(u"EOF", p::Eof, &C::get_EOF, {}, VT_BOOL)
            .PropGet(u"BOF", p::BOF, &C::get_BOF, {}, VT_BOOL)
            .PropGet(u"Bookmark", p::Bookmark, &C::get_Bookmark)
            .PropPut(u"Bookmark", p::Bookmark, &C::put_Bookmark)
            .PropGet(u"IsDeleted", p::IsDeleted, &C::get_IsDeleted, {}, VT_BOOL)
            .PropGet(u"CoordinateSystem", p::CoordinateSystem, &C::get_CoordinateSystem)
            .PropGet(u"CodePage", p::CodePage, &C::get_CodePage)
            .PropPut(u"CodePage", p::CodePage, &C::put_CodePage)
            .Method(u"Open", m::Open, &C::Open,
                    {Param(u"FileName"), Param(u"Mode").Optional(int32_t{0})})
            .Method(u"Create", m::Create, &C::Create,
                    {Param(u"FileName"), Param(u"ShapeType").Optional(int32_t{0})})
            .Method(u"Close", m::Close, &C::Close)
            .Method(u"MoveFirst", m::MoveFirst, &C::MoveFirst)
            .Method(u"MoveLast", m::MoveLast, &C::MoveLast)
            .Method(u"MoveNext", m::MoveNext, &C::MoveNext)
            .Method(u"MovePrevious", m::MovePrevious, &C::MovePrevious)
            .Method(u"Move", m::Move, &C::Move,
                    {Param(u"NumRecords"), Param(u"Start").Optional(int32_t{0})})
            .Method(u"AddNew", m::AddNew, &C::AddNew)
            .Method(u"Update", m::Update, &C::Update)
            .Method(u"CancelUpdate", m::CancelUpdate, &C::CancelUpdate)
            .Method(u"Supports", m::Supports, &C::Supports, {Param(u"CursorOptions")}, VT_BOOL)
            .Method(u"Delete", m::Delete, &C::Delete)
            .Method(u"FindNearestXY", m::FindNearestXY, &C::FindNearestXY,
                    {Param(u"x"), Param(u"y"), Param(u"Tolerance").Optional(-1.0),
                     Param(u"Envelope").Optional(static_cast<IDispatch*>(nullptr))})
            .Method(u"Find", m::Find, &C::Find,
                    {Param(u"Expression"),
                     Param(u"Envelope").Optional(static_cast<IDispatch*>(nullptr)),
                     Param(u"FromBookmark").Optional(int32_t{0})})
            .Method(u"BuildSpatialIndex", m::BuildSpatialIndex, &C::BuildSpatialIndex, {},
                    VT_BOOL)
            .Method(u"DeleteSpatialIndex", m::DeleteSpatialIndex, &C::DeleteSpatialIndex, {},
                    VT_BOOL)
            .Method(u"Pack", m::Pack, &C::Pack, {}, VT_BOOL)
            .Method(u"Export", m::Export, &C::Export,
                    {Param(u"FileName"), Param(u"Format").Optional()}, VT_BOOL)
            .Build();
    return d;
}

const CoclassDesc& CScriptRecordset::Class() {
    static const CoclassDesc c{ScriptLibGuid(kLibRecordset), u"Recordset", &Desc(), nullptr};
    return c;
}

CScriptRecordset::CScriptRecordset() : m_files(std::make_shared<RecordsetFiles>()) {}

CScriptRecordset::~CScriptRecordset() {
    DropAll();
}

CScriptRecordset* CScriptRecordset::Create() {
    return new CScriptRecordset;
}

CScriptRecordset* CScriptRecordset::ForLayer(IRecordsetLayer* layer) {
    auto* o = new CScriptRecordset;
    o->m_layer = layer;
    o->m_isLayerRecordset = true;
    return o;
}

void CScriptRecordset::DetachLayer() {
    DropAll();
    m_layer = nullptr;
    ResetCursor();
}

void CScriptRecordset::SetDefaultToleranceSource(double (*source)()) {
    g_toleranceSource = source;
}

// ---- state ----

bool CScriptRecordset::Ready() {
    if (m_isLayerRecordset) {
        ShpHandle h = m_layer ? m_layer->Handle() : nullptr;
        if (!h) {
            if (m_files->IsOpen()) m_files->Drop();
            return false;
        }
        if (m_files->Shapes() != h) {
            m_files->Drop();
            m_files->shapefile = std::make_unique<CShapeFile>(h, false);
            m_files->table = &m_files->shapefile->GetTable();
        }
        CCoordSys* cs = m_layer->MapCoordSys();
        if (!cs)
            m_files->cs.Reset();
        else if (!m_files->cs || m_files->cs->System() != cs)
            m_files->cs = CScriptCoordSys::ForSystem(cs);
    }
    return m_files->IsOpen();
}

CSpatialIndex* CScriptRecordset::Index() {
    if (m_isLayerRecordset) return m_layer ? m_layer->Index() : nullptr;
    return m_ownIndex && m_ownIndex->IsOpen() ? m_ownIndex.get() : nullptr;
}

bool CScriptRecordset::HasPendingEdits() const {
    return m_files->shapeModified || m_files->recordModified;
}

void CScriptRecordset::DropAll() {
    // Edits not yet written are written, not lost, when the files go.
    if (m_files->IsOpen() && HasPendingEdits() && m_files->Writable()) UpdateCurrent();
    m_ownIndex.reset();
    m_files->Drop();
    // Fields and Field objects a script keeps stay with the old files.
    m_files = std::make_shared<RecordsetFiles>();
    m_fields.Reset();
    m_ownCs.reset();
    m_hits.reset();
    m_spatialSearch = false;
}

void CScriptRecordset::ResetCursor() {
    m_current = -1;
    m_bof = m_eof = true;
    m_spatialSearch = false;
    m_hits.reset();
}

int CScriptRecordset::RecordCount() {
    return DbfGetRecordCount(m_files->Table());
}

bool CScriptRecordset::MoveTo(int i, bool* failed) {
    if (failed) *failed = false;
    if (HasPendingEdits() && m_files->Writable() && FAILED(UpdateCurrent())) {
        if (failed) *failed = true;
        return false;
    }
    const int count = RecordCount();
    if (i < 0 || i >= count) return false;
    uint8_t* record = m_files->Record();
    bool read = record && DbfReadRecord(m_files->Table(), i, record) != 0;
    if (read && m_files->shapefile) {
        ShpHandle h = m_files->Shapes();
        const int length = ShpGetContentLength(h, i);
        // Room for a record whose Z or M tail the file leaves out.
        ShapeRecord* buffer =
            m_files->shapefile->ReserveBuffer(3 * static_cast<size_t>(length > 0 ? length : 4) + 64);
        if (!buffer) {
            read = false;
        } else if (!ShpReadShape(h, i, buffer)) {
            // A deleted record has no shape: its buffer holds a null shape.
            if (ShpIsRecordDeleted(h, i))
                ShapeStoreInt(ShapeBytes(buffer), kShapeNull);
            else
                read = false;
        }
    }
    if (!read) {
        if (failed) *failed = true;
        return false;
    }
    m_current = i;
    m_files->recordModified = m_files->shapeModified = false;
    return true;
}

HRESULT CScriptRecordset::UpdateCurrent() {
    RecordsetFiles& f = *m_files;
    if (!HasPendingEdits()) return S_OK;
    if (m_current < 0 || m_current >= RecordCount()) return E_FAIL;
    if (f.shapeModified) {
        ShpHandle h = f.Shapes();
        // The header's box and ranges without the new record's placeholder
        // (its Z of 0 would stay in the Z range for good).
        uint8_t* bounds = ShpGetHeader(h) + 36;
        uint8_t now[64];
        memcpy(now, bounds, 64);
        const bool added = m_current == m_addedRecord && m_current == RecordCount() - 1;
        if (added) memcpy(bounds, m_boundsBeforeAdd, 64);
        const int at = ShpUpdateShape(h, m_current, f.shapefile->GetBuffer());
        if (at < 0) {
            memcpy(bounds, now, 64);
            return E_FAIL;
        }
        m_addedRecord = -1;
        m_current = at;
        f.shapeModified = false;
    }
    if (f.recordModified) {
        if (!DbfWriteRecord(f.Table(), m_current, f.Record())) return E_FAIL;
        f.recordModified = false;
    }
    return S_OK;
}

// ---- properties ----

HRESULT CScriptRecordset::get_Fields(IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!Ready()) return E_FAIL;
    if (!m_fields) m_fields = ComPtr<CScriptFields>(CScriptFields::Create(m_files, false));
    *out = m_fields.Get();
    (*out)->AddRef();
    return S_OK;
}

HRESULT CScriptRecordset::get_RecordCount(int32_t* out) {
    *out = 0;
    if (!Ready()) return E_FAIL;
    *out = RecordCount();
    return S_OK;
}

HRESULT CScriptRecordset::get_EOF(int16_t* out) {
    *out = m_eof ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CScriptRecordset::get_BOF(int16_t* out) {
    *out = m_bof ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CScriptRecordset::get_Bookmark(int32_t* out) {
    *out = 0;
    if (!Ready() || m_bof || m_eof) return E_FAIL;
    *out = m_current + 1;
    return S_OK;
}

HRESULT CScriptRecordset::put_Bookmark(int32_t value) {
    if (!Ready()) return E_FAIL;
    if (value == 0) return E_INVALIDARG;
    if (FAILED(Move(value - 1, 1))) return E_FAIL;
    return value == m_current + 1 ? S_OK : E_FAIL;
}

HRESULT CScriptRecordset::get_IsDeleted(int16_t* out) {
    *out = VARIANT_FALSE;
    if (!Ready() || m_current < 0 || m_current >= RecordCount()) return E_FAIL;
    bool deleted;
    if (ShpHandle h = m_files->Shapes())
        deleted = ShpIsRecordDeleted(h, m_current) != 0;
    else
        deleted = m_files->Record()[0] == '*';
    *out = deleted ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CScriptRecordset::get_CoordinateSystem(IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!Ready()) return E_FAIL;
    return HandOutCoordSys(m_files->cs.Get(), out);
}

HRESULT CScriptRecordset::get_CodePage(int32_t* out) {
    *out = 0;
    if (!Ready()) return E_FAIL;
    *out = static_cast<int32_t>(DbfGetCodePage(m_files->Table()));
    return S_OK;
}

HRESULT CScriptRecordset::put_CodePage(int32_t value) {
    if (!Ready()) return E_FAIL;
    if (value < 0 || !DbfSetCodePage(m_files->Table(), static_cast<unsigned>(value)))
        return E_INVALIDARG;
    return S_OK;
}

// ---- opening and closing ----

HRESULT CScriptRecordset::Open(BSTR fileName, int32_t mode) {
    // A layer's recordset works on the layer's own files.
    if (m_isLayerRecordset) return E_ACCESSDENIED;
    const WString path(BstrView(fileName));
    const int kind = FileKind(path);
    if (kind == 0) return E_FAIL;
    DropAll();
    ResetCursor();
    m_mode = mode == 0 ? 1 : mode;
    const int flags = m_mode == 2 ? kShpReadWrite : 0;
    if (kind == 1) {
        auto shapefile = std::make_unique<CShapeFile>();
        if (!shapefile->Open(path.c_str(), flags)) return E_FAIL;
        m_files->shapefile = std::move(shapefile);
        m_files->table = &m_files->shapefile->GetTable();
        CPath prjPath(path);
        prjPath.SetExtension(u"prj");
        const WString& prj = prjPath.GetPath();
        CWktCoordSys wkt;
        if (fs::Exists(prj) && wkt.ReadPrjFile(prj)) m_ownCs = wkt.CreateProjection();
        if (!m_ownCs) m_ownCs = std::make_unique<CUnknownProjection>();
        m_files->cs = CScriptCoordSys::ForSystem(m_ownCs.get());
        if (m_mode == 1) {
            m_ownIndex = std::make_unique<CSpatialIndex>();
            if (!m_ownIndex->OpenForLayer(m_files->Shapes())) m_ownIndex.reset();
        }
    } else {
        m_files->ownTable = std::make_unique<CDbfTable>();
        if (!m_files->ownTable->Open(path.c_str(), flags)) {
            m_files->ownTable.reset();
            return E_FAIL;
        }
        m_files->table = m_files->ownTable.get();
    }
    return S_OK;
}

HRESULT CScriptRecordset::Create(BSTR fileName, int32_t shapeType) {
    if (m_isLayerRecordset) return E_ACCESSDENIED;
    const WString path(BstrView(fileName));
    const int kind = FileKind(path);
    if (kind == 0) return E_FAIL;
    if (kind == 1 && !IsShapeTypeConstant(shapeType)) return E_INVALIDARG;
    DropAll();
    ResetCursor();
    if (kind == 1) {
        auto shapefile = std::make_unique<CShapeFile>();
        if (!shapefile->Create(path.c_str(), shapeType, kShpReadWrite)) return E_FAIL;
        m_files->shapefile = std::move(shapefile);
        m_files->table = &m_files->shapefile->GetTable();
    } else {
        m_files->ownTable = std::make_unique<CDbfTable>();
        if (!m_files->ownTable->Create(path.c_str(), kDbfReadWrite)) {
            m_files->ownTable.reset();
            return E_FAIL;
        }
        m_files->table = m_files->ownTable.get();
    }
    return S_OK;
}

HRESULT CScriptRecordset::Close() {
    if (m_isLayerRecordset) return E_ACCESSDENIED;
    if (!m_files->IsOpen()) return E_FAIL;
    DropAll();
    ResetCursor();
    return S_OK;
}

// ---- moving ----

HRESULT CScriptRecordset::MoveFirst() {
    if (!Ready()) return E_FAIL;
    bool failed;
    if (MoveTo(0, &failed)) {
        m_bof = m_eof = false;
        return S_OK;
    }
    if (!failed) m_bof = m_eof = true;
    return E_FAIL;
}

HRESULT CScriptRecordset::MoveLast() {
    if (!Ready()) return E_FAIL;
    bool failed;
    if (MoveTo(RecordCount() - 1, &failed)) {
        m_bof = m_eof = false;
        return S_OK;
    }
    if (!failed) m_bof = m_eof = true;
    return E_FAIL;
}

HRESULT CScriptRecordset::MoveNext() {
    if (!Ready()) return E_FAIL;
    bool failed;
    if (MoveTo(m_current + 1, &failed)) return S_OK;
    if (failed || m_eof) return E_FAIL;
    m_eof = true;
    m_current = RecordCount();
    return S_OK;
}

HRESULT CScriptRecordset::MovePrevious() {
    if (!Ready()) return E_FAIL;
    bool failed;
    if (MoveTo(m_current - 1, &failed)) return S_OK;
    if (failed || m_bof) return E_FAIL;
    m_bof = true;
    m_current = -1;
    return S_OK;
}

HRESULT CScriptRecordset::Move(int32_t numRecords, int32_t start) {
    if (!Ready()) return E_FAIL;
    const int count = RecordCount();
    if (count == 0) return E_FAIL;
    const int64_t base = start != 0 ? int64_t{start} - 1 : m_current;
    const int64_t target = base + numRecords;
    bool failed;
    if (target >= INT32_MIN && target <= INT32_MAX &&
        MoveTo(static_cast<int>(target), &failed))
        return S_OK;
    if (target >= 0 && target < count) return E_FAIL;  // the implicit update failed
    if (target < 0) {
        if (m_bof) return E_FAIL;
        m_bof = true;
        m_current = -1;
    } else {
        if (m_eof) return E_FAIL;
        m_eof = true;
        m_current = count;
    }
    return S_OK;
}

// ---- editing ----

HRESULT CScriptRecordset::AddNew() {
    if (!Ready()) return E_FAIL;
    if (!m_files->Writable()) return E_ACCESSDENIED;
    RecordsetFiles& f = *m_files;
    ShpHandle h = f.Shapes();
    if (h && !IsPointShapeType(ShpGetShapeType(h))) return E_NOTIMPL;
    // Edits of the record the cursor is on are written before it leaves.
    if (FAILED(UpdateCurrent())) return E_FAIL;
    if (h) {
        const int type = ShpGetShapeType(h);
        ShapeRecord* buffer = f.shapefile->ReserveBuffer(ShapeRecordSize(type, 1, 1));
        if (!buffer || !ShapeInitRecord(h, type, 1, 1, buffer)) return E_FAIL;
        // Other readers see the new record at once; until its shape is set
        // it lies nowhere.
        ShpSetPartPointXYZM(h, 0, -DBL_MAX, -DBL_MAX, 0.0, kNoDataMeasure, buffer);
        memcpy(m_boundsBeforeAdd, ShpGetHeader(h) + 36, 64);
        if (ShpAppendShape(h, buffer) < 0) return E_FAIL;
        m_addedRecord = RecordCount() - 1;
    } else {
        uint8_t* record = f.Record();
        if (!DbfBlankRecord(f.Table(), record) || !DbfWriteRecord(f.Table(), kDbfAppend, record))
            return E_FAIL;
    }
    f.recordModified = f.shapeModified = false;
    MoveTo(RecordCount() - 1);
    m_bof = m_eof = false;
    return S_OK;
}

HRESULT CScriptRecordset::Update() {
    if (!Ready()) return E_FAIL;
    if (!m_files->Writable()) return E_ACCESSDENIED;
    return UpdateCurrent();
}

HRESULT CScriptRecordset::CancelUpdate() {
    if (!Ready()) return E_FAIL;
    m_files->shapeModified = m_files->recordModified = false;
    return S_OK;
}

HRESULT CScriptRecordset::Supports(int32_t options, int16_t* out) {
    bool yes = false;
    switch (options) {
        case kSupportsAddNew:
        case kSupportsDelete:
        case kSupportsUpdate:
            yes = Ready() && m_files->Writable();
            break;
        case kSupportsMovePrevious:
        case kSupportsBookmark:
            yes = true;
            break;
        default:
            break;
    }
    *out = yes ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CScriptRecordset::Delete() {
    if (!Ready()) return E_FAIL;
    if (!m_files->Writable()) return E_ACCESSDENIED;
    const int count = RecordCount();
    if (m_current < 0 || m_current >= count) return E_FAIL;
    RecordsetFiles& f = *m_files;
    if (ShpHandle h = f.Shapes()) {
        if (ShpDeleteShape(h, m_current, m_current == count - 1) <= 0) return E_FAIL;
    } else if (DbfDeleteRecord(f.Table(), m_current) <= 0) {
        return E_FAIL;
    }
    // Edits of a deleted record are dropped, never written over its mark.
    f.shapeModified = f.recordModified = false;
    const int deleted = m_current;
    if (m_current < RecordCount()) {
        MoveTo(m_current);  // the buffers show the deletion
    } else {
        // The last record was cut off the files: the cursor is past the end.
        m_current = RecordCount();
        m_eof = true;
    }
    if (m_layer) m_layer->RecordDeleted(deleted);
    return S_OK;
}

// ---- searching ----

HRESULT CScriptRecordset::FindNearestXY(double x, double y, double tolerance, IDispatch* envelope,
                                        int32_t* out) {
    *out = 0;
    if (!Ready() || !m_files->Shapes()) return E_FAIL;
    ComPtr<CScriptRect> rect;
    if (envelope && !(rect = CScriptRect::From(envelope))) return E_NOINTERFACE;
    WaitCursor wait;
    if (tolerance < 0) tolerance = g_toleranceSource ? g_toleranceSource() : 0.0;
    const DoublePoint point{x, y};
    double distance = 0;
    int found;
    if (CSpatialIndex* index = Index()) {
        const CDoubleRect square(x - tolerance, y - tolerance, x + tolerance, y + tolerance);
        const int members = index->QueryRect(square, 0);
        const uint32_t* words = index->GetResultData(0);
        found = members > 0 && words
                    ? m_files->shapefile->HitTestRecords(point, &distance, tolerance,
                                                         RecordCount(), members, words)
                    : -1;
    } else {
        CDoubleRect box;
        if (rect) box = rect->Normalized();
        found = m_files->shapefile->HitTest(point, &distance, tolerance, rect ? &box : nullptr);
    }
    *out = found >= 0 ? found + 1 : 0;
    return S_OK;
}

HRESULT CScriptRecordset::Find(BSTR expression, IDispatch* envelope, int32_t fromBookmark,
                               int32_t* out) {
    *out = 0;
    if (!Ready()) return E_FAIL;
    ComPtr<CScriptRect> rect;
    if (envelope) {
        if (!m_files->Shapes()) return E_FAIL;
        if (!(rect = CScriptRect::From(envelope))) return E_NOINTERFACE;
    }
    const CDoubleRect box = rect ? rect->Normalized() : CDoubleRect();
    if (RecordCount() == 0) return S_OK;
    WaitCursor wait;

    // The hits of an index query are copied: the index's own result sets
    // serve the layer's searches too. A continuing call walks the earlier
    // hits only when it searches the same box.
    CSpatialIndex* index = rect ? Index() : nullptr;
    const bool sameHits = fromBookmark != 0 && m_spatialSearch && m_hits && rect &&
                          box == m_hitsBox;
    m_spatialSearch = false;
    if (index && !sameHits) {
        const int n = index->QueryRect(box, 2);
        ERecordSet* set = index->GetResultSet(2);
        if (n <= 0 || !set) return S_OK;
        m_hits = std::make_unique<ERecordSet>(*set);
        m_hitsBox = box;
    }
    m_spatialSearch = index || sameHits;

    // Positioning.
    bool failed = false;
    bool positioned;
    if (m_spatialSearch) {
        const int number = m_hits->FindNext(fromBookmark);
        if (number < 1) return S_OK;
        positioned = MoveTo(number - 1, &failed);
    } else {
        positioned = MoveTo(fromBookmark, &failed);
        if (!positioned && !failed) {
            m_eof = true;
            m_current = RecordCount();
        }
    }
    if (failed) return E_FAIL;
    if (!positioned) return S_OK;

    // The expression runs in a query host of its own: [NAME] reads the
    // field NAME of the record the cursor is on.
    const WString text(BstrView(expression));
    std::unique_ptr<CScriptHost> host;
    WString query;
    ComPtr<CScriptFields> fields;
    // The expression becomes the value of one function, compiled once and
    // called for each record; a comment ends its line.
    IDispatch* global = nullptr;
    DISPID queryId = 0;
    if (!text.empty()) {
        fields = ComPtr<CScriptFields>(CScriptFields::Create(m_files, true));
        host = CScriptHost::CreateQueryHost(u"Fields", fields.Get());
        if (!host) return E_FAIL;
        query = ReplaceCharOutsideQuotes(text, u'[', u"Fields(\"", u']', u"\")", true);
        const WString function =
            u"Function ZnRecordQuery()\nZnRecordQuery = " + query + u"\nEnd Function\n";
        const OLECHAR* name = u"ZnRecordQuery";
        if (!host->ExecuteString(function.c_str())) {
            if (const auto& e = host->KeptError())
                return RaiseDispError(e->Number(), e->description, e->source);
            return E_FAIL;
        }
        global = host->GetScriptDispatch();
        if (!global || FAILED(global->GetIDsOfNames(IID_NULL, &name, 1, 0, &queryId)))
            global = nullptr;
    }

    ShpHandle h = m_files->Shapes();
    while (positioned) {
        bool qualifies = m_files->Record()[0] != '*';
        if (qualifies && h)
            qualifies = ShapeLoadInt(ShapeBytes(m_files->shapefile->GetBuffer())) != kShapeNull;
        if (qualifies && rect) qualifies = m_files->shapefile->ShapeIntersects(box) != 0;
        if (qualifies && host) {
            ComVariant value;
            bool evaluated;
            if (global) {
                DISPPARAMS none{};
                EXCEPINFO e{};
                const HRESULT hr = global->Invoke(queryId, IID_NULL, 0, DISPATCH_METHOD, &none,
                                                  &value, &e, nullptr);
                if (hr == DISP_E_EXCEPTION) {
                    const HRESULT number = e.wCode ? MakeScriptError(e.wCode) : e.scode;
                    const WString description(BstrView(e.bstrDescription));
                    const WString source(BstrView(e.bstrSource));
                    ClearExcepInfo(&e);
                    return RaiseDispError(number, description, source);
                }
                ClearExcepInfo(&e);
                evaluated = SUCCEEDED(hr);
            } else {
                evaluated = host->Evaluate(query.c_str(), &value);
            }
            if (!evaluated) {
                // The first error ends the search: one message, not one a record.
                if (const auto& e = host->KeptError())
                    return RaiseDispError(e->Number(), e->description, e->source);
                return E_FAIL;
            }
            ComVariant flag;
            qualifies = value.vt != VT_NULL && value.vt != VT_EMPTY &&
                        SUCCEEDED(VariantChangeType(&flag, &value, 0, VT_BOOL)) &&
                        flag.boolVal != VARIANT_FALSE;
        }
        if (qualifies) {
            m_bof = m_eof = false;
            *out = m_current + 1;
            return S_OK;
        }
        if (m_spatialSearch) {
            const int number = m_hits->FindNext(m_current + 1);
            if (number < 1) return S_OK;
            positioned = MoveTo(number - 1, &failed);
        } else {
            positioned = MoveTo(m_current + 1, &failed);
            if (!positioned && !failed) {
                m_eof = true;
                m_current = RecordCount();
            }
        }
        if (failed) return E_FAIL;
    }
    return S_OK;
}

// ---- index, packing, export ----

HRESULT CScriptRecordset::BuildSpatialIndex(int16_t* out) {
    *out = VARIANT_FALSE;
    if (!Ready()) return E_FAIL;
    ShpHandle h = m_files->Shapes();
    if (!h) return S_OK;
    bool built;
    if (m_isLayerRecordset) {
        built = m_layer->RebuildIndex();
    } else {
        m_ownIndex.reset();
        CSpatialIndex index;
        try {
            built = index.Rebuild(h);
        } catch (...) {
            built = false;
        }
        if (m_mode == 1) {
            m_ownIndex = std::make_unique<CSpatialIndex>();
            if (!m_ownIndex->OpenForLayer(h)) m_ownIndex.reset();
        }
    }
    m_spatialSearch = false;
    *out = built ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CScriptRecordset::DeleteSpatialIndex(int16_t* out) {
    *out = VARIANT_FALSE;
    if (!Ready()) return E_FAIL;
    ShpHandle h = m_files->Shapes();
    if (!h) return S_OK;
    bool deleted;
    if (m_isLayerRecordset) {
        deleted = m_layer->DeleteIndex();
    } else {
        m_ownIndex.reset();
        deleted = CSpatialIndex::DeleteForLayer(h);
    }
    m_spatialSearch = false;
    *out = deleted ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CScriptRecordset::Pack(int16_t* out) {
    *out = VARIANT_FALSE;
    if (!Ready()) return E_NOTIMPL;
    ShpHandle h = m_files->Shapes();
    if (!h) return S_OK;
    if (HasPendingEdits() && m_files->Writable() && FAILED(UpdateCurrent())) return E_FAIL;
    bool packed;
    if (m_isLayerRecordset) {
        packed = m_layer->Pack();
    } else {
        // The index keeps its files open; it is opened again on the packed
        // records.
        m_ownIndex.reset();
        CPlatformPackUi ui;
        packed = PackShapefile(*m_files->shapefile, false, ui) != 0;
        if (m_mode == 1) {
            m_ownIndex = std::make_unique<CSpatialIndex>();
            if (!m_ownIndex->OpenForLayer(h)) m_ownIndex.reset();
        }
    }
    // Records are numbered anew.
    ResetCursor();
    *out = packed ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CScriptRecordset::Export(BSTR fileName, VARIANT format, int16_t* out) {
    (void)format;
    *out = VARIANT_FALSE;
    if (!Ready()) return E_FAIL;
    // Pending edits belong in the export.
    if (HasPendingEdits() && m_files->Writable() && FAILED(UpdateCurrent())) return E_FAIL;
    const DbfHandle t = m_files->Table();
    std::u16string text;
    const int fields = DbfGetFieldCount(t);
    for (int i = 0; i < fields; ++i) {
        if (i) text += u'\t';
        text += DbfGetFieldName(t, i);
    }
    text += u"\r\n";
    // Records are read through a buffer of the export's own, so the cursor's
    // record (and its edits) stay as they are.
    std::vector<uint8_t> record(static_cast<size_t>(DbfGetRecordLength(t)) + 8, ' ');
    const int count = RecordCount();
    for (int r = 0; r < count; ++r) {
        if (!DbfReadRecord(t, r, record.data())) return E_FAIL;
        for (int i = 0; i < fields; ++i) {
            if (i) text += u'\t';
            text += m_files->table->GetFieldString(i, record.data());
        }
        text += u"\r\n";
    }
    std::string bytes("\xFF\xFE", 2);
    bytes.reserve(2 + 2 * text.size());
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    if (!fs::WriteWholeFile(BstrView(fileName), bytes.data(), bytes.size())) return E_FAIL;
    *out = VARIANT_TRUE;
    return S_OK;
}

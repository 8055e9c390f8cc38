/* A feature-layer extension written in plain C against the interface
 * header: datasets ending ".tlyr" hold three records with a text, a number,
 * a date and a logical field, two legend classes and a geographic system.
 * (".both" too, which the image module also accepts.)
 * A path containing "aux" also needs the auxiliary port; one containing
 * "bare" has neither fields nor legend. Every call is logged. */
#include <string.h>

#include "include/zarnip/znex.h"
#include "module_log.h"

#define LOG(...) ModuleLog("testlayer", __VA_ARGS__)

/* The message id the hook takes for itself. */
#define PRIVATE_MESSAGE 0x8765

typedef struct {
    double xmin, ymin, xmax, ymax;
    const char16_t* text;
    int textPastWidth; /* writes one unit more than the field's width */
    double number;
    int year, month, day;
    int32_t logical;
} Record;

static const Record kRecords[3] = {
    {10.0, 50.0, 11.0, 51.0, u"Alpha", 0, 3.5, 2004, 3, 7, 0},
    {12.0, 52.0, 13.0, 53.0, u"ABCDEFGHIJ", 0, 12.25, 1999, 12, 31, 1},
    {10.5, 50.5, 12.5, 52.5, u"KLMNOPQRSTUV", 1, -1.0, 2020, 2, 29, 1},
};
static const int kTextWidth = 10;

typedef struct {
    uint32_t handle;
    int aux;
    int bare;
    int current;
    int32_t classFlags[2];
} Layer;

static Layer g_layers[8];
static uint32_t g_nextHandle = 0x00A1B2C0;
static ZnxHwnd g_mainWindow;
static ZnxDrawRecord g_lastDraw;

static Layer* Find(uint32_t handle) {
    for (int i = 0; i < 8; ++i)
        if (g_layers[i].handle == handle && handle) return &g_layers[i];
    return NULL;
}

static int EndsWith(const char16_t* s, const char16_t* tail) {
    size_t n = 0, m = 0;
    while (s[n]) ++n;
    while (tail[m]) ++m;
    if (m > n) return 0;
    for (size_t i = 0; i < m; ++i) {
        char16_t a = s[n - m + i], b = tail[i];
        if (a >= 'A' && a <= 'Z') a = (char16_t)(a + 32);
        if (a != b) return 0;
    }
    return 1;
}

static int Contains(const char16_t* s, const char* word) {
    size_t m = strlen(word);
    for (size_t i = 0; s[i]; ++i) {
        size_t j = 0;
        while (j < m && s[i + j] && s[i + j] == (char16_t)word[j]) ++j;
        if (j == m) return 1;
    }
    return 0;
}

/* ---- common entry points ---- */

ZNEX_EXPORT int32_t ZNExInitialize(ZnxHwnd mainWindow) {
    g_mainWindow = mainWindow;
    LOG("Initialize");
    return ZNEX_KIND_FEATURE_LAYER;
}

ZNEX_EXPORT int32_t ZNExTerminate(void) {
    LOG("Terminate");
    return 0;
}

ZNEX_EXPORT int32_t ZNExGetProperty(int32_t id, int32_t index, void* buffer) {
    switch (id) {
        case ZNEX_PROP_NAME:
            return ModuleText(u"Test Layer", buffer);
        case ZNEX_PROP_CODE:
            memcpy(buffer, "TLYR", 4);
            return 1;
        case ZNEX_PROP_TOOL_COUNT:
            return 2;
        case ZNEX_PROP_TOOL_TYPE:
            return index == 0 ? ZNEX_TOOL_COMMAND : (ZNEX_TOOL_CLASS_FIND | ZNEX_TOOL_LAYER);
        case ZNEX_PROP_TOOL_NAME:
            return ModuleText(index == 0 ? u"Send Messages" : u"Find Class", buffer);
        case ZNEX_PROP_TOOL_ICON:
            return index;
        default:
            return 0;
    }
}

ZNEX_EXPORT int32_t ZNExDialogAbout(ZnxHwnd parent, void* parentObject) {
    LOG("About %d parent %08X", parentObject == NULL, (unsigned)(uintptr_t)parent);
    return 0;
}

ZNEX_EXPORT int32_t ZNExDialogProperties(ZnxHwnd parent, void* parentObject) {
    LOG("Properties %d parent %08X", parentObject == NULL, (unsigned)(uintptr_t)parent);
    return 1;
}

/* One escape argument for the log: its type, and a string's text. */
static void DescribeArgument(const ZnxVariant* a, char* out, size_t size) {
    if (!a) {
        snprintf(out, size, "null");
        return;
    }
    if (a->vt == ZNEX_VT_BSTR && a->value.bstrVal) {
        size_t n = (size_t)snprintf(out, size, "%u:", a->vt);
        for (const uint16_t* c = (const uint16_t*)a->value.bstrVal; *c && n + 1 < size; ++c)
            out[n++] = *c < 128 ? (char)*c : '?';
        out[n] = 0;
        return;
    }
    snprintf(out, size, "%u", a->vt);
}

ZNEX_EXPORT int32_t ZNExPreTranslateMessage(ZnxMsg* msg) { return msg->message == PRIVATE_MESSAGE; }

ZNEX_EXPORT ZnxHresult ZNExEscape(uint32_t handle, ZnxVariant* a1, ZnxVariant* a2, ZnxVariant* a3,
                                  ZnxVariant* result) {
    LOG("Escape %08X %d", handle, a1 && a1->vt == ZNEX_VT_I4 ? a1->value.lVal : -1);
    char d1[64], d2[64], d3[64];
    DescribeArgument(a1, d1, sizeof d1);
    DescribeArgument(a2, d2, sizeof d2);
    DescribeArgument(a3, d3, sizeof d3);
    LOG("EscapeArgs %s %s %s", d1, d2, d3);
    /* The second argument, a number, is the caller's own value: changed for it. */
    if (a2 && a2->vt == ZNEX_VT_I4) a2->value.lVal += 1;
    if (a2 && a2->vt == (ZNEX_VT_I4 | 0x4000) && a2->value.punkVal) *(int32_t*)a2->value.punkVal += 1;
    if (result) {
        ZnxVariantInit(result);
        result->vt = ZNEX_VT_BSTR;
        result->value.bstrVal = ZnxSysAllocString(u"escaped");
    }
    return ZNEX_S_OK;
}

ZNEX_EXPORT int32_t ZNExAUX(int32_t port, int32_t code, uint32_t layer, const char* text, int32_t length) {
    char line[128] = "";
    if (text && length > 0) {
        int n = length < 100 ? length : 100;
        memcpy(line, text, (size_t)n);
        line[n] = 0;
        while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = 0;
    }
    LOG("AUX %d %08X %d %s", code, layer, port >= 0, line);
    return 0;
}

static int Service1(int layer, const double* in, int count, double* out) {
    (void)layer;
    for (int i = 0; i < 2 * count; ++i) out[i] = in[i];
    return count;
}

ZNEX_EXPORT int32_t ZNExTool(int32_t tool, ZnxHwnd mainWindow, uint32_t layer, int32_t reserved, ZnxRect* extent) {
    LOG("Tool %d %08X %d %.3f %.3f %.3f %.3f", tool, layer, reserved, extent->xmin, extent->ymin, extent->xmax,
        extent->ymax);
    /* What the program does with what a tool writes there: nothing. */
    extent->xmin = -999;
    if (tool == 0) {
        ZnxSendMessage(mainWindow, ZNEX_WM_SHOWMESSAGE, (uintptr_t)u"Hello from a module", 0);
        ZnxServiceLayerToMap toMap =
            (ZnxServiceLayerToMap)ZnxSendMessage(mainWindow, ZNEX_WM_GETSERVICE, ZNEX_SERVICE_LAYER_TO_MAP, 0);
        double in[2] = {10.5, 50.5}, out[2] = {0, 0};
        int converted = toMap ? toMap(0, in, 1, out) : -1;
        LOG("Service %d %.3f %.3f", converted, out[0], out[1]);
        ZnxSendMessage(mainWindow, ZNEX_WM_FIREEVENT, 77, 0);
        (void)Service1;
    }
    return 42;
}

ZN_MODULE_LOG_EXPORTS

/* The last draw record, byte for byte. */
ZNEX_EXPORT void TestLayerLastDraw(void* out) { memcpy(out, &g_lastDraw, sizeof g_lastDraw); }

/* ---- layer entry points ---- */

ZNEX_EXPORT int32_t LayerIsValidPath(const char16_t* path) {
    return EndsWith(path, u".tlyr") || EndsWith(path, u".both");
}

ZNEX_EXPORT uint32_t LayerOpen(const char16_t* path, ZnxHwnd mainWindow) {
    char narrow[256];
    ToNarrow(path, narrow, sizeof narrow);
    (void)mainWindow;
    for (int i = 0; i < 8; ++i) {
        if (g_layers[i].handle) continue;
        Layer* l = &g_layers[i];
        memset(l, 0, sizeof *l);
        l->handle = g_nextHandle++;
        l->aux = Contains(path, "aux");
        l->bare = Contains(path, "bare");
        l->classFlags[0] = 1;
        l->classFlags[1] = 1;
        LOG("Open %08X %s", l->handle, narrow);
        return l->handle;
    }
    return 0;
}

ZNEX_EXPORT int32_t LayerClose(uint32_t handle) {
    Layer* l = Find(handle);
    LOG("Close %08X", handle);
    if (l) l->handle = 0;
    return 0;
}

static void PutRect(void* buffer, double xmin, double ymin, double xmax, double ymax) {
    ZnxRect r = {xmin, ymin, xmax, ymax};
    memcpy(buffer, &r, sizeof r);
}

ZNEX_EXPORT int32_t LayerGetProperty(uint32_t handle, int32_t code, int32_t index, int32_t sub, void* buffer) {
    Layer* l = Find(handle);
    if (!l) return 0;
    const Record* rec = index >= 1 && index <= 3 ? &kRecords[index - 1] : NULL;
    switch (code) {
        case ZNEX_LAYER_FLAGS:
            return ZNEX_LAYER_REPROJECTABLE | ZNEX_LAYER_DYNAMIC | (l->aux ? ZNEX_LAYER_NEEDS_AUX : 0);
        case ZNEX_LAYER_EXTENT:
            if (index == 0) PutRect(buffer, 10, 50, 13, 53);
            else if (rec) PutRect(buffer, rec->xmin, rec->ymin, rec->xmax, rec->ymax);
            else return 0;
            return 1;
        case ZNEX_LAYER_NAME:
            return ModuleText(u"Test Records", buffer);
        case ZNEX_LAYER_COMMENTS:
            return 0;
        case ZNEX_LAYER_WKT:
            return ModuleText(u"GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137,"
                              u"298.257223563]],PRIMEM[\"Greenwich\",0],UNIT[\"Degree\",0.0174532925199433]]",
                              buffer);
        case ZNEX_LAYER_CURRENT:
            if (!rec) return 0;
            l->current = index;
            return 1;
        case ZNEX_LAYER_CLASS_OF:
            return rec ? (index - 1) % 2 : -1;
        case ZNEX_LAYER_FIELD_COUNT:
            return l->bare ? 0 : 4;
        case ZNEX_LAYER_FIELD_NAME: {
            static const char16_t* names[4] = {u"NAME", u"VALUE", u"DATE", u"FLAG"};
            return sub >= 0 && sub < 4 ? ModuleText(names[sub], buffer) : 0;
        }
        case ZNEX_LAYER_FIELD_TYPE:
            return sub >= 0 && sub < 4 ? "CNDL"[sub] : 0;
        case ZNEX_LAYER_FIELD_WIDTH:
            return sub == 0 ? kTextWidth : sub == 1 ? 8 : sub == 2 ? 8 : 1;
        case ZNEX_LAYER_FIELD_DECIMALS:
            return sub == 1 ? 2 : 0;
        case ZNEX_LAYER_FIELD_VALUE: {
            rec = index >= 1 && index <= 3 ? &kRecords[index - 1] : NULL;
            if (!rec || !buffer) return 0;
            if (sub == 0) {
                /* The program gave width + 1 units; this record fills them all. */
                int n = 0;
                char16_t* out = (char16_t*)buffer;
                int limit = kTextWidth + (rec->textPastWidth ? 1 : 0);
                while (rec->text[n] && n < limit) {
                    out[n] = rec->text[n];
                    ++n;
                }
                if (n <= kTextWidth) out[n] = 0;
                return n;
            }
            if (sub == 1) memcpy(buffer, &rec->number, sizeof(double));
            if (sub == 2) {
                ZnxDate d;
                memcpy(&d, buffer, sizeof d);
                LOG("DateZeroed %d", d.year == 0 && d.month == 0 && d.day == 0 && d.zero8[3] == 0);
                d.year = (uint16_t)rec->year;
                d.month = (uint16_t)rec->month;
                d.day = (uint16_t)rec->day;
                memcpy(buffer, &d, sizeof d);
            }
            if (sub == 3) memcpy(buffer, &rec->logical, sizeof(int32_t));
            return 1;
        }
        case ZNEX_LAYER_CLASS_COUNT:
            return l->bare ? 0 : 2;
        case ZNEX_LAYER_CLASS_LABEL:
            return ModuleText(sub == 0 ? u"Odd records" : u"Even records", buffer);
        case ZNEX_LAYER_CLASS_VALUE:
            return ModuleText(sub == 0 ? u"odd" : u"even", buffer);
        case ZNEX_LAYER_CLASS_FLAGS:
            return sub >= 0 && sub < 2 ? (l->classFlags[sub] | 4) : 0;
        default:
            return 0;
    }
}

ZNEX_EXPORT int32_t LayerSetProperty(uint32_t handle, int32_t code, int32_t index, int32_t sub, int32_t value) {
    Layer* l = Find(handle);
    LOG("Set %d %d %d %d", code, index, sub, value);
    if (!l) return 0;
    if (code == ZNEX_LAYER_CLASS_FLAGS && sub >= 0 && sub < 2) {
        l->classFlags[sub] = value & 1;
        return 1;
    }
    return code == ZNEX_LAYER_CURRENT && value >= 1 && value <= 3;
}

ZNEX_EXPORT int32_t LayerLoadProperty(uint32_t handle, const char16_t* name, const char16_t* value) {
    char n[128], v[256];
    ToNarrow(name, n, sizeof n);
    ToNarrow(value, v, sizeof v);
    LOG("Load %08X %s=%s", handle, n, v);
    return 1;
}

ZNEX_EXPORT int32_t LayerSaveProperty(uint32_t handle, int32_t index, char16_t* name, char16_t* value) {
    Layer* l = Find(handle);
    if (!l || l->bare || index > 1) return 0;
    ModuleText(index == 0 ? u"colour" : u"note", name);
    ModuleText(index == 0 ? u"red" : u"a \"quoted\" <note> & more", value);
    return 1;
}

/* The program's own transform: x scaled and truncated, y measured up from
 * the bottom of the device. */
static int ToDevice(const ZnxDrawRecord* d, double x, double y, int32_t* px, int32_t* py) {
    const double w = d->area.xmax - d->area.xmin, h = d->area.ymax - d->area.ymin;
    const int32_t width = d->device.right + 1, height = d->device.bottom + 1;
    if (w <= 0 || h <= 0) return 0;
    *px = (int32_t)((x - d->area.xmin) * (width / w));
    *py = height - (int32_t)((y - d->area.ymin) * (height / h));
    return 1;
}

ZNEX_EXPORT int32_t LayerDraw(uint32_t handle, const ZnxDrawRecord* draw) {
    memcpy(&g_lastDraw, draw, sizeof g_lastDraw);
    LOG("Draw %08X", handle);
    ZnxHdc dc = (ZnxHdc)(uintptr_t)draw->targetDc;
    if (!dc) return 0;
    ZnxHgdiobj pen = ZnxCreatePen(0, 1, 0x000000FF);
    ZnxHgdiobj oldPen = ZnxSelectObject(dc, pen);
    ZnxHgdiobj oldBrush = ZnxSelectObject(dc, ZnxGetStockObject(5 /* NULL_BRUSH */));
    for (int i = 0; i < 3; ++i) {
        int32_t l, t, r, b;
        if (!ToDevice(draw, kRecords[i].xmin, kRecords[i].ymax, &l, &t)) break;
        ToDevice(draw, kRecords[i].xmax, kRecords[i].ymin, &r, &b);
        ZnxRectangle(dc, l, t, r, b);
    }
    ZnxSelectObject(dc, oldBrush);
    ZnxSelectObject(dc, oldPen);
    ZnxDeleteObject(pen);
    return 0;
}

ZNEX_EXPORT int32_t LayerDrawSymbol(uint32_t handle, int32_t legendClass, ZnxHdc dc, const ZnxCellRect* cell,
                                    int32_t reserved) {
    LOG("DrawSymbol %08X %d %d", handle, legendClass, reserved);
    ZnxHgdiobj brush = ZnxCreateSolidBrush(legendClass == 0 ? 0x0000FF00 : 0x00FF0000);
    ZnxFillRect(dc, cell, brush);
    ZnxDeleteObject(brush);
    return 0;
}

ZNEX_EXPORT int32_t LayerDialogIdentify(uint32_t handle, int32_t record, ZnxRect box) {
    LOG("Identify %08X %d %.6f %.6f %.6f %.6f", handle, record, box.xmin, box.ymin, box.xmax, box.ymax);
    return 1;
}

ZNEX_EXPORT int32_t LayerDialogSymbol(uint32_t handle, ZnxHwnd list, int32_t row) {
    LOG("DialogSymbol %08X %d %d", handle, list != NULL, row);
    return 1;
}

static int Intersects(const Record* r, const ZnxRect* q) {
    return r->xmin <= q->xmax && r->xmax >= q->xmin && r->ymin <= q->ymax && r->ymax >= q->ymin;
}

ZNEX_EXPORT int32_t LayerQuery(uint32_t handle, int32_t mode, const ZnxRect* rect, int32_t flag) {
    if (rect)
        LOG("Query %08X %d %d %.6f %.6f %.6f %.6f", handle, mode, flag, rect->xmin, rect->ymin, rect->xmax,
            rect->ymax);
    else
        LOG("Query %08X %d %d none", handle, mode, flag);
    for (int i = flag == 1 ? 0 : mode; i < 3; ++i)
        if (!rect || Intersects(&kRecords[i], rect)) return i + 1;
    return 0;
}

/* The header's types hold these functions: a mismatch is a compile error
 * in C as well. */
static const ZNExInitializeFn kCheckInitialize = ZNExInitialize;
static const ZNExToolFn kCheckTool = ZNExTool;
static const ZNExAUXFn kCheckAux = ZNExAUX;
static const ZNExEscapeFn kCheckEscape = ZNExEscape;
static const ZNExDialogPropertiesFn kCheckProperties = ZNExDialogProperties;
static const LayerGetPropertyFn kCheckGet = LayerGetProperty;
static const LayerQueryFn kCheckQuery = LayerQuery;
static const LayerDrawFn kCheckDraw = LayerDraw;
static const LayerDialogIdentifyFn kCheckIdentify = LayerDialogIdentify;
static const LayerSavePropertyFn kCheckSave = LayerSaveProperty;
ZNEX_EXPORT const void* TestLayerTypeChecks(int i) {
    const void* all[] = {(const void*)kCheckInitialize, (const void*)kCheckTool, (const void*)kCheckAux,
                         (const void*)kCheckEscape,     (const void*)kCheckGet,  (const void*)kCheckQuery,
                         (const void*)kCheckDraw,       (const void*)kCheckIdentify, (const void*)kCheckSave,
                         (const void*)kCheckProperties};
    return i >= 0 && i < 10 ? all[i] : NULL;
}

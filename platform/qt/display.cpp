#include "platform/qt/display.h"

#include <QAbstractEventDispatcher>
#include <QBackingStore>
#include <QClipboard>
#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QInputMethod>
#include <QPixmap>
#include <QInputMethodEvent>
#include <QInputMethodQueryEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "platform/gdi/gdi.h"
#include "platform/qt/keymap.h"
#include "platform/win/backend.h"
#include "platform/win/dialog.h"
#include "platform/win/input.h"

namespace znqt {

namespace {

WString ToWide(const QString& s) {
    return WString(reinterpret_cast<const WChar*>(s.utf16()), static_cast<size_t>(s.size()));
}
QString ToQt(const WString& s) {
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

bool IsTopLevel(HWND h) {
    return h && !(GetWindowLong(h, GWL_STYLE) & WS_CHILD);
}

HWND TopLevelOf(HWND h) {
    while (h && !IsTopLevel(h)) h = GetParent(h);
    return h;
}

// A COLORREF (0x00BBGGRR) as an opaque RGB32 pixel (0xFFRRGGBB).
uint32_t PixelOf(COLORREF c) {
    return 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

QRect ToQRect(const RECT& r) {
    return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
}

// Copies the part of a surface that lies in `area` (image pixels) into the
// image, the surface's (0, 0) at `origin`. The surface's pixels are RGB32's
// layout already; only the unused top byte is made opaque.
void CopySurface(HBITMAP surface, QPoint origin, const QRect& area, QImage& image) {
    int w = 0, h = 0, stride = 0;
    const uint32_t* px = gdi::SurfacePixels(surface, &w, &h, &stride);
    if (!px) return;
    QRect r = area & QRect(origin, QSize(w, h)) & image.rect();
    if (r.isEmpty()) return;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const uint32_t* src = px + static_cast<size_t>(y - origin.y()) * (stride / 4) +
                              (r.left() - origin.x());
        auto* dst = reinterpret_cast<uint32_t*>(image.scanLine(y)) + r.left();
        for (int x = 0; x < r.width(); ++x) dst[x] = src[x] | 0xFF000000u;
    }
}

void Fill(QImage& image, const QRect& area, uint32_t pixel) {
    QRect r = area & image.rect();
    for (int y = r.top(); y <= r.bottom(); ++y) {
        auto* dst = reinterpret_cast<uint32_t*>(image.scanLine(y)) + r.left();
        std::fill_n(dst, r.width(), pixel);
    }
}

}  // namespace

// ---- settings ----

ScreenSettings SettingsFromEnvironment(std::string* error) {
    ScreenSettings s;
    std::string problems;
    if (const char* v = std::getenv("ZARNIP_SCALE"); v && *v) {
        char* end = nullptr;
        long n = std::strtol(v, &end, 10);
        if (*end || n < 1 || n > 4)
            problems += std::string("ZARNIP_SCALE=") + v + " is not a scale from 1 to 4; ";
        else
            s.scale = static_cast<int>(n);
    }
    if (const char* v = std::getenv("ZARNIP_SCREEN"); v && *v) {
        char* end = nullptr;
        long w = std::strtol(v, &end, 10);
        long h = 0;
        bool ok = *end == 'x' || *end == 'X';
        if (ok) {
            const char* hs = end + 1;
            h = std::strtol(hs, &end, 10);
            ok = end != hs && !*end && w >= 16 && h >= 16 && w <= 8192 && h <= 8192;
        }
        if (!ok) {
            problems += std::string("ZARNIP_SCREEN=") + v + " is not WIDTHxHEIGHT (16 to 8192); ";
        } else {
            s.width = static_cast<int>(w);
            s.height = static_cast<int>(h);
        }
    }
    if (!problems.empty()) {
        problems.resize(problems.size() - 2);
        if (error) *error = problems;
    }
    return s;
}

int ScaleFor(const ScreenSettings& s, double screenRatio) {
    if (s.scale > 0) return s.scale;
    // A handheld-sized window is a postage stamp on a desktop monitor: on a
    // screen of ratio 1 the model works at twice the logical size.
    int r = static_cast<int>(std::lround(screenRatio));
    return r >= 2 ? std::min(r, 4) : 2;
}

// ---- the desktop window of a top-level model window ----

class ModelWindow;

struct Display::Impl final : win::DisplayBackend {
    QGuiApplication* ownApp = nullptr;
    int scale = 2;
    double ratio = 1.0;
    QThread* gui = nullptr;
    std::map<HWND, ModelWindow*> windows;
    // From any thread: drawing to present, windows to look at again.
    std::mutex m;
    std::map<HWND, QRect> dirty;  // top-level -> area in window pixels
    std::set<HWND> resync;
    std::map<HWND, QSize> resizes;  // the person resized: model pixels
    std::atomic<QAbstractEventDispatcher*> dispatcher{nullptr};
    std::atomic<bool> woken{false};
    bool pumping = false;
    int handlers = 0;  // Qt handlers running (deletions are deferred)
    QTimer waitTimer;

    bool OnGui() const { return QThread::currentThread() == gui; }

    ModelWindow* Find(HWND h) const {
        auto it = windows.find(h);
        return it == windows.end() ? nullptr : it->second;
    }
    HWND Anchor() const;
    void Place(HWND h);
    void Sync(HWND h);
    void Forget(HWND h);
    void MarkDirty(HWND top, const QRect& r);
    void PresentDirty();
    void Present(HWND top, QRect area);
    void Compose(HWND top, QImage& image, const QRect& area);
    bool ApplyResizes();
    void SyncPending();

    // DisplayBackend
    // A top-level window made visible (WS_VISIBLE) shows at once.
    void WindowCreated(HWND h) override { WindowChanged(h, win::WindowChange::Shown); }
    void WindowDestroyed(HWND h) override;
    void WindowChanged(HWND h, win::WindowChange c) override;
    void SurfaceDirty(HWND h, const RECT& r) override;
    void PumpNativeEvents() override;
    void WaitForEvents(uint32_t timeoutMs) override;
    void Wake() override;
    bool HasCapability(win::BackendCapability c) const override {
        // Other threads' message loops wait on their own queues.
        return c == win::BackendCapability::Display || OnGui();
    }
    void CaretChanged(HWND h, const RECT* r) override;
    void CursorChanged() override;
    bool SetClipboardText(const WString* text) override;
    std::optional<WString> ClipboardText() override;

    QRect caret;  // window pixels of the caret's top-level window
    HWND caretTop = nullptr;
};

class ModelWindow final : public QWindow {
public:
    ModelWindow(Display::Impl& d, HWND hwnd) : d_(d), hwnd_(hwnd), store_(this) {
        setSurfaceType(QSurface::RasterSurface);
    }
    HWND Hwnd() const { return hwnd_; }
    QBackingStore& Store() { return store_; }
    bool settingGeometry = false;

    // A point in this window (logical Qt coordinates) on the model's screen.
    POINT ModelPoint(QPointF p) const {
        RECT wr{};
        GetWindowRect(hwnd_, &wr);
        auto conv = [&](double v, LONG base) {
            double m = std::floor(v * devicePixelRatio()) + base;
            return static_cast<LONG>(std::clamp(m, -1e9, 1e9));
        };
        return POINT{conv(p.x(), wr.left), conv(p.y(), wr.top)};
    }

protected:
    void exposeEvent(QExposeEvent*) override {
        if (!isExposed()) return;
        Guard g(d_);
        d_.Present(hwnd_, QRect(0, 0, INT32_MAX / 2, INT32_MAX / 2));
    }
    void resizeEvent(QResizeEvent* e) override {
        store_.resize(e->size());
        if (settingGeometry) return;
        QSize model(static_cast<int>(std::lround(e->size().width() * devicePixelRatio())),
                    static_cast<int>(std::lround(e->size().height() * devicePixelRatio())));
        RECT wr{};
        GetWindowRect(hwnd_, &wr);
        if (model.width() == wr.right - wr.left && model.height() == wr.bottom - wr.top) return;
        {
            std::lock_guard<std::mutex> lock(d_.m);
            d_.resizes[hwnd_] = model;
        }
        d_.Wake();
    }
    void moveEvent(QMoveEvent*) override {
        // Owned windows keep their place relative to the anchor.
        if (settingGeometry || d_.Anchor() != hwnd_) return;
        for (auto& [h, w] : d_.windows)
            if (h != hwnd_) d_.Place(h);
    }
    void mousePressEvent(QMouseEvent* e) override {
        e->accept();
        if (e->button() == Qt::LeftButton)
            win::input::PenDown(ModelPoint(e->position()));
        else if (e->button() == Qt::RightButton)
            win::input::PenDown(ModelPoint(e->position()), win::input::Button::Right);
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        e->accept();
        if (e->button() == Qt::LeftButton)
            win::input::PenUp(ModelPoint(e->position()));
        else if (e->button() == Qt::RightButton)
            win::input::PenUp(ModelPoint(e->position()), win::input::Button::Right);
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        e->accept();
        // A pen cannot hover: moves count only while it touches.
        if (e->buttons() & (Qt::LeftButton | Qt::RightButton))
            win::input::PenMove(ModelPoint(e->position()));
    }
    // The model recognises double taps itself.
    void mouseDoubleClickEvent(QMouseEvent* e) override { e->accept(); }

    void keyPressEvent(QKeyEvent* e) override {
        e->accept();
        unsigned mods = Modifiers(e->modifiers());
        UINT vk = VirtualKeyFor(e->key(), mods);
        if (vk) pressed_[e->key()] = vk;
        WString text;
        if ((!vk || KeyTypesText(vk)) && !(mods & kAlt)) {
            for (WChar c : ToWide(e->text()))
                if (c != 0x7F) text.push_back(c);
        }
        if (vk)
            win::input::DeviceKeyDown(vk, e->isAutoRepeat(), text);
        else if (!text.empty())
            win::input::Type(text);
    }
    void keyReleaseEvent(QKeyEvent* e) override {
        e->accept();
        // An auto-repeat is reported as more key-downs only.
        if (e->isAutoRepeat()) return;
        auto it = pressed_.find(e->key());
        if (it == pressed_.end()) return;
        UINT vk = it->second;
        pressed_.erase(it);
        win::input::DeviceKeyUp(vk);
    }
    bool event(QEvent* e) override {
        switch (e->type()) {
            case QEvent::Close:
                // The person closes: the model decides.
                e->ignore();
                PostMessage(hwnd_, WM_CLOSE, 0, 0);
                return true;
            case QEvent::InputMethod: {
                auto* ime = static_cast<QInputMethodEvent*>(e);
                WString text = ToWide(ime->commitString());
                if (!text.empty()) win::input::Type(text);
                e->accept();
                return true;
            }
            case QEvent::InputMethodQuery: {
                auto* q = static_cast<QInputMethodQueryEvent*>(e);
                if (q->queries() & Qt::ImEnabled) q->setValue(Qt::ImEnabled, true);
                if (q->queries() & Qt::ImCursorRectangle) {
                    QRect c = d_.caretTop == hwnd_ ? d_.caret : QRect();
                    double r = devicePixelRatio();
                    q->setValue(Qt::ImCursorRectangle,
                                QRectF(c.x() / r, c.y() / r, c.width() / r, c.height() / r));
                }
                if (q->queries() & Qt::ImHints) q->setValue(Qt::ImHints, int(Qt::ImhNone));
                q->accept();
                return true;
            }
            default:
                break;
        }
        Guard g(d_);
        return QWindow::event(e);
    }

private:
    struct Guard {
        Display::Impl& d;
        explicit Guard(Display::Impl& i) : d(i) { ++d.handlers; }
        ~Guard() { --d.handlers; }
    };
    static unsigned Modifiers(Qt::KeyboardModifiers m) {
        unsigned r = 0;
        if (m & Qt::ShiftModifier) r |= kShift;
        if (m & Qt::ControlModifier) r |= kControl;
        if (m & Qt::AltModifier) r |= kAlt;
        return r;
    }
    Display::Impl& d_;
    HWND hwnd_;
    QBackingStore store_;
    std::map<int, UINT> pressed_;  // Qt key -> the virtual key it went down as
};

// ---- windows ----

// Raises and activates (a platform without stacking, as the offscreen one,
// only activates).
static void Activate(QWindow* w) {
    static const bool stacks = QGuiApplication::platformName() != QLatin1String("offscreen");
    if (stacks) w->raise();
    w->requestActivate();
}

// The window the virtual screen hangs from: the main window, else the first
// shown window without an owner.
HWND Display::Impl::Anchor() const {
    HWND main = win::GetMainWindow();
    if (main && Find(main)) return main;
    for (HWND h : GetTopLevelWindows())
        if (Find(h) && !GetOwner(h)) return h;
    return nullptr;
}

void Display::Impl::Place(HWND h) {
    ModelWindow* w = Find(h);
    if (!w) return;
    RECT r{};
    GetWindowRect(h, &r);
    double ratio = w->devicePixelRatio();
    QSize size(std::max(1, static_cast<int>(std::lround((r.right - r.left) / ratio))),
               std::max(1, static_cast<int>(std::lround((r.bottom - r.top) / ratio))));
    w->settingGeometry = true;
    if (w->size() != size) w->resize(size);
    HWND anchor = Anchor();
    if (anchor && anchor != h) {
        if (ModelWindow* a = Find(anchor)) {
            RECT ar{};
            GetWindowRect(anchor, &ar);
            QPoint p = a->position() + QPoint(static_cast<int>(std::lround((r.left - ar.left) / ratio)),
                                              static_cast<int>(std::lround((r.top - ar.top) / ratio)));
            if (w->position() != p) w->setPosition(p);
        }
    }
    w->settingGeometry = false;
}

void Display::Impl::Sync(HWND h) {
    // Children are the model's to draw: what changes is handed over drawn.
    if (!IsWindow(h) || !IsTopLevel(h)) return;
    ModelWindow* w = Find(h);
    bool shown = IsWindowVisible(h);
    if (!shown) {
        if (w) w->hide();
        return;
    }
    if (!w) {
        w = new ModelWindow(*this, h);
        windows[h] = w;
        HWND owner = GetOwner(h);
        Qt::WindowFlags flags = Qt::Window;
        if (owner) {
            flags |= Qt::FramelessWindowHint;
            if (ModelWindow* o = Find(TopLevelOf(owner))) w->setTransientParent(o);
        }
        // Pop-ups (menus, drop-down lists, tooltips) stay on top and leave
        // the keyboard with the window the model keeps active.
        if (GetWindowLong(h, GWL_EXSTYLE) & WS_EX_TOPMOST) {
            flags |= Qt::WindowStaysOnTopHint;
            if (owner) flags |= Qt::WindowDoesNotAcceptFocus;
        }
        w->setFlags(flags);
        w->setCursor(win::IsWaitCursor() ? Qt::BusyCursor : Qt::ArrowCursor);
    }
    w->setTitle(ToQt(GetWindowTextString(h)));
    Place(h);
    if (!w->isVisible()) {
        w->show();
        if (GetActiveWindow() == h) Activate(w);
    }
    MarkDirty(h, QRect(0, 0, INT32_MAX / 2, INT32_MAX / 2));
}

void Display::Impl::Forget(HWND h) {
    auto it = windows.find(h);
    if (it == windows.end()) return;
    ModelWindow* w = it->second;
    windows.erase(it);
    {
        std::lock_guard<std::mutex> lock(m);
        dirty.erase(h);
        resizes.erase(h);
    }
    if (caretTop == h) caretTop = nullptr;
    w->hide();
    if (handlers)
        w->deleteLater();
    else
        delete w;
}

void Display::Impl::WindowDestroyed(HWND h) {
    if (OnGui()) {
        Forget(h);
        return;
    }
    std::lock_guard<std::mutex> lock(m);
    resync.insert(h);
}

void Display::Impl::WindowChanged(HWND h, win::WindowChange c) {
    if (c == win::WindowChange::Focus) {
        if (!OnGui()) return;
        // The model's activation decides; the desktop follows.
        HWND active = GetActiveWindow();
        if (ModelWindow* w = Find(active); w && !w->isActive()) Activate(w);
        return;
    }
    if (c == win::WindowChange::Content || c == win::WindowChange::Enabled) return;
    if (OnGui() && !pumping) {
        Sync(h);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m);
        resync.insert(h);
    }
    Wake();
}

void Display::Impl::SyncPending() {
    std::set<HWND> todo;
    {
        std::lock_guard<std::mutex> lock(m);
        todo.swap(resync);
    }
    for (HWND h : todo) {
        if (!IsWindow(h))
            Forget(h);
        else
            Sync(h);
    }
}

void Display::Impl::MarkDirty(HWND top, const QRect& r) {
    std::lock_guard<std::mutex> lock(m);
    auto [it, fresh] = dirty.emplace(top, r);
    if (!fresh) it->second |= r;
}

// The model hands over what it drew, in the top-level surface's pixels:
// drawing outside painting at once, painting before it next looks at its
// queue. Either is shown straight away.
void Display::Impl::SurfaceDirty(HWND top, const RECT& r) {
    if (!top) return;
    QRect area = ToQRect(r);
    if (OnGui() && !handlers) {
        Present(top, area);
        return;
    }
    MarkDirty(top, area);
    Wake();
}

void Display::Impl::PresentDirty() {
    std::map<HWND, QRect> todo;
    {
        std::lock_guard<std::mutex> lock(m);
        todo.swap(dirty);
    }
    for (auto& [h, r] : todo) Present(h, r);
}

void Display::Impl::Present(HWND top, QRect area) {
    ModelWindow* w = Find(top);
    if (!w || !w->isExposed() || !IsWindow(top)) return;
    RECT wr{};
    GetWindowRect(top, &wr);
    area &= QRect(0, 0, wr.right - wr.left, wr.bottom - wr.top);
    if (area.isEmpty()) return;
    QBackingStore& store = w->Store();
    if (store.size() != w->size()) store.resize(w->size());
    double ratio = w->devicePixelRatio();
    // The logical area covering these model pixels.
    QRect logical(QPoint(static_cast<int>(std::floor(area.left() / ratio)),
                         static_cast<int>(std::floor(area.top() / ratio))),
                  QPoint(static_cast<int>(std::ceil((area.right() + 1) / ratio)) - 1,
                         static_cast<int>(std::ceil((area.bottom() + 1) / ratio)) - 1));
    logical &= QRect(QPoint(0, 0), w->size());
    if (logical.isEmpty()) return;
    store.beginPaint(QRegion(logical));
    QPaintDevice* dev = store.paintDevice();
    if (dev && dev->devType() == QInternal::Image) {
        auto* image = static_cast<QImage*>(dev);
        double r = image->devicePixelRatio();
        QRect devArea(QPoint(static_cast<int>(std::floor(logical.left() * r)),
                             static_cast<int>(std::floor(logical.top() * r))),
                      QPoint(static_cast<int>(std::ceil((logical.right() + 1) * r)) - 1,
                             static_cast<int>(std::ceil((logical.bottom() + 1) * r)) - 1));
        Compose(top, *image, devArea);
    }
    store.endPaint();
    store.flush(QRegion(logical));
}

// Puts the window's pixels into the image. The surface covers the whole
// window, frame included; while a new size is on its way the part it does
// not cover shows the face colour.
void Display::Impl::Compose(HWND top, QImage& image, const QRect& area) {
    HBITMAP surface = win::GetWindowSurface(top);
    int sw = 0, sh = 0, stride = 0;
    gdi::SurfacePixels(surface, &sw, &sh, &stride);
    if (!QRect(0, 0, sw, sh).contains(area & image.rect()))
        Fill(image, area, PixelOf(GetSysColor(COLOR_BTNFACE)));
    CopySurface(surface, QPoint(0, 0), area, image);
}

bool Display::Impl::ApplyResizes() {
    std::map<HWND, QSize> todo;
    {
        std::lock_guard<std::mutex> lock(m);
        todo.swap(resizes);
    }
    for (auto& [h, size] : todo) {
        if (!IsWindow(h)) continue;
        RECT r{};
        GetWindowRect(h, &r);
        if (h == win::GetMainWindow()) win::SetScreenSize(size.width(), size.height());
        SetWindowPos(h, nullptr, r.left, r.top, size.width(), size.height(),
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    }
    return !todo.empty();
}

// ---- the event loop ----

void Display::Impl::PumpNativeEvents() {
    if (!OnGui() || pumping) return;
    pumping = true;
    SyncPending();
    PresentDirty();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    pumping = false;
    SyncPending();
}

void Display::Impl::WaitForEvents(uint32_t timeoutMs) {
    if (!OnGui()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min<uint32_t>(timeoutMs, 10)));
        return;
    }
    SyncPending();
    PresentDirty();
    // A resize by the person is applied while the loop is idle.
    if (ApplyResizes()) return;
    if (woken.exchange(false)) return;
    if (timeoutMs != UINT32_MAX) waitTimer.start(static_cast<int>(std::min<uint32_t>(timeoutMs, INT32_MAX)));
    pumping = true;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    pumping = false;
    waitTimer.stop();
    woken = false;
    SyncPending();
    ApplyResizes();
}

void Display::Impl::Wake() {
    woken = true;
    if (QAbstractEventDispatcher* d = dispatcher.load()) d->wakeUp();
}

// ---- caret, cursor, clipboard ----

void Display::Impl::CaretChanged(HWND h, const RECT* r) {
    if (!OnGui()) return;
    HWND top = TopLevelOf(h);
    if (!r || !top) {
        caretTop = nullptr;
        caret = QRect();
    } else {
        RECT wr{};
        GetWindowRect(top, &wr);
        POINT o{0, 0};
        ClientToScreen(h, &o);
        caretTop = top;
        caret = ToQRect(*r).translated(o.x - wr.left, o.y - wr.top);
    }
    QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle);
}

namespace {

// A cursor of the program's resources as Qt shows it: where the mask keeps
// the screen a black pixel is transparent and a white one (inverting the
// screen) is drawn black; elsewhere the picture's own colour. Null for the
// system cursors, which are ids, not pictures.
std::optional<QCursor> CursorPicture(HCURSOR cursor) {
    ICONINFO info;
    if (!cursor || !GetIconInfo(cursor, &info)) return std::nullopt;
    std::optional<QCursor> out;
    int w = 0, h = 0, stride = 0, mw = 0, mh = 0, mstride = 0;
    const uint32_t* color = info.hbmColor ? gdi::SurfacePixels(info.hbmColor, &w, &h, &stride) : nullptr;
    const uint32_t* mask = gdi::SurfacePixels(info.hbmMask, &mw, &mh, &mstride);
    if (color && mask && w == mw && h == mh && w > 0 && h > 0) {
        QImage image(w, h, QImage::Format_ARGB32);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint32_t c = color[static_cast<size_t>(y) * static_cast<size_t>(stride / 4) + static_cast<size_t>(x)] & 0xFFFFFF;
                bool keep = (mask[static_cast<size_t>(y) * static_cast<size_t>(mstride / 4) + static_cast<size_t>(x)] & 0xFFFFFF) != 0;
                uint32_t argb = keep ? (c == 0 ? 0x00000000u : 0xFF000000u) : (0xFF000000u | c);
                image.setPixel(x, y, argb);
            }
        out = QCursor(QPixmap::fromImage(image), static_cast<int>(info.xHotspot),
                      static_cast<int>(info.yHotspot));
    }
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return out;
}

}  // namespace

void Display::Impl::CursorChanged() {
    if (!OnGui()) return;
    HCURSOR current = GetCursor();
    QCursor shown(Qt::ArrowCursor);
    if (current == LoadCursor(nullptr, IDC_WAIT))
        shown = QCursor(Qt::BusyCursor);
    else if (auto picture = CursorPicture(current))
        shown = *picture;
    for (auto& [h, w] : windows) w->setCursor(shown);
}

bool Display::Impl::SetClipboardText(const WString* text) {
    if (!OnGui()) return false;
    QClipboard* c = QGuiApplication::clipboard();
    if (text)
        c->setText(ToQt(*text));
    else
        c->clear();
    return true;
}

std::optional<WString> Display::Impl::ClipboardText() {
    if (!OnGui()) return std::nullopt;
    return ToWide(QGuiApplication::clipboard()->text());
}

// ---- Display ----

std::unique_ptr<Display> Display::Start(int& argc, char** argv, std::string* error) {
    auto impl = std::make_unique<Impl>();
    if (!QGuiApplication::instance()) {
        auto set = [](const char* name) {
            const char* v = std::getenv(name);
            return v && *v;
        };
        if (!set("QT_QPA_PLATFORM") && !set("DISPLAY") && !set("WAYLAND_DISPLAY")) {
            if (error) *error = "no display (set DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM)";
            return nullptr;
        }
        // Qt ends the process when the display cannot be opened: say so and
        // exit instead of aborting.
        QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext&, const QString& message) {
                if (type == QtFatalMsg) {
                    std::fprintf(stderr, "display: %s\n", qPrintable(message));
                    std::_Exit(1);
                }
                if (type != QtDebugMsg && type != QtInfoMsg)
                    std::fprintf(stderr, "display: %s\n", qPrintable(message));
            });
        impl->ownApp = new QGuiApplication(argc, argv);
        qInstallMessageHandler(previous);
    }
    QGuiApplication::setQuitOnLastWindowClosed(false);
    impl->gui = QCoreApplication::instance()->thread();
    impl->dispatcher = QAbstractEventDispatcher::instance(impl->gui);
    impl->waitTimer.setSingleShot(true);
    QScreen* screen = QGuiApplication::primaryScreen();
    impl->ratio = screen ? screen->devicePixelRatio() : 1.0;
    std::string problem;
    ScreenSettings s = SettingsFromEnvironment(&problem);
    if (!problem.empty() && error) *error = problem;
    impl->scale = ScaleFor(s, impl->ratio);
    // Model pixels are device pixels: the screen's ratio stays as Qt has it,
    // and the DPI follows the model's scale.
    gdi::ScreenMetrics metrics = gdi::GetScreenMetrics();
    metrics.logPixelsX = metrics.logPixelsY = 96 * impl->scale;
    gdi::SetScreenMetrics(metrics);
    win::SetScreenSize(s.width * impl->scale, s.height * impl->scale);
    win::SetSystemDialogBaseUnits(6 * impl->scale, 13 * impl->scale);
    win::SetDisplayBackend(impl.get());
    return std::unique_ptr<Display>(new Display(std::move(impl)));
}

Display::Display(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Display::~Display() {
    win::SetDisplayBackend(nullptr);
    impl_->dispatcher = nullptr;
    for (auto& [h, w] : impl_->windows) delete w;
    impl_->windows.clear();
    impl_->waitTimer.stop();
    QGuiApplication* app = impl_->ownApp;
    impl_.reset();
    delete app;
}

int Display::Scale() const {
    return impl_->scale;
}
double Display::Ratio() const {
    return impl_->ratio;
}
QImage Display::Snapshot(HWND hwnd) const {
    if (!impl_->Find(hwnd)) return QImage();
    RECT wr{};
    GetWindowRect(hwnd, &wr);
    QImage image(wr.right - wr.left, wr.bottom - wr.top, QImage::Format_RGB32);
    if (image.isNull()) return image;
    impl_->Compose(hwnd, image, image.rect());
    return image;
}

bool Display::ToWindowPoint(HWND hwnd, POINT screen, double* x, double* y) const {
    if (!impl_->Find(hwnd)) return false;
    RECT wr{};
    GetWindowRect(hwnd, &wr);
    double ratio = impl_->Find(hwnd)->devicePixelRatio();
    *x = (screen.x - wr.left + 0.5) / ratio;
    *y = (screen.y - wr.top + 0.5) / ratio;
    return true;
}

QWindow* Display::WindowOf(HWND hwnd) const {
    return impl_->Find(hwnd);
}
void Display::PresentAll() {
    for (auto& [h, w] : impl_->windows) impl_->Present(h, QRect(0, 0, INT32_MAX / 2, INT32_MAX / 2));
}

void Display::PresentNow() {
    impl_->SyncPending();
    impl_->PresentDirty();
}

}  // namespace znqt

// The 40-control test dialog at 480 x 640 (the handheld's 240 x 320 at scale
// 2): a full repaint through the window model (invalidate, paint dispatch,
// drawing into the surface), and presenting it to its Qt window (composing
// the surfaces into the backing store and flushing). The peer is a Qt
// Widgets tree of the same 40 controls at the same places, rendered
// offscreen with QWidget::render into an image. Qt's offscreen platform is
// used unless QT_QPA_PLATFORM says otherwise.
//
//   build/bench/display_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QTabBar>
#include <QTableWidget>
#include <QTextEdit>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/qt/display.h"
#include "platform/res/resource.h"
#include "platform/win/commctrl.h"
#include "platform/win/dialog.h"
#include "platform/win/extra_controls.h"
#include "tests/display/sample_content.h"

namespace {

znqt::Display* g_display = nullptr;
HWND g_dialog = nullptr;

intptr_t Proc(HWND, UINT msg, WPARAM, LPARAM) {
    return msg == WM_INITDIALOG ? TRUE : FALSE;
}

void InvalidateAll(HWND h) {
    InvalidateRect(h, nullptr, true);
    for (HWND c : GetChildren(h)) InvalidateAll(c);
}

void DispatchPaints() {
    MSG m;
    while (PeekMessage(&m, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessage(&m);
}

void BM_ModelRepaint(benchmark::State& state) {
    for (auto _ : state) {
        InvalidateAll(g_dialog);
        DispatchPaints();
    }
    RECT r;
    GetWindowRect(g_dialog, &r);
    state.SetLabel(std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top));
}
BENCHMARK(BM_ModelRepaint)->Unit(benchmark::kMillisecond);

void BM_Present(benchmark::State& state) {
    for (auto _ : state) g_display->PresentAll();
}
BENCHMARK(BM_Present)->Unit(benchmark::kMillisecond);

void BM_ModelRepaintAndPresent(benchmark::State& state) {
    for (auto _ : state) {
        InvalidateAll(g_dialog);
        DispatchPaints();
        g_display->PresentAll();
    }
}
BENCHMARK(BM_ModelRepaintAndPresent)->Unit(benchmark::kMillisecond);

// The same repaint as a Hebrew reader sees the dialog: every window mirrored
// and read right to left, the labels in Hebrew, so that every line goes
// through the bidirectional order and shaping.
void BM_ModelRepaintRightToLeft(benchmark::State& state) {
    const DWORD rtl = 0x00200000 | 0x00002000;  // mirrored layout, right-to-left reading
    std::vector<std::pair<HWND, WString>> texts;
    std::vector<std::pair<HWND, intptr_t>> styles;
    auto turn = [&](HWND h) {
        styles.emplace_back(h, GetWindowLongPtr(h, GWL_EXSTYLE));
        SetWindowLongPtr(h, GWL_EXSTYLE, styles.back().second | rtl);
    };
    turn(g_dialog);
    for (HWND c : GetChildren(g_dialog)) {
        turn(c);
        WString t = GetWindowTextString(c);
        if (t.empty()) continue;
        texts.emplace_back(c, t);
        SetWindowText(c, u"\u05E9\u05DB\u05D1\u05D5\u05EA 12 \u05DE\u05E4\u05D4");
    }
    for (auto _ : state) {
        InvalidateAll(g_dialog);
        DispatchPaints();
    }
    for (auto& [h, t] : texts) SetWindowText(h, t.c_str());
    for (auto& [h, ex] : styles) SetWindowLongPtr(h, GWL_EXSTYLE, ex);
}
BENCHMARK(BM_ModelRepaintRightToLeft)->Unit(benchmark::kMillisecond);

// The same controls as Qt widgets, at the places the dialog gives them.
QWidget* BuildPeer() {
    auto* root = new QWidget;
    RECT cr;
    GetClientRect(g_dialog, &cr);
    root->resize(cr.right, cr.bottom);
    for (HWND c : GetChildren(g_dialog)) {
        RECT r;
        GetWindowRect(c, &r);
        POINT o{r.left, r.top};
        ScreenToClient(g_dialog, &o);
        QRect place(o.x, o.y, r.right - r.left, r.bottom - r.top);
        WString cls = GetClassNameText(c);
        QString text = QString::fromUtf16(GetWindowTextString(c).c_str());
        DWORD style = static_cast<DWORD>(GetWindowLong(c, GWL_STYLE));
        auto is = [&](const WChar* n) { return text::EqualsNoCase(cls, n); };
        QWidget* w = nullptr;
        if (is(u"STATIC") || is(u"TTSTATIC")) {
            auto* l = new QLabel(text.section("~~", 0, 0), root);
            if ((style & 0x1F) == 7) l->setFrameStyle(QFrame::Box);
            w = l;
        } else if (is(u"EDIT")) {
            if (style & 0x4) {
                w = new QTextEdit(text, root);
            } else {
                auto* e = new QLineEdit(text, root);
                if (style & 0x20) e->setEchoMode(QLineEdit::Password);
                w = e;
            }
        } else if (is(u"BUTTON") || is(u"TTBUTTON")) {
            switch (style & 0xF) {
                case 3:
                case 6:
                    w = new QCheckBox(text.section("~~", 0, 0), root);
                    break;
                case 7:
                    w = new QGroupBox(text, root);
                    break;
                case 9:
                    w = new QRadioButton(text, root);
                    break;
                default:
                    w = new QPushButton(text.section("~~", 0, 0), root);
            }
        } else if (is(u"LISTBOX")) {
            auto* l = new QListWidget(root);
            l->addItems({"Roads", "Rivers", "Wells", "Parcels", "Trees"});
            w = l;
        } else if (is(u"COMBOBOX")) {
            auto* b = new QComboBox(root);
            b->addItems({"Metres", "Feet", "Yards"});
            b->setEditable((style & 3) == 2);
            w = b;
            place.setHeight(r.bottom - r.top > 40 ? place.height() / 5 : place.height());
        } else if (is(u"SCROLLBAR")) {
            w = new QScrollBar((style & 1) ? Qt::Vertical : Qt::Horizontal, root);
        } else if (is(WC_LISTVIEW)) {
            auto* t = new QTableWidget(3, 2, root);
            t->setHorizontalHeaderLabels({"Name", "Value"});
            for (int i = 0; i < 3; ++i) t->setItem(i, 0, new QTableWidgetItem(QString("Row %1").arg(i + 1)));
            w = t;
        } else if (is(WC_HEADER)) {
            auto* h = new QHeaderView(Qt::Horizontal, root);
            w = h;
        } else if (is(WC_TREEVIEW)) {
            auto* t = new QTreeWidget(root);
            t->setHeaderHidden(true);
            auto* top = new QTreeWidgetItem(t, {"Layers"});
            new QTreeWidgetItem(top, {"Roads"});
            new QTreeWidgetItem(top, {"Rivers"});
            top->setExpanded(true);
            w = t;
        } else if (is(WC_TABCONTROL)) {
            auto* t = new QTabBar(root);
            for (const char* s : {"Map", "GPS", "Data"}) t->addTab(s);
            w = t;
        } else if (is(TRACKBAR_CLASS)) {
            auto* s = new QSlider(Qt::Horizontal, root);
            s->setTickPosition(QSlider::TicksBelow);
            w = s;
        } else if (is(UPDOWN_CLASS)) {
            w = new QSpinBox(root);
        } else if (is(PROGRESS_CLASS)) {
            auto* p = new QProgressBar(root);
            p->setValue(60);
            w = p;
        } else if (is(DATETIMEPICK_CLASS)) {
            w = new QDateTimeEdit(root);
        }
        if (w) w->setGeometry(place);
    }
    return root;
}

void BM_QtWidgetsRender(benchmark::State& state) {
    static QWidget* peer = BuildPeer();
    qreal ratio = state.range(0);
    QImage image(peer->size() * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    for (auto _ : state) peer->render(&image);
    state.SetLabel(std::to_string(peer->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size()) +
                   " widgets at ratio " + std::to_string(state.range(0)));
}
BENCHMARK(BM_QtWidgetsRender)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    std::string error;
    auto display = znqt::Display::Start(argc, argv, &error);
    if (!display) {
        std::fprintf(stderr, "display_bench: %s\n", error.c_str());
        return 1;
    }
    g_display = display.get();
    InitCommonControls();
    win::RegisterExtraControls();
    auto module = res::ResourceModule::FromFile(ZN_DISPLAY_TEST_RES, &error);
    if (!module) {
        std::fprintf(stderr, "display_bench: %s: %s\n", ZN_DISPLAY_TEST_RES, error.c_str());
        return 1;
    }
    g_dialog = CreateDialogParam(res::RegisterModule(module), MAKEINTRESOURCE(100), nullptr, Proc, 0);
    if (!g_dialog) {
        std::fprintf(stderr, "display_bench: the test dialog could not be made\n");
        return 1;
    }
    viewer::FillSampleContent(g_dialog, display->Scale());
    ShowWindow(g_dialog, SW_SHOW);
    display->PresentNow();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    DestroyWindow(g_dialog);
    return 0;
}

// The viewer: opens a dialog template in a real window, from the program's
// resources or from a .res file, and optionally plays an input script and
// saves a picture of the window. A test facility.
//
//   zn_viewer [--res FILE] [--sample] [--input SCRIPT] [--screenshot PNG] DIALOG
//
// DIALOG is a numeric id or a template name. --sample puts a few items into
// lists, combo boxes, list and tree views, tabs and bars. Notifications are
// printed as "command ID CODE" and "notify ID CODE" lines.
#include <QGuiApplication>
#include <QImage>
#include <QKeySequence>
#include <QTest>
#include <QWindow>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/qt/display.h"
#include "platform/res/resource.h"
#include "platform/text/text.h"
#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/extra_controls.h"
#include "sample_content.h"
#include "viewer_script.h"

namespace {

znqt::Display* g_display = nullptr;
HWND g_dialog = nullptr;
bool g_done = false;
intptr_t g_result = 0;

intptr_t ViewerProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_COMMAND: {
            std::printf("command %u %u\n", static_cast<unsigned>(LOWORD(wParam)),
                        static_cast<unsigned>(HIWORD(wParam)));
            std::fflush(stdout);
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                g_result = LOWORD(wParam);
                g_done = true;
                EndDialog(dlg, LOWORD(wParam));
            }
            return TRUE;
        }
        case WM_NOTIFY: {
            auto* h = reinterpret_cast<const NMHDR*>(lParam);
            std::printf("notify %u %d\n", static_cast<unsigned>(h->idFrom), static_cast<int>(h->code));
            std::fflush(stdout);
            return FALSE;
        }
    }
    return FALSE;
}

WString Wide(const std::string& s) {
    return text::FromUtf8(s);
}

// Runs the program until nothing is left to do.
void RunUntilIdle() {
    MSG m;
    for (int rounds = 0; rounds < 2; ++rounds) {
        while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
            rounds = 0;
            if (m.message == WM_QUIT) return;
            if (IsWindow(g_dialog) && IsDialogMessage(g_dialog, &m)) continue;
            TranslateMessage(&m);
            DispatchMessage(&m);
        }
        g_display->PresentNow();
    }
}

// Runs the program for ms milliseconds of real time.
void RunFor(int ms) {
    uintptr_t timer = SetTimer(nullptr, 0, static_cast<UINT>(ms), nullptr);
    MSG m;
    while (GetMessage(&m, nullptr, 0, 0)) {
        if (m.message == WM_TIMER && !m.hwnd && m.wParam == timer) break;
        if (IsWindow(g_dialog) && IsDialogMessage(g_dialog, &m)) continue;
        TranslateMessage(&m);
        DispatchMessage(&m);
    }
    KillTimer(nullptr, timer);
}

bool PointOf(const viewer::Step& s, bool second, QPoint* out, std::string* error) {
    POINT p;
    if (s.control) {
        HWND c = GetDlgItem(g_dialog, s.control);
        if (!c) {
            *error = "no control with id " + std::to_string(s.control);
            return false;
        }
        RECT r;
        GetWindowRect(c, &r);
        p = POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    } else {
        int scale = g_display->Scale();
        p = POINT{(second ? s.x2 : s.x) * scale, (second ? s.y2 : s.y) * scale};
        ClientToScreen(g_dialog, &p);
    }
    double x = 0, y = 0;
    if (!g_display->ToWindowPoint(g_dialog, p, &x, &y)) {
        *error = "the dialog is not shown";
        return false;
    }
    *out = QPoint(static_cast<int>(x), static_cast<int>(y));
    return true;
}

bool Play(const viewer::Step& s, std::string* error) {
    QWindow* w = g_display->WindowOf(g_dialog);
    if (!w) {
        *error = "the dialog is not shown";
        return false;
    }
    QPoint a, b;
    switch (s.kind) {
        case viewer::Step::Tap:
            if (!PointOf(s, false, &a, error)) return false;
            QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, a);
            break;
        case viewer::Step::RightTap:
            if (!PointOf(s, false, &a, error)) return false;
            QTest::mouseClick(w, Qt::RightButton, Qt::NoModifier, a);
            break;
        case viewer::Step::Down:
            if (!PointOf(s, false, &a, error)) return false;
            QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, a);
            break;
        case viewer::Step::Move:
            if (!PointOf(s, false, &a, error)) return false;
            QTest::mouseMove(w, a);
            break;
        case viewer::Step::Up:
            if (!PointOf(s, false, &a, error)) return false;
            QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, a);
            break;
        case viewer::Step::Drag: {
            if (!PointOf(s, false, &a, error) || !PointOf(s, true, &b, error)) return false;
            QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, a);
            RunUntilIdle();
            for (int i = 1; i <= 8; ++i) {
                QTest::mouseMove(w, a + (b - a) * i / 8);
                RunUntilIdle();
            }
            QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, b);
            break;
        }
        case viewer::Step::Key: {
            QKeySequence seq = QKeySequence::fromString(QString::fromStdString(s.text));
            if (seq.isEmpty() || seq[0].key() == Qt::Key_unknown) {
                *error = "unknown key '" + s.text + "'";
                return false;
            }
            QKeyCombination k = seq[0];
            QString text;
            if (!(k.keyboardModifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
                int key = k.key();
                if (key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde)
                    text = (k.keyboardModifiers() & Qt::ShiftModifier) ? QChar(key)
                                                                        : QChar(key).toLower();
                else if (key == Qt::Key_Return || key == Qt::Key_Enter)
                    text = QStringLiteral("\r");
                else if (key == Qt::Key_Tab)
                    text = QStringLiteral("\t");
                else if (key == Qt::Key_Backspace)
                    text = QStringLiteral("\b");
                else if (key == Qt::Key_Escape)
                    text = QStringLiteral("\x1b");
            }
            QTest::sendKeyEvent(QTest::Click, w, k.key(), text, k.keyboardModifiers());
            break;
        }
        case viewer::Step::Type: {
            QString t = QString::fromStdString(s.text);
            for (int i = 0; i < t.size(); ++i) {
                QString unit = t.mid(i, t[i].isHighSurrogate() && i + 1 < t.size() ? 2 : 1);
                i += unit.size() - 1;
                QChar c = unit[0];
                Qt::Key key = c.unicode() < 0x80 && c.isLetterOrNumber()
                                  ? Qt::Key(c.toUpper().unicode())
                                  : Qt::Key_unknown;
                if (c == u' ') key = Qt::Key_Space;
                QTest::sendKeyEvent(QTest::Click, w, key, unit, Qt::NoModifier);
                RunUntilIdle();
            }
            break;
        }
        case viewer::Step::Wait:
            RunFor(s.ms);
            break;
    }
    RunUntilIdle();
    return true;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: zn_viewer [--res FILE] [--sample] [--input SCRIPT] [--screenshot PNG] "
                 "DIALOG\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string resFile, script, shot, dialog;
    bool sample = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= argc) return false;
            *out = argv[++i];
            return true;
        };
        if (a == "--res") {
            if (!value(&resFile)) return Usage();
        } else if (a == "--input") {
            if (!value(&script)) return Usage();
        } else if (a == "--screenshot") {
            if (!value(&shot)) return Usage();
        } else if (a == "--sample") {
            sample = true;
        } else if (!a.empty() && a[0] == '-') {
            return Usage();
        } else if (dialog.empty()) {
            dialog = a;
        } else {
            return Usage();
        }
    }
    if (dialog.empty()) return Usage();

    std::vector<viewer::Step> steps;
    if (!script.empty()) {
        std::ifstream in(script, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "zn_viewer: cannot read %s\n", script.c_str());
            return 1;
        }
        std::stringstream all;
        all << in.rdbuf();
        std::string error;
        auto parsed = viewer::ParseScript(all.str(), &error);
        if (!parsed) {
            std::fprintf(stderr, "zn_viewer: %s: %s\n", script.c_str(), error.c_str());
            return 1;
        }
        steps = std::move(*parsed);
    }

    // The display comes first: it sets the screen's DPI before any font.
    std::string error;
    std::unique_ptr<znqt::Display> display = znqt::Display::Start(argc, argv, &error);
    if (!display) {
        std::fprintf(stderr, "zn_viewer: %s\n", error.c_str());
        return 1;
    }
    if (!error.empty()) std::fprintf(stderr, "zn_viewer: %s\n", error.c_str());
    g_display = display.get();

    InitCommonControls();
    win::RegisterExtraControls();
    HINSTANCE module = res::GetProgramModule();
    if (!resFile.empty()) {
        std::string why;
        auto m = res::ResourceModule::FromFile(resFile, &why);
        if (!m) {
            std::fprintf(stderr, "zn_viewer: %s: %s\n", resFile.c_str(), why.c_str());
            return 1;
        }
        module = res::RegisterModule(m);
    }
    WString name = Wide(dialog);
    const WChar* templ = name.c_str();
    int id = 0;
    if (dialog.find_first_not_of("0123456789") == std::string::npos && dialog.size() < 6 &&
        (id = std::stoi(dialog)) > 0 && id < 65536)
        templ = MAKEINTRESOURCE(static_cast<WORD>(id));
    g_dialog = CreateDialogParam(module, templ, nullptr, ViewerProc, 0);
    if (!g_dialog) {
        std::fprintf(stderr, "zn_viewer: no dialog %s in %s\n", dialog.c_str(),
                     resFile.empty() ? "the program's resources" : resFile.c_str());
        return 1;
    }
    if (sample) viewer::FillSampleContent(g_dialog, display->Scale());
    ShowWindow(g_dialog, SW_SHOW);
    UpdateWindow(g_dialog);
    RunUntilIdle();

    for (const viewer::Step& s : steps) {
        if (g_done) break;
        if (!Play(s, &error)) {
            std::fprintf(stderr, "zn_viewer: %s: line %d: %s\n", script.c_str(), s.line,
                         error.c_str());
            return 1;
        }
    }
    if (!shot.empty()) {
        RunUntilIdle();
        QImage image = IsWindow(g_dialog) ? display->Snapshot(g_dialog) : QImage();
        if (image.isNull() || !image.save(QString::fromStdString(shot), "PNG")) {
            std::fprintf(stderr, "zn_viewer: cannot write %s\n", shot.c_str());
            return 1;
        }
        return 0;
    }
    if (!script.empty()) return 0;
    MSG m;
    while (!g_done && IsWindow(g_dialog) && GetMessage(&m, nullptr, 0, 0)) {
        if (IsDialogMessage(g_dialog, &m)) continue;
        TranslateMessage(&m);
        DispatchMessage(&m);
    }
    return 0;
}

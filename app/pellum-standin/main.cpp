// pellum-standin: the desktop host stand-in. Opens a .dmap document, loads
// the registered add-ins and shows their toolbars.
//
//   pellum-standin MAP.dmap [--answers FILE --log FILE] [--press CAPTION] [--screenshot PNG]
//
// With --answers every prompt is answered from the file and written to the
// log (a prompt without an answer ends the run with status 3); --press
// presses the add-in button of that caption and ends; --screenshot saves the
// main window and ends.
#include <unistd.h>

#include <QApplication>
#include <QPixmap>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "app/pellum-standin/host_ui_qt.h"
#include "app/pellum-standin/main_window.h"
#include "desktop/host/addins.h"
#include "desktop/host/host_ui_scripted.h"
#include "platform/fs/fs.h"

namespace {

std::string g_logPath;
host::ScriptedHostUi* g_scripted = nullptr;

void WriteLog() {
    if (g_logPath.empty() || !g_scripted) return;
    std::ofstream(g_logPath, std::ios::binary | std::ios::trunc) << g_scripted->Log();
}

int Usage() {
    std::fprintf(stderr,
                 "usage: pellum-standin MAP.dmap [--answers FILE] [--log FILE] [--press CAPTION] "
                 "[--screenshot PNG]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    // The desktop works in host paths; the handheld's root and mounts are
    // not its own.
    fs::SetDeviceRoot("/");
    fs::ClearMounts();

    std::string map, answers, press, screenshot;
    bool haveAnswers = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= argc) return false;
            *out = argv[++i];
            return true;
        };
        if (a == "--answers") {
            if (!value(&answers)) return Usage();
            haveAnswers = true;
        } else if (a == "--log") {
            if (!value(&g_logPath)) return Usage();
        } else if (a == "--press") {
            if (!value(&press)) return Usage();
        } else if (a == "--screenshot") {
            if (!value(&screenshot)) return Usage();
        } else if (a == "-h" || a == "--help") {
            return Usage();
        } else if (map.empty() && (a.empty() || a[0] != '-')) {
            map = a;
        } else {
            return Usage();
        }
    }
    if (map.empty()) return Usage();
    QApplication qapp(argc, argv);

    pellum::QtHostUi qtUi;
    std::unique_ptr<host::ScriptedHostUi> scripted;
    if (haveAnswers) {
        std::ifstream in(answers, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "pellum-standin: %s: cannot be read\n", answers.c_str());
            return 2;
        }
        std::stringstream text;
        text << in.rdbuf();
        int bad = 0;
        auto parsed = host::ParseAnswers(text.str(), &bad);
        if (!parsed) {
            std::fprintf(stderr, "pellum-standin: %s: line %d cannot be read\n", answers.c_str(),
                         bad);
            return 2;
        }
        scripted =
            std::make_unique<host::ScriptedHostUi>(std::move(*parsed), [](const std::string&) {
                WriteLog();
                std::fflush(nullptr);
                ::_exit(3);
            });
        g_scripted = scripted.get();
    }
    host::IHostUi& ui = scripted ? static_cast<host::IHostUi&>(*scripted) : qtUi;

    host::DmapError error;
    auto app = host::OpenHostDocument(map, ui, &error);
    if (!app) {
        const std::string text = map + ": " + error.Text();
        if (scripted)
            std::fprintf(stderr, "pellum-standin: %s\n", text.c_str());
        else
            ui.MessageBox("Pellum", text, host::PromptIcon::Stop, host::PromptButtons::Ok);
        return 1;
    }
    pellum::MainWindow window(app, ui);
    qtUi.SetOwner(&window);
    std::vector<host::AddInRegistration> list;
    std::string why;
    if (!host::ReadAddIns(host::AddInsFilePath(), &list, &why) && scripted) scripted->Note(why);
    for (const auto& note : window.LoadAddIns(list))
        if (scripted) scripted->Note(note);

    if (!press.empty()) {
        int status = 1;
        for (host::ICommand* c : window.Commands()) {
            if (c->Caption() == press) {
                status = host::ClickCommand(*c, ui) ? 0 : 1;
                break;
            }
        }
        if (status == 1 && scripted) scripted->Note("no button \"" + press + "\" was pressed");
        WriteLog();
        return status;
    }
    window.show();
    if (!screenshot.empty()) {
        QApplication::processEvents();
        const bool ok = window.grab().save(QString::fromStdString(screenshot));
        WriteLog();
        return ok ? 0 : 1;
    }
    const int status = qapp.exec();
    WriteLog();
    return status;
}

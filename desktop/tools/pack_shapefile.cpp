#include "desktop/tools/pack_shapefile.h"

#include <algorithm>
#include <vector>

#include "platform/fs/fs.h"

namespace zntools8 {

using namespace host;

namespace {

// Platform file dialog flags.
constexpr unsigned kOfnOverwritePrompt = 0x2;
constexpr unsigned kOfnFileMustExist = 0x1000;
constexpr unsigned kOfnCreatePrompt = 0x2000;

// Every extension a shapefile and its companions may have, in the order
// they are moved.
const char* const kExtensions[] = {".shp", ".shx", ".dbf", ".prj", ".cpg", ".sbn", ".sbx"};

std::string Trimmed(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return {};
    const size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

// The folder and title of a path without extension ('/' or '\').
bool Split(const std::string& path, std::string* folder, std::string* title) {
    const size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos || slash + 1 >= path.size()) return false;
    *folder = slash == 0 ? "/" : path.substr(0, slash);
    *title = path.substr(slash + 1);
    return true;
}

WString Device(const std::string& hostPath) {
    const WString d = fs::DevicePathFromHost(hostPath);
    if (d.empty()) throw HostError("a name the handheld cannot hold: " + hostPath);
    return d;
}

std::string LastError() {
    const WString t = fs::ErrorText(fs::GetLastError());
    return t.empty() ? std::string("a file could not be moved") : text::ToUtf8(t);
}

// The files of the folder whose names are title + suffix + ".*".
std::vector<WString> FilesNamed(const std::string& folder, const std::string& title,
                                const std::string& suffix) {
    std::vector<WString> out;
    const WString dir = Device(folder);
    const WString pattern = dir + u"\\" + text::FromUtf8(title + suffix) + u".*";
    fs::FindData data;
    fs::FindHandle* h = fs::FindFirstFile(pattern, &data);
    if (!h) return out;
    do {
        if (!(data.attributes & fs::kAttrDirectory)) out.push_back(dir + u"\\" + data.fileName);
    } while (fs::FindNextFile(h, &data));
    fs::FindClose(h);
    return out;
}

std::shared_ptr<IHostWorkspace> OpenFolder(IHostApplication& app, const std::string& folder) {
    return app.Objects().WorkspaceFactory(kShapefileWorkspaceFactory)->OpenFromFile(folder);
}

bool IsCopied(const HostField& f) {
    return f.editable && f.fieldType != kFieldOID && f.fieldType != kFieldGeometry;
}

bool SameGeometry(const HostGeometry& a, const HostGeometry& b) {
    if (a.shapeType != b.shapeType || a.parts != b.parts || a.z != b.z || a.m != b.m ||
        a.points.size() != b.points.size())
        return false;
    for (size_t i = 0; i < a.points.size(); ++i)
        if (a.points[i].x != b.points[i].x || a.points[i].y != b.points[i].y) return false;
    return true;
}

// The layer of the focus map that shows the shapefile, its position and renderer.
struct RemovedLayer {
    std::shared_ptr<IHostLayer> layer;
    std::shared_ptr<IHostFeatureRenderer> renderer;
    int position = -1;
};

}  // namespace

unsigned MapFileDialogFlags(unsigned f) {
    unsigned out = 0;
    if (f & kOfnFileMustExist) out |= kFileMustExist;
    if (f & kOfnOverwritePrompt) out |= kFileOverwritePrompt;
    if (f & kOfnCreatePrompt) out |= kFileCreatePrompt;
    return out;
}

void PackShapefileDialog::Initialize(IHostApplication& app) {
    m_app = &app;
    m_doc = app.Document();
}

void PackShapefileDialog::Prefill() {
    m_path[0].clear();
    m_path[1].clear();
    m_okEnabled = false;
    auto layer = m_doc ? m_doc->SelectedLayer() : nullptr;
    if (!layer || !layer->Is(LayerRole::Feature)) return;
    auto feature = std::dynamic_pointer_cast<IHostFeatureLayer>(layer);
    if (!feature) return;
    auto ds = feature->Dataset();
    auto ws = ds ? ds->Workspace() : nullptr;
    if (!ws || ws->Kind() != WorkspaceKind::Shapefile) return;
    m_path[0] = ws->PathName() + "/" + ds->Name();
    m_path[1] = ws->PathName() + "/" + layer->Name();
    m_okEnabled = true;
}

void PackShapefileDialog::OverloadedShow() {
    try {
        Prefill();
    } catch (const HostError&) {
        // A layer whose data cannot be reached gives empty boxes.
        m_path[0].clear();
        m_path[1].clear();
        m_okEnabled = false;
    }
    m_app->Ui().RunDialog(*this);
}

void PackShapefileDialog::UpdateOk() {
    m_okEnabled = !Trimmed(m_path[0]).empty() && !Trimmed(m_path[1]).empty();
}

void PackShapefileDialog::Browse(int index) {
    m_done.clear();
    const bool save = index == kDestination;
    const std::string chosen = m_app->Ui().FileDialog(
        save, save ? "Save output shapefile as..." : "Select input shapefile", kPackFilter,
        MapFileDialogFlags(save ? kPackSaveFlags : kPackOpenFlags), "shp");
    if (!chosen.empty()) {
        m_path[save ? 1 : 0] = chosen.size() > 4 ? chosen.substr(0, chosen.size() - 4) : std::string();
        if (!save && m_path[1].empty()) m_path[1] = m_path[0];
    }
    m_okEnabled = false;
    UpdateOk();
    Changed();
}

void PackShapefileDialog::Edit(int index, const std::string& text) {
    m_path[index == kSource ? 0 : 1] = text;
    m_done.clear();
    m_okEnabled = false;
    UpdateOk();
    Changed();
}

void PackShapefileDialog::Cancel() {
    m_finished = true;
}

void PackShapefileDialog::Ok() {
    if (!m_okEnabled) return;
    m_progressVisible = true;
    m_progressValue = 0;
    m_progressPeak = 0;
    m_okEnabled = false;
    Changed();
    std::string why;
    const bool ok = RunPack(&why);
    if (ok) {
        m_done = "Finished!";
    } else {
        m_app->Ui().MessageBox("Zarnip Tools", "Failed to compact the shapefile!\r\n" + why,
                               PromptIcon::Stop, PromptButtons::Ok);
    }
    m_progressVisible = false;
    m_finished = true;
    Changed();
}

bool PackShapefileDialog::RunPack(std::string* why) {
    std::string srcFolder, srcTitle, folder, title;
    const std::string source = Trimmed(m_path[0]);
    const std::string dest = Trimmed(m_path[1]);
    if (!Split(source, &srcFolder, &srcTitle)) {
        *why = "not a shapefile path: " + source;
        return false;
    }
    if (!Split(dest, &folder, &title)) {
        *why = "not a shapefile path: " + dest;
        return false;
    }
    const std::string temp = title + kPackTempSuffix;
    const std::string tempPath = folder + "/" + temp;
    IHostUi& ui = m_app->Ui();

    RemovedLayer removed;
    std::shared_ptr<IHostMap> map;
    std::shared_ptr<IHostLayer> added;
    fs::RenameSet swap;
    bool swapped = false;  // D's files are aside; any index file of D is the new one
    auto removeTemp = [&] {
        bool all = true;
        try {
            for (const WString& f : FilesNamed(folder, title, kPackTempSuffix))
                all = fs::DeleteFile(f) && all;
        } catch (const HostError&) {
        }
        return all;
    };
    try {
        // 1. Leftovers of an earlier failed run; only this tool makes the name.
        for (const WString& f : FilesNamed(folder, title, kPackTempSuffix))
            if (!fs::DeleteFile(f))
                throw HostError("an old temporary file could not be removed: " + text::ToUtf8(f));
        // 2. Backups of a run that ended half-way may hold the only copy.
        if (!FilesNamed(folder, title, kPackBackupSuffix).empty())
            throw HostError("files of an earlier pack that did not finish are still there (" + dest +
                            kPackBackupSuffix + ".*); put them back or remove them first");

        // 3. The copy, written through and read back.
        auto sourceClass = OpenFolder(*m_app, srcFolder)->OpenFeatureClass(srcTitle);
        const std::vector<HostField> fields = sourceClass->Fields();
        const std::string shapeField = sourceClass->ShapeFieldName();
        auto target = OpenFolder(*m_app, folder)->CreateFeatureClass(temp, fields, shapeField);
        m_progressMax = sourceClass->FeatureCount();
        m_progressValue = 0;
        Changed();
        {
            auto insert = target->Insert(true);
            HostFeature buffer = target->CreateFeatureBuffer();
            auto cursor = sourceClass->Search(nullptr, true);
            while (HostFeature* f = cursor->NextFeature()) {
                for (size_t i = 0; i < fields.size() && i < f->values.size(); ++i)
                    if (IsCopied(fields[i])) buffer.values[i] = f->values[i];
                buffer.shape = f->shape;
                insert->InsertFeature(buffer);
                ui.PumpMessages();
                insert->Flush();
                if (m_progressValue < m_progressMax) ++m_progressValue;
                m_progressPeak = std::max(m_progressPeak, m_progressValue);
                Changed();
            }
            insert->Flush();
        }
        target.reset();
        {
            // Read back: the same features, values and shapes, in order.
            auto copy = OpenFolder(*m_app, folder)->OpenFeatureClass(temp);
            if (copy->FeatureCount() != sourceClass->FeatureCount())
                throw HostError("the copy does not hold every feature");
            auto a = sourceClass->Search(nullptr, false);
            auto b = copy->Search(nullptr, true);
            for (;;) {
                HostFeature* x = a->NextFeature();
                HostFeature* y = b->NextFeature();
                if (!x || !y) {
                    if (x || y) throw HostError("the copy does not hold every feature");
                    break;
                }
                for (size_t i = 0; i < fields.size(); ++i)
                    if (IsCopied(fields[i]) && x->values[i] != y->values[i])
                        throw HostError("the copy differs from the source in field " + fields[i].name);
                if (!SameGeometry(x->shape, y->shape))
                    throw HostError("the copy differs from the source in a shape");
            }
        }
        // 4. Nothing of the host may hold the files while they are renamed.
        sourceClass.reset();

        // 5. The layer that shows D leaves the map for now.
        const bool existed = fs::Exists(Device(dest + ".shp"));
        map = m_doc->FocusMap();
        if (existed) {
            const int n = map->LayerCount();
            for (int i = 0; i < n && !removed.layer; ++i) {
                auto l = map->Layer(i);
                auto fl = std::dynamic_pointer_cast<IHostGeoFeatureLayer>(l);
                if (!fl || !l->Is(LayerRole::Feature)) continue;
                auto ds = fl->Dataset();
                if (ds->Workspace()->PathName() + "/" + ds->Name() != dest) continue;
                removed.layer = l;
                removed.position = i;
                removed.renderer = fl->Renderer();
                map->DeleteLayer(l);
            }
        }

        // The copy reaches the disk before any of D's names point at it.
        for (const WString& f : FilesNamed(folder, title, kPackTempSuffix)) {
            fs::File file;
            if (!file.Open(f, fs::kGenericWrite, fs::kShareRead | fs::kShareWrite, fs::kOpenExisting) ||
                !file.Flush() || !file.Close())
                throw HostError("the copy could not be written to the disk: " + LastError());
        }

        // 6 and 7. TEMP takes D's names; D's own files go aside.
        for (const char* ext : kExtensions) {
            const WString from = Device(tempPath + ext);
            const WString to = Device(dest + ext);
            const WString aside = Device(dest + kPackBackupSuffix + ext);
            const bool ok = fs::Exists(from) ? swap.Replace(from, to, aside) : swap.SetAside(to, aside);
            if (!ok) throw HostError("the shapefile's files could not be replaced: " + LastError());
        }
        swapped = true;

        // 8. D opens, gets its index, and its layer comes back.
        auto packed = OpenFolder(*m_app, folder)->OpenFeatureClass(title);
        packed->AddIndex("Sp_Idx", {packed->ShapeFieldName()});
        const int position = existed ? removed.position : 0;
        if (position >= 0) {
            auto layer = m_app->Objects().FeatureLayer(packed);
            layer->SetName(packed->Dataset()->Name());
            map->AddLayer(layer);
            added = layer;
            map->MoveLayer(layer, std::min(position, map->LayerCount() - 1));
            if (removed.renderer)
                if (auto geo = std::dynamic_pointer_cast<IHostGeoFeatureLayer>(layer))
                    geo->SetRenderer(removed.renderer);
            m_doc->ActiveView()->Refresh();
            m_doc->UpdateContents();
        }
        packed.reset();
        // 9. Kept: the backups go.
        swap.Commit();
    } catch (const std::exception& e) {
        *why = e.what();
        // The new layer holds D's new files open: it goes before they move back.
        try {
            if (map && added) map->DeleteLayer(added);
        } catch (const HostError&) {
        }
        added.reset();
        // An index written for the new files must not stay beside the old ones.
        if (swapped)
            for (const char* ext : {".sbn", ".sbx"}) fs::DeleteFile(Device(dest + ext));
        if (!swap.Rollback()) *why += "\r\nThe old files could not all be put back: " + LastError();
        try {
            if (map && removed.layer) {
                map->AddLayer(removed.layer);
                map->MoveLayer(removed.layer, std::min(removed.position, map->LayerCount() - 1));
                m_doc->UpdateContents();
            }
        } catch (const HostError& again) {
            *why += "\r\nThe map layer could not be put back: " + std::string(again.what());
        }
        if (!removeTemp()) *why += "\r\n" + tempPath;
        return false;
    }
    try {
        m_doc->Save();
    } catch (const HostError& e) {
        ui.MessageBox("Zarnip Tools", std::string("The map document could not be saved.\r\n") + e.what(),
                      PromptIcon::Stop, PromptButtons::Ok);
    }
    return true;
}

std::string PackShapefileDialog::Describe() const {
    return "label3: " + Label3() + "\nsource: " + m_path[0] + "\ndestination: " + m_path[1] +
           "\nok: " + (m_okEnabled ? "enabled" : "disabled") + "\ndone: " + m_done + "\n";
}

bool PackShapefileDialog::Act(const std::string& action, const std::string& argument) {
    if (action == "press") {
        if (argument == "&OK" || argument == "OK") {
            if (!m_okEnabled) return false;
            Ok();
            return true;
        }
        if (argument == "&Cancel" || argument == "Cancel") {
            Cancel();
            return true;
        }
        if (argument == "cmdFile0" || argument == "cmdFile1") {
            Browse(argument == "cmdFile0" ? kSource : kDestination);
            return true;
        }
        return false;
    }
    if (action == "type") {
        const size_t eq = argument.find('=');
        if (eq == std::string::npos) return false;
        const std::string box = argument.substr(0, eq);
        if (box != "source" && box != "destination") return false;
        Edit(box == "source" ? kSource : kDestination, argument.substr(eq + 1));
        return true;
    }
    if ((action == "key" && argument == "Escape") || (action == "close" && argument.empty())) {
        Cancel();
        return true;
    }
    return false;
}

void ShowPackShapefile(IHostApplication& app) {
    PackShapefileDialog dialog;
    dialog.Initialize(app);
    dialog.OverloadedShow();
}

}  // namespace zntools8

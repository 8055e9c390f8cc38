#include "app/pellum-standin/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeWidget>
#include <cstring>

#include "app/pellum-standin/preview.h"
#include "desktop/host/dmap_io.h"
#include "formats/dbf/dbf_engine.h"
#include "platform/fs/fs.h"

namespace pellum {
namespace {

constexpr int kLayerRole = Qt::UserRole + 1;

QIcon IconOf(const host::HostImage& img) {
    if (img.width <= 0) return {};
    QImage q(reinterpret_cast<const uchar*>(img.pixels.data()), img.width, img.height,
             img.width * 4, QImage::Format_ARGB32);
    return QIcon(QPixmap::fromImage(q.copy()));
}

host::DLayerPtr FindByName(const std::vector<host::DLayerPtr>& layers, const std::string& name) {
    for (const auto& l : layers) {
        if (l->name == name) return l;
        if (auto c = FindByName(l->children, name)) return c;
    }
    return nullptr;
}

std::string Trim(std::string s) {
    const size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos) return {};
    return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

// The field names of a feature layer's table (shapefiles only).
std::vector<std::string> FieldsOf(const host::HostSession& s, const host::DLayer& l) {
    std::vector<std::string> out;
    if (!l.data || l.data->kind != host::WorkspaceKind::Shapefile) return out;
    const WString device =
        fs::DevicePathFromHost(s.Resolve(l.data->workspace) + "/" + l.data->dataset + ".dbf");
    DbfHandle t = device.empty() ? nullptr : DbfOpen(device.c_str(), 0);
    if (!t) return out;
    char name[12];
    for (int i = 0; i < DbfGetFieldCount(t); ++i) out.push_back(DbfGetFieldName(t, i, name));
    DbfClose(t);
    return out;
}

}  // namespace

MainWindow::MainWindow(std::shared_ptr<host::HostApplicationImpl> app, host::IHostUi& ui)
    : m_app(std::move(app)), m_ui(ui) {
    m_tree = new QTreeWidget;
    m_tree->setObjectName("contents");
    m_tree->setHeaderHidden(true);
    m_preview = new Preview(m_app->Session());
    auto* split = new QSplitter;
    split->addWidget(m_tree);
    split->addWidget(m_preview);
    split->setStretchFactor(1, 1);
    setCentralWidget(split);

    QMenu* file = menuBar()->addMenu("&File");
    file->addAction("&Save", this, [this] { Save(); })->setShortcut(QKeySequence::Save);
    file->addAction("Save &As...", this, [this] { SaveAs(); });
    file->addSeparator();
    file->addAction("E&xit", this, [this] { close(); });
    QMenu* map = menuBar()->addMenu("&Map");
    map->addAction("&Extent...", this, [this] { ShowExtentDialog(); });
    map->addAction("Select &Records...", this, [this] { ShowSelectDialog(); });
    map->addAction("Layer &Settings...", this, [this] { ShowLayerSettingsDialog(); });

    connect(m_tree, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) {
        if (m_filling) return;
        auto* layer = static_cast<host::DLayer*>(item->data(0, kLayerRole).value<void*>());
        const bool visible = item->checkState(0) == Qt::Checked;
        if (layer && layer->visible != visible) {
            layer->visible = visible;
            m_app->Session().SetModified();
            m_preview->update();
            UpdateTitle();
        }
    });
    connect(m_tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item, QTreeWidgetItem*) {
                if (m_filling || !item) return;
                m_app->Session().FocusMap().selected = item->text(0).toStdString();
                m_app->Session().SetModified();
                UpdateTitle();
            });
    FillContents();
    UpdateTitle();
    resize(900, 600);
}

MainWindow::~MainWindow() = default;

void MainWindow::AddItems(QTreeWidgetItem* parent, const std::vector<host::DLayerPtr>& layers) {
    for (const auto& l : layers) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_tree);
        item->setText(0, QString::fromStdString(l->name));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, l->visible ? Qt::Checked : Qt::Unchecked);
        item->setData(0, kLayerRole, QVariant::fromValue(static_cast<void*>(l.get())));
        if (l->name == m_app->Session().FocusMap().selected) m_tree->setCurrentItem(item);
        AddItems(item, l->children);
    }
}

void MainWindow::FillContents() {
    m_filling = true;
    m_tree->clear();
    AddItems(nullptr, m_app->Session().FocusMap().layers);
    m_tree->expandAll();
    m_filling = false;
}

void MainWindow::UpdateTitle() {
    const std::string& path = m_app->Session().Path();
    const size_t slash = path.find_last_of('/');
    setWindowTitle(QString::fromStdString((m_app->Session().Modified() ? "*" : "") +
                                          path.substr(slash == std::string::npos ? 0 : slash + 1) +
                                          " - Pellum"));
}

std::vector<std::string> MainWindow::LoadAddIns(const std::vector<host::AddInRegistration>& list) {
    std::vector<std::string> notes;
    m_addIns = host::LoadAddIns(list, *m_app, &notes);
    for (auto& lib : m_addIns) {
        for (auto& tb : lib->toolbars) {
            QToolBar* bar = addToolBar(QString::fromStdString(tb.toolbar->Caption()));
            bar->setObjectName(QString::fromStdString(tb.toolbar->Name()));
            for (auto& c : tb.commands) {
                host::ICommand* cmd = c.command.get();
                QAction* a =
                    bar->addAction(IconOf(cmd->Bitmap()), QString::fromStdString(cmd->Caption()));
                a->setToolTip(QString::fromStdString(cmd->Tooltip()));
                a->setStatusTip(QString::fromStdString(cmd->Message()));
                a->setEnabled(cmd->Enabled());
                connect(a, &QAction::triggered, this, [this, cmd] {
                    host::ClickCommand(*cmd, m_ui);
                    FillContents();
                    m_preview->Reload();
                    UpdateTitle();
                });
            }
        }
    }
    for (const auto& n : notes) statusBar()->showMessage(QString::fromStdString(n));
    return notes;
}

std::vector<host::ICommand*> MainWindow::Commands() const {
    std::vector<host::ICommand*> out;
    for (const auto& lib : m_addIns)
        for (const auto& tb : lib->toolbars)
            for (const auto& c : tb.commands) out.push_back(c.command.get());
    return out;
}

host::DLayerPtr MainWindow::SelectedLayer() const {
    const host::DMap& m = m_app->Session().FocusMap();
    return FindByName(m.layers, m.selected);
}

void MainWindow::SetExtent(const host::HostEnvelope& e) {
    m_app->Session().FocusMap().view = e;
    m_app->Session().SetModified();
    m_preview->update();
    UpdateTitle();
}

void MainWindow::ShowExtentDialog() {
    QDialog d(this);
    d.setWindowTitle("Extent");
    auto* form = new QFormLayout(&d);
    const host::HostEnvelope e = m_app->Session().FocusMap().view.value_or(host::HostEnvelope{});
    QLineEdit* edits[4];
    const char* names[] = {"Left", "Bottom", "Right", "Top"};
    const double values[] = {e.xmin, e.ymin, e.xmax, e.ymax};
    for (int i = 0; i < 4; ++i) {
        edits[i] = new QLineEdit(QString::fromStdString(host::DmapNumber(values[i])));
        edits[i]->setObjectName(names[i]);
        form->addRow(names[i], edits[i]);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &d, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
    if (d.exec() != QDialog::Accepted) return;
    double v[4];
    for (int i = 0; i < 4; ++i) {
        auto n = host::ParseDmapNumber(edits[i]->text().toStdString());
        if (!n) {
            m_ui.MessageBox("Extent", std::string("Not a number: ") + names[i],
                            host::PromptIcon::Stop, host::PromptButtons::Ok);
            return;
        }
        v[i] = *n;
    }
    if (!(v[2] > v[0] && v[3] > v[1])) {
        m_ui.MessageBox("Extent",
                        "The right must lie beyond the left and the top above the bottom.",
                        host::PromptIcon::Stop, host::PromptButtons::Ok);
        return;
    }
    SetExtent({v[0], v[1], v[2], v[3]});
}

int MainWindow::SelectByAttribute(const std::string& layerName, const std::string& field,
                                  const std::string& value) {
    auto l = FindByName(m_app->Session().FocusMap().layers, layerName);
    if (!l || !l->data || l->data->kind != host::WorkspaceKind::Shapefile) return -1;
    const WString device = fs::DevicePathFromHost(m_app->Session().Resolve(l->data->workspace) +
                                                  "/" + l->data->dataset + ".dbf");
    DbfHandle t = device.empty() ? nullptr : DbfOpen(device.c_str(), 0);
    if (!t) return -1;
    const int index = DbfFindField(t, field.c_str());
    std::vector<int> records;
    if (index >= 0) {
        const int n = DbfGetRecordCount(t);
        for (int i = 0; i < n; ++i) {
            if (DbfReadRecord(t, i) != 1 || !DbfIsRecordActive(t)) continue;
            const uint8_t* row = DbfGetRecordBuffer(t);
            std::string v(reinterpret_cast<const char*>(row + DbfGetFieldOffset(t, index)),
                          static_cast<size_t>(DbfGetFieldLength(t, index)));
            if (Trim(v) == Trim(value)) records.push_back(i);
        }
    }
    DbfClose(t);
    if (index < 0) return -1;
    l->selection = records;
    m_app->Session().SetModified();
    UpdateTitle();
    return static_cast<int>(records.size());
}

void MainWindow::ShowSelectDialog() {
    auto l = SelectedLayer();
    if (!l || l->kind != host::DLayerKind::Feature) {
        m_ui.MessageBox("Select Records", "Select a feature layer first.",
                        host::PromptIcon::Information, host::PromptButtons::Ok);
        return;
    }
    QDialog d(this);
    d.setWindowTitle("Select Records");
    auto* form = new QFormLayout(&d);
    auto* field = new QComboBox;
    for (const auto& f : FieldsOf(m_app->Session(), *l)) field->addItem(QString::fromStdString(f));
    auto* value = new QLineEdit;
    form->addRow("Field", field);
    form->addRow("Value", value);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &d, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
    if (d.exec() != QDialog::Accepted) return;
    const int n =
        SelectByAttribute(l->name, field->currentText().toStdString(), value->text().toStdString());
    statusBar()->showMessage(n < 0 ? "The layer's table cannot be read"
                                   : QString("%1 records selected").arg(n));
}

void MainWindow::ShowLayerSettingsDialog() {
    auto l = SelectedLayer();
    if (!l || l->kind != host::DLayerKind::Feature) {
        m_ui.MessageBox("Layer Settings", "Select a feature layer first.",
                        host::PromptIcon::Information, host::PromptButtons::Ok);
        return;
    }
    QDialog d(this);
    d.setWindowTitle("Layer Settings");
    auto* form = new QFormLayout(&d);
    auto* link = new QComboBox;
    link->addItem("");
    for (const auto& f : FieldsOf(m_app->Session(), *l)) link->addItem(QString::fromStdString(f));
    link->setCurrentText(QString::fromStdString(l->hyperlinkField));
    auto* scale = new QCheckBox("Scale symbols with the reference scale");
    scale->setChecked(l->symbolsScale);
    form->addRow("Hyperlink field", link);
    form->addRow(scale);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &d, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
    if (d.exec() != QDialog::Accepted) return;
    l->hyperlinkField = link->currentText().toStdString();
    l->symbolsScale = scale->isChecked();
    m_app->Session().SetModified();
    UpdateTitle();
}

bool MainWindow::Save() {
    try {
        m_app->Session().Save();
    } catch (const host::HostError& e) {
        m_ui.MessageBox("Pellum", e.what(), host::PromptIcon::Stop, host::PromptButtons::Ok);
        return false;
    }
    UpdateTitle();
    return true;
}

bool MainWindow::SaveAs() {
    const std::string path =
        m_ui.FileDialog(true, "Save As", "Desktop maps|*.dmap", host::kFileOverwritePrompt, "dmap");
    if (path.empty()) return false;
    try {
        m_app->Session().Save(path);
    } catch (const host::HostError& e) {
        m_ui.MessageBox("Pellum", e.what(), host::PromptIcon::Stop, host::PromptButtons::Ok);
        return false;
    }
    UpdateTitle();
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_app->Session().Modified()) {
        switch (m_ui.MessageBox("Pellum", "Save the changes to the map?",
                                host::PromptIcon::Question, host::PromptButtons::YesNoCancel)) {
            case host::PromptAnswer::Yes:
                if (!Save()) {
                    event->ignore();
                    return;
                }
                break;
            case host::PromptAnswer::No:
                break;
            default:
                event->ignore();
                return;
        }
    }
    event->accept();
}

}  // namespace pellum

// pellum-standin's Qt window on the offscreen platform: the layer tree and
// the add-in's toolbar, unticking a layer, the Extent dialog, and the
// file-replace dialog's view. Screenshots are kept for a person to look at.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

#include "app/pellum-standin/host_ui_qt.h"
#include "app/pellum-standin/main_window.h"
#include "app/pellum-standin/preview.h"
#include "desktop/host/host_ui_scripted.h"
#include "desktop/tools/export_symbology_command.h"
#include "desktop/tools/file_replace.h"
#include "desktop/tools/pack_shapefile.h"
#include "platform/fs/fs.h"

namespace {

const std::string kSample = std::string(ZN_SOURCE_DIR) + "/data/desktop/sample.dmap";

// One application for the whole run, gone before the program's exit
// handlers run (Qt's own statics go there).
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        m_app = std::make_unique<QApplication>(m_argc, m_argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[16] = "pellum_qt_test";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_app;
};
const auto* const kQtEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// Runs `step` on the modal dialog once it is open.
void OnModal(std::function<void(QWidget*)> step) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, step] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            step(w);
        }
    });
    timer->start();
}

class PellumQt : public ::testing::Test {
protected:
    void SetUp() override {
        fs::SetDeviceRoot("/");
        fs::ClearMounts();
        host::DmapError e;
        m_app = host::OpenHostDocument(kSample, m_ui, &e);
        ASSERT_TRUE(m_app) << e.Text();
    }
    void TearDown() override { fs::ResetConfiguration(); }
    pellum::QtHostUi m_ui;
    std::shared_ptr<host::HostApplicationImpl> m_app;
};

TEST_F(PellumQt, TheWindowShowsTheLayersAndTheAddInsToolbar) {
    pellum::MainWindow w(m_app, m_ui);
    const auto notes = w.LoadAddIns({{ZN_TOOLS8_LIBRARY, {"ZarnipTools.ZarnipToolbar"}, {}}});
    EXPECT_TRUE(notes.empty());
    w.show();
    QApplication::processEvents();
    QTreeWidget* tree = w.Contents();
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* item = tree->topLevelItem(0);
    EXPECT_EQ(item->text(0).toStdString(), "Block groups");
    EXPECT_EQ(item->checkState(0), Qt::Checked);
    auto* bar = w.findChild<QToolBar*>("ZarnipToolBar");
    ASSERT_TRUE(bar);
    ASSERT_EQ(bar->actions().size(), 3);
    EXPECT_EQ(bar->actions()[2]->text().toStdString(), "Pack Shapefile");
    EXPECT_EQ(bar->actions()[1]->toolTip().toStdString(), "Export Shapefile Symbology");
    w.grab().save(ZN_ARTEFACT_DIR "/pellum_main_window.png");

    // Records by attribute and by a rectangle in the preview.
    EXPECT_EQ(w.SelectByAttribute("Block groups", "BKG_KEY", "060750179029"), 1);
    EXPECT_EQ(m_app->Session().FocusMap().layers[0]->selection, std::vector<int>{0});
    EXPECT_EQ(w.MapPreview()->SelectInRectangle("Block groups", {-200, -90, -199, -89}), 0);
    EXPECT_EQ(w.MapPreview()->SelectInRectangle("Block groups", {-180, -90, 180, 90}),
              663);  // every record, as ogrinfo counts them

    // Unticking a layer clears its visible flag.
    item->setCheckState(0, Qt::Unchecked);
    EXPECT_FALSE(m_app->Session().FocusMap().layers[0]->visible);
    EXPECT_TRUE(m_app->Session().Modified());

    // The Extent dialog sets the visible extent.
    OnModal([](QWidget* d) {
        const char* names[] = {"Left", "Bottom", "Right", "Top"};
        const char* values[] = {"-122.5", "37.7", "-122.4", "37.8"};
        for (int i = 0; i < 4; ++i) d->findChild<QLineEdit*>(names[i])->setText(values[i]);
        for (QPushButton* b : d->findChildren<QPushButton*>())
            if (b->text().contains("OK")) b->click();
    });
    w.ShowExtentDialog();
    const auto& view = m_app->Session().FocusMap().view;
    ASSERT_TRUE(view);
    EXPECT_EQ(view->xmin, -122.5);
    EXPECT_EQ(view->ymin, 37.7);
    EXPECT_EQ(view->xmax, -122.4);
    EXPECT_EQ(view->ymax, 37.8);
}

TEST_F(PellumQt, TheReplaceDialogsViewShowsItsLinesAndEscapeCancels) {
    host::ScriptedHostUi beeps({},
                               [](const std::string&) { throw std::runtime_error("prompted"); });
    zntools8::FileReplaceDialog d(beeps);
    d.SetFilename("roads");
    d.SetFileType("shapefile");
    std::string label1, label2;
    OnModal([&](QWidget* w) {
        label1 = w->findChild<QLabel*>("Label1")->text().toStdString();
        label2 = w->findChild<QLabel*>("Label2")->text().toStdString();
        w->grab().save(ZN_ARTEFACT_DIR "/pellum_file_replace.png");
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(w, &esc);
    });
    d.ShowQt();
    EXPECT_EQ(label1, "This folder already contains a shapefile named 'roads'");
    EXPECT_EQ(label2, "Do you wish to replace this file?");
    EXPECT_TRUE(d.Finished());
    EXPECT_EQ(d.GetValue(), 3);
}

TEST_F(PellumQt, TheSymbologyDialogsViewListsTheShapefileLayers) {
    auto map = m_app->Document()->FocusMap();
    zntools8::ExportSymbologyDialog d(m_ui);
    d.SetLayers(zntools8::CollectShapefileLayers(*map));
    d.SetMap(map);
    d.FormLoad();
    std::string title, label;
    bool bold = false, progressShown = true;
    QRect labelBox, list, ok;
    std::vector<std::pair<std::string, bool>> items;
    OnModal([&](QWidget* w) {
        title = w->windowTitle().toStdString();
        auto* l = w->findChild<QLabel*>("lblExport");
        label = l->text().toStdString();
        bold = l->font().bold();
        labelBox = l->geometry();
        EXPECT_GE(labelBox.height(), l->heightForWidth(labelBox.width()));  // nothing cut
        auto* lv = w->findChild<QListWidget*>("lvwLayers");
        list = lv->geometry();
        for (int i = 0; i < lv->count(); ++i)
            items.push_back({lv->item(i)->text().toStdString(),
                             lv->item(i)->checkState() == Qt::Checked});
        ok = w->findChild<QPushButton*>("cmdOk")->geometry();
        progressShown = w->findChild<QProgressBar*>("ProgressBar1")->isVisible();
        w->grab().save(ZN_ARTEFACT_DIR "/pellum_export_symbology.png");
        w->findChild<QPushButton*>("cmdCancel")->click();
    });
    d.ShowQt();
    EXPECT_EQ(title, "Zarnip Export Symbology");
    EXPECT_EQ(label, zntools8::ExportSymbologyDialog::kLabel);
    EXPECT_TRUE(bold);
    // 120, 1080, 3840, 2475 twips, below a label that may need more room.
    const int extra = labelBox.height() - 57;
    EXPECT_GE(extra, 0);
    EXPECT_EQ(labelBox.topLeft(), QPoint(8, 8));
    EXPECT_EQ(list, QRect(8, 72 + extra, 256, 165));
    EXPECT_EQ(ok, QRect(112, 248 + extra, 73, 23));
    EXPECT_FALSE(progressShown);
    EXPECT_EQ(items, (std::vector<std::pair<std::string, bool>>{{"Block groups", true}}));
    EXPECT_TRUE(d.Finished());
}

TEST_F(PellumQt, ThePackDialogsViewShowsItsBoxesAndState) {
    zntools8::PackShapefileDialog d;
    d.Initialize(*m_app);
    d.Edit(zntools8::PackShapefileDialog::kSource, "/data/parcels");
    d.Edit(zntools8::PackShapefileDialog::kDestination, "   ");
    bool okEnabled = true;
    std::string source, label3, done;
    OnModal([&](QWidget* w) {
        source = w->findChild<QLineEdit*>("txtFilePath0")->text().toStdString();
        label3 = w->findChild<QLabel*>("Label3")->text().toStdString();
        okEnabled = w->findChild<QPushButton*>("cmdRepair")->isEnabled();
        EXPECT_TRUE(w->findChild<QProgressBar*>("ProgressBar1")->isVisible());
        EXPECT_TRUE(w->findChild<QLabel*>("lblDone")->font().bold());
        w->grab().save(ZN_ARTEFACT_DIR "/pellum_pack_shapefile.png");
        w->findChild<QPushButton*>("cmdExit")->click();
    });
    d.ShowQt();
    EXPECT_EQ(source, "/data/parcels");
    EXPECT_EQ(label3, d.Label3());
    EXPECT_FALSE(okEnabled);  // the destination holds only blanks
    EXPECT_TRUE(d.Finished());
}

}  // namespace

// The Qt view of the map export wizard: a stack of the four panes over the
// navigation buttons. It binds to the model and holds no state of its own.
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "desktop/tools/bitmaps.h"
#include "desktop/tools/wizard_model.h"

namespace zntools8 {
namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

class WizardView : public QDialog {
public:
    explicit WizardView(WizardModel& model) : m_model(model) {
        setWindowTitle(Q(model.Caption()));
        setObjectName("frmWizard");
        auto* outer = new QVBoxLayout(this);
        m_stack = new QStackedWidget;
        outer->addWidget(m_stack);

        auto* intro = new QWidget;
        auto* introLayout = new QHBoxLayout(intro);
        auto* picture = new QLabel;
        picture->setObjectName("Picture1");
        const host::HostImage img = LoadBitmapImage(kBitmapMapWizard);
        if (img.width > 0) {
            QImage q(reinterpret_cast<const uchar*>(img.pixels.data()), img.width, img.height,
                     img.width * 4, QImage::Format_ARGB32);
            picture->setPixmap(QPixmap::fromImage(q.copy()));
        }
        introLayout->addWidget(picture);
        auto* introTexts = new QVBoxLayout;
        auto* warning = new QLabel(WizardModel::kIntroduction);
        warning->setWordWrap(true);
        auto* note = new QLabel(WizardModel::kProjectionNote);
        note->setWordWrap(true);
        introTexts->addWidget(warning);
        introTexts->addWidget(note);
        introLayout->addLayout(introTexts);
        m_stack->addWidget(intro);

        auto* layers = new QWidget;
        auto* layersLayout = new QVBoxLayout(layers);
        layersLayout->addWidget(new QLabel("Select the layers to export:"));
        m_list = new QListWidget;
        m_list->setObjectName("lvwLayers");
        layersLayout->addWidget(m_list);
        auto* extent = new QButtonGroup(layers);
        for (int i = 0; i < 3; ++i) {
            auto* option = new QRadioButton(WizardModel::kExtentOptions[i]);
            option->setChecked(i == model.ExtentType());
            extent->addButton(option, i);
            layersLayout->addWidget(option);
        }
        layersLayout->addWidget(new QLabel("(All rasters will be exported at the full layer extent)"));
        connect(extent, &QButtonGroup::idClicked, this, [this](int id) { m_model.SetExtentType(id); });
        connect(m_list, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
            m_model.SetChecked(static_cast<size_t>(m_list->row(item)),
                               item->checkState() == Qt::Checked);
        });
        m_stack->addWidget(layers);

        auto* output = new QWidget;
        auto* outputLayout = new QVBoxLayout(output);
        auto* exportMap = new QCheckBox("Export map file");
        exportMap->setChecked(model.ExportMap());
        outputLayout->addWidget(exportMap);
        auto* nameRow = new QHBoxLayout;
        nameRow->addWidget(new QLabel("Name of map file:"));
        m_mapName = new QLineEdit(Q(model.MapNameText()));
        m_mapName->setObjectName("txtMapName");
        nameRow->addWidget(m_mapName);
        nameRow->addWidget(new QLabel(".znm"));
        outputLayout->addLayout(nameRow);
        outputLayout->addWidget(new QLabel("Specify Output Folder:"));
        auto* folderRow = new QHBoxLayout;
        m_folder = new QLineEdit;
        m_folder->setObjectName("txtFolderName");
        folderRow->addWidget(m_folder);
        auto* browse = new QPushButton("...");
        browse->setObjectName("cmdFolder");
        folderRow->addWidget(browse);
        outputLayout->addLayout(folderRow);
        m_progress = new QProgressBar;
        m_progressLabel = new QLabel;
        outputLayout->addWidget(m_progress);
        outputLayout->addWidget(m_progressLabel);
        connect(exportMap, &QCheckBox::toggled, this, [this](bool on) {
            m_model.SetExportMap(on);
            m_mapName->setEnabled(on);
        });
        connect(m_mapName, &QLineEdit::textEdited, this,
                [this](const QString& t) { m_model.SetMapNameText(t.toStdString()); });
        connect(m_folder, &QLineEdit::textEdited, this,
                [this](const QString& t) { m_model.SetFolderText(t.toStdString()); });
        connect(browse, &QPushButton::clicked, this, [this] { m_model.BrowseFolder(); });
        m_stack->addWidget(output);

        m_summary = new QPlainTextEdit;
        m_summary->setObjectName("lblSummary");
        m_summary->setReadOnly(true);
        m_summary->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        m_stack->addWidget(m_summary);

        auto* nav = new QHBoxLayout;
        nav->addStretch();
        for (int b = 0; b < 4; ++b) {
            m_buttons[b] = new QPushButton;
            nav->addWidget(m_buttons[b]);
            connect(m_buttons[b], &QPushButton::clicked, this, [this, b] {
                m_model.Navigate(b);
                Bind();
            });
        }
        outer->addLayout(nav);
        model.SetChanged([this] { Bind(); });
        Bind();
    }
    ~WizardView() override { m_model.SetChanged(nullptr); }

private:
    void Bind() {
        if (m_model.Finished()) {
            accept();
            return;
        }
        m_stack->setCurrentIndex(m_model.Pane());
        for (int b = 0; b < 4; ++b) {
            m_buttons[b]->setText(Q(m_model.ButtonText(b)));
            m_buttons[b]->setEnabled(m_model.Enabled(b));
        }
        if (m_list->count() != static_cast<int>(m_model.Entries().size())) {
            QSignalBlocker block(m_list);
            m_list->clear();
            for (const auto& e : m_model.Entries()) {
                auto* item = new QListWidgetItem(Q(e.name), m_list);
                item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                item->setCheckState(e.checked ? Qt::Checked : Qt::Unchecked);
            }
        }
        if (m_folder->text() != Q(m_model.FolderText())) m_folder->setText(Q(m_model.FolderText()));
        m_progress->setVisible(m_model.ProgressVisible());
        m_progressLabel->setVisible(m_model.ProgressVisible());
        m_progress->setMaximum(m_model.ProgressMaximum());
        m_progress->setValue(m_model.ProgressValue());
        m_progressLabel->setText(Q(m_model.ProgressCaption()));
        m_summary->setPlainText(Q(m_model.Summary()));
    }

    WizardModel& m_model;
    QStackedWidget* m_stack = nullptr;
    QListWidget* m_list = nullptr;
    QLineEdit* m_mapName = nullptr;
    QLineEdit* m_folder = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_progressLabel = nullptr;
    QPlainTextEdit* m_summary = nullptr;
    QPushButton* m_buttons[4] = {};
};

}  // namespace

void WizardModel::ShowQt() {
    WizardView view(*this);
    view.exec();
    if (!m_finished) Navigate(kCancel);
}

}  // namespace zntools8

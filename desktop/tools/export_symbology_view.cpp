// The Qt view of "Zarnip Export Symbology": the designed twips layout at 15
// twips to the pixel on a 271 x 291 client area, the label in the
// application's default face at 8.25 points, bold.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>

#include "desktop/tools/export_symbology_command.h"

namespace zntools8 {
namespace {

constexpr int Px(int twips) {
    return twips / 15;
}

class ExportSymbologyView : public QDialog {
public:
    explicit ExportSymbologyView(ExportSymbologyDialog& model) : m_model(model) {
        setWindowTitle(QString::fromStdString(model.Caption()));
        setObjectName("frmExportSymbology");
        setFixedSize(Px(4065), Px(4365));
        auto* label = new QLabel(QString::fromUtf8(ExportSymbologyDialog::kLabel), this);
        label->setObjectName("lblExport");
        QFont bold = QApplication::font();
        bold.setPointSizeF(8.25);
        bold.setBold(true);
        label->setFont(bold);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        // The designed box holds the text in the handheld's font; a wider
        // face here takes more lines, and everything below moves down
        // rather than the text being cut.
        const int needed = label->heightForWidth(Px(3885));
        const int extra = needed > Px(855) ? needed - Px(855) : 0;
        label->setGeometry(Px(120), Px(120), Px(3885), Px(855) + extra);
        setFixedSize(Px(4065), Px(4365) + extra);
        m_list = new QListWidget(this);
        m_list->setObjectName("lvwLayers");
        m_list->setGeometry(Px(120), Px(1080) + extra, Px(3840), Px(2475));
        const auto& entries = model.Entries();
        for (size_t i = 0; i < entries.size(); ++i) {
            auto* item = new QListWidgetItem(QString::fromStdString(entries[i].name), m_list);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
            item->setCheckState(entries[i].checked ? Qt::Checked : Qt::Unchecked);
            item->setData(Qt::UserRole, static_cast<int>(i));
        }
        connect(m_list, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
            m_model.SetChecked(static_cast<size_t>(item->data(Qt::UserRole).toInt()),
                               item->checkState() == Qt::Checked);
        });
        auto* ok = new QPushButton("&OK", this);
        ok->setObjectName("cmdOk");
        ok->setGeometry(Px(1680), Px(3720) + extra, Px(1100), Px(345));
        ok->setDefault(true);
        auto* cancel = new QPushButton("&Cancel", this);
        cancel->setObjectName("cmdCancel");
        cancel->setGeometry(Px(2880), Px(3720) + extra, Px(1100), Px(345));
        m_progress = new QProgressBar(this);
        m_progress->setObjectName("ProgressBar1");
        m_progress->setGeometry(0, Px(4140) + extra, Px(4065), Px(225));
        m_progress->setTextVisible(false);
        m_progress->hide();
        model.OnProgress([this] {
            m_progress->setRange(0, m_model.ProgressMaximum());
            m_progress->setValue(m_model.ProgressValue());
            m_progress->setVisible(m_model.ProgressVisible());
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        });
        connect(ok, &QPushButton::clicked, this, [this] {
            m_model.PressOk();
            accept();
        });
        connect(cancel, &QPushButton::clicked, this, [this] {
            m_model.PressCancel();
            reject();
        });
        setWindowModality(Qt::ApplicationModal);
    }
    ~ExportSymbologyView() override { m_model.OnProgress(nullptr); }

protected:
    void reject() override {
        if (!m_model.Finished()) m_model.PressCancel();
        QDialog::reject();
    }

private:
    ExportSymbologyDialog& m_model;
    QListWidget* m_list = nullptr;
    QProgressBar* m_progress = nullptr;
};

}  // namespace

void ExportSymbologyDialog::ShowQt() {
    // Modal without an owner window, as designed.
    ExportSymbologyView view(*this);
    view.exec();
    if (!m_finished) PressCancel();
}

}  // namespace zntools8

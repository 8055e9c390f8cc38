// The Qt view of "Zarnip Pack Shapefile Tool": the explanation, the source
// and destination boxes each with a folder button, OK and Cancel, the
// progress bar and the bold "Done!" label, top to bottom.
#include <QApplication>
#include <QDialog>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "desktop/tools/pack_shapefile.h"

namespace zntools8 {
namespace {

class PackShapefileView : public QDialog {
public:
    explicit PackShapefileView(PackShapefileDialog& model) : m_model(model) {
        setWindowTitle(QString::fromStdString(model.Caption()));
        setObjectName("frmPackShapefile");
        auto* all = new QVBoxLayout(this);
        auto* label3 = new QLabel(QString::fromStdString(model.Label3()));
        label3->setObjectName("Label3");
        label3->setWordWrap(true);
        all->addWidget(label3);
        const char* captions[2] = {"Source Shapefile:", "Destination Shapefile:"};
        for (int i = 0; i < 2; ++i) {
            auto* label = new QLabel(captions[i]);
            label->setObjectName(i == 0 ? "Label1" : "Label2");
            all->addWidget(label);
            auto* row = new QHBoxLayout;
            m_box[i] = new QLineEdit(QString::fromStdString(model.Path(i)));
            m_box[i]->setObjectName(QString("txtFilePath%1").arg(i));
            m_box[i]->setMinimumWidth(320);
            connect(m_box[i], &QLineEdit::editingFinished, this, [this, i] {
                if (m_box[i]->text().toStdString() != m_model.Path(i))
                    m_model.Edit(i, m_box[i]->text().toStdString());
                Sync();
            });
            auto* browse = new QToolButton;
            browse->setObjectName(QString("cmdFile%1").arg(i));
            browse->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
            connect(browse, &QToolButton::clicked, this, [this, i] {
                m_model.Browse(i);
                Sync();
            });
            row->addWidget(m_box[i], 1);
            row->addWidget(browse);
            all->addLayout(row);
        }
        auto* buttons = new QHBoxLayout;
        m_ok = new QPushButton("&OK");
        m_ok->setObjectName("cmdRepair");
        auto* cancel = new QPushButton("&Cancel");
        cancel->setObjectName("cmdExit");
        connect(m_ok, &QPushButton::clicked, this, [this] {
            m_model.Ok();
            Sync();
            accept();
        });
        connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
        buttons->addStretch(1);
        buttons->addWidget(m_ok);
        buttons->addWidget(cancel);
        all->addLayout(buttons);
        m_progress = new QProgressBar;
        m_progress->setObjectName("ProgressBar1");
        m_progress->setTextVisible(false);
        all->addWidget(m_progress);
        m_done = new QLabel;
        m_done->setObjectName("lblDone");
        QFont bold = m_done->font();
        bold.setBold(true);
        m_done->setFont(bold);
        all->addWidget(m_done);
        model.OnChange([this] { Sync(); });
        setWindowModality(Qt::ApplicationModal);
        Sync();
    }
    ~PackShapefileView() override { m_model.OnChange(nullptr); }

protected:
    void reject() override {
        if (!m_model.Finished()) m_model.Cancel();
        QDialog::reject();
    }

private:
    void Sync() {
        for (int i = 0; i < 2; ++i)
            if (!m_box[i]->hasFocus()) m_box[i]->setText(QString::fromStdString(m_model.Path(i)));
        m_ok->setEnabled(m_model.OkEnabled());
        m_progress->setVisible(m_model.ProgressVisible());
        m_progress->setMaximum(std::max(m_model.ProgressMaximum(), 1));
        m_progress->setValue(m_model.ProgressValue());
        m_done->setText(QString::fromStdString(m_model.DoneText()));
    }

    PackShapefileDialog& m_model;
    QLineEdit* m_box[2] = {};
    QPushButton* m_ok = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_done = nullptr;
};

}  // namespace

void PackShapefileDialog::ShowQt() {
    PackShapefileView view(*this);
    view.exec();
    if (!m_finished) m_finished = true;
}

}  // namespace zntools8

// The Qt view of "Confirm File Replace": the picture at the left, the two
// lines beside it, the four buttons in one row beneath, equally sized.
#include <QDialog>
#include <QEvent>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "desktop/tools/bitmaps.h"
#include "desktop/tools/file_replace.h"

namespace zntools8 {
namespace {

class FileReplaceView : public QDialog {
public:
    explicit FileReplaceView(FileReplaceDialog& model) : m_model(model) {
        setWindowTitle(QString::fromStdString(model.Caption()));
        setObjectName("frmFileReplace");
        auto* top = new QHBoxLayout;
        auto* picture = new QLabel;
        picture->setObjectName("Picture1");
        const host::HostImage img = LoadBitmapImage(kBitmapFileReplace);
        if (img.width > 0) {
            QImage q(reinterpret_cast<const uchar*>(img.pixels.data()), img.width, img.height,
                     img.width * 4, QImage::Format_ARGB32);
            picture->setPixmap(QPixmap::fromImage(q.copy()));
        }
        picture->setFixedSize(42, 44);
        top->addWidget(picture, 0, Qt::AlignTop);
        auto* texts = new QVBoxLayout;
        auto* label1 = new QLabel(QString::fromStdString(model.Label1()));
        label1->setObjectName("Label1");
        auto* label2 = new QLabel(QString::fromStdString(model.Label2()));
        label2->setObjectName("Label2");
        texts->addWidget(label1);
        texts->addWidget(label2);
        top->addLayout(texts, 1);
        auto* buttons = new QHBoxLayout;
        for (int i = 0; i < 4; ++i) {
            auto* b = new QPushButton(QString::fromUtf8(FileReplaceDialog::kButtons[i]));
            b->setObjectName(QString("cmdOption%1").arg(i));
            b->setAutoDefault(false);
            b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
            connect(b, &QPushButton::clicked, this, [this, i] {
                m_model.Press(i);
                hide();
                done(i);
            });
            buttons->addWidget(b, 1);
        }
        auto* all = new QVBoxLayout(this);
        all->addLayout(top);
        all->addLayout(buttons);
        setWindowModality(Qt::ApplicationModal);
    }

protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::WindowActivate) m_model.Activate();
        return QDialog::event(e);
    }
    // Escape, the close button and Alt+F4 end here: Cancel.
    void reject() override {
        if (!m_model.Finished()) m_model.Act("close", "");
        QDialog::reject();
    }

private:
    FileReplaceDialog& m_model;
};

}  // namespace

void FileReplaceDialog::ShowQt() {
    FileReplaceView view(*this);
    view.exec();
    if (!m_finished) Press(kCancel);
}

}  // namespace zntools8

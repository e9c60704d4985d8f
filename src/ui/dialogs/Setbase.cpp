#include "Setbase.h"

#include "Prompts.h"
#include "ui_Setbase.h"

#include <QGuiApplication>
#include <QListWidget>
#include <QStyle>

#include <vector>

namespace altrix {

namespace {

// The tab names of the groups 1 to 5, in the order the move commands compare them.
constexpr std::array<const char*, kBaseGroupCount> kGroupTabNames = {"m_IBase", "m_VBase", "d_pole",
                                                                     "d_ten", "d_hundred"};

// The dialog's frame, title bar and borders included.
constexpr QSize kOuterSize(672, 560);

}  // namespace

TForm3* TForm3::Open(QWidget* owner, Prompts& prompts, const std::string& settingsIniPath) {
    auto* form = new TForm3(owner, prompts, settingsIniPath);
    if (form->listFileMissing_) return nullptr;  // already closed, destroyed later
    form->ShowOverOwner(kOuterSize);
    return form;
}

TForm3::TForm3(QWidget* owner, Prompts& prompts, const std::string& settingsIniPath)
    : OwnedDialog(owner, Qt::Window), prompts_(prompts), ui_(std::make_unique<Ui::TForm3>()) {
    ui_->setupUi(this);
    groupLists_ = {ui_->ListBox2, ui_->ListBox3, ui_->ListBox4, ui_->ListBox5, ui_->ListBox6};
    ui_->SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
    ui_->SpeedButton2->setIcon(style()->standardIcon(QStyle::SP_ArrowLeft));
    connect(ui_->SpeedButton1, &QToolButton::clicked, this, &TForm3::SpeedButton1Click);
    connect(ui_->SpeedButton2, &QToolButton::clicked, this, &TForm3::SpeedButton2Click);
    connect(ui_->Button1, &QPushButton::clicked, this, &TForm3::Button1Click);
    connect(ui_->Button2, &QPushButton::clicked, this, &TForm3::Button2Click);

    // The base-group file lies beside the list file that the dialog shows.
    const std::string listFilePath = ReadListFilePath(settingsIniPath, kDefaultListFilePath);
    baseGroupPath_ = BaseGroupPath(listFilePath);
    const auto names = ReadParameterNames(listFilePath);
    if (!names) {
        prompts_.showMessage(QStringLiteral("Parameter list file is missed"),
                             QStringLiteral("Please click the <Load parameter list> button to "
                                            "set the file path"),
                             MessageIcon::None, MessageButtons::Ok);
        listFileMissing_ = true;
        close();
        return;
    }
    for (const std::string& name : *names) {
        ui_->ListBox1->addItem(QString::fromLocal8Bit(name));
    }
}

TForm3::~TForm3() = default;

void TForm3::SpeedButton1Click() {
    if (QListWidget* group = ActiveGroupList()) MoveSelectedItems(*ui_->ListBox1, *group);
}

void TForm3::SpeedButton2Click() {
    if (QListWidget* group = ActiveGroupList()) MoveSelectedItems(*group, *ui_->ListBox1);
}

void TForm3::MoveSelectedItems(QListWidget& source, QListWidget& target) {
    const qsizetype selected = source.selectedItems().size();
    const int count = source.count();
    int i = 0;
    qsizetype moved = 0;
    for (int step = 0; step < count && moved < selected; ++step) {
        if (source.item(i)->isSelected()) {
            target.addItem(source.item(i)->text());
            delete source.takeItem(i);
            ++moved;
        } else {
            ++i;
        }
    }
}

void TForm3::Button1Click() {
    std::array<std::vector<std::string>, kBaseGroupCount> groups;
    for (int g = 0; g < kBaseGroupCount; ++g) {
        const QListWidget& list = *groupLists_[g];
        for (int i = 0; i < list.count(); ++i) {
            groups[g].push_back(list.item(i)->text().toLocal8Bit().toStdString());
        }
    }
    const WriteResult written = WriteBaseGroups(baseGroupPath_, groups);
    if (!written.Ok) {
        prompts_.showMessage(QGuiApplication::applicationDisplayName(),
                             QString::fromLocal8Bit(written.Error), MessageIcon::Error,
                             MessageButtons::Ok);
        return;
    }
    close();
}

void TForm3::Button2Click() { close(); }

QListWidget* TForm3::ActiveGroupList() const {
    const QString tabName = ui_->PageControl1->currentWidget()->objectName();
    for (int g = 0; g < kBaseGroupCount; ++g) {
        if (tabName == QLatin1String(kGroupTabNames[g])) return groupLists_[g];
    }
    return nullptr;
}

}  // namespace altrix

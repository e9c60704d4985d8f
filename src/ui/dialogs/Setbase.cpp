#include "Setbase.h"

#include "Prompts.h"
#include "ui_Setbase.h"

#include <QGuiApplication>
#include <QItemSelection>
#include <QListWidget>
#include <QStyle>

#include <algorithm>
#include <iterator>
#include <vector>

namespace altrix {

namespace {

// The tab names of the groups 1 to 5, in the order the move commands compare them.
constexpr std::array<const char*, kBaseGroupCount> kGroupTabNames = {"m_IBase", "m_VBase", "d_pole",
                                                                     "d_ten", "d_hundred"};

// The dialog's frame, title bar and borders included.
constexpr QSize kOuterSize(672, 560);

// Each item keeps the bytes of its name as the list file holds them; its text only shows them.
constexpr int kNameBytesRole = Qt::UserRole;

// An item of a list while the list is rebuilt. Lists order their items by text, as
// QListWidgetItem::operator< does.
struct Entry {
    QListWidgetItem* item;
    QString text;
    bool selected;
    bool operator<(const Entry& other) const { return text < other.text; }
};

// Every item of `list`, in order, with its selection; the list is left empty.
std::vector<Entry> TakeAll(QListWidget& list) {
    std::vector<bool> selected(static_cast<std::size_t>(list.count()));
    for (const QModelIndex& index : list.selectionModel()->selectedIndexes())
        selected[static_cast<std::size_t>(index.row())] = true;
    std::vector<Entry> entries;
    entries.reserve(selected.size());
    for (int row = 0; row < list.count(); ++row) {
        QListWidgetItem* copy = list.item(row)->clone();
        entries.push_back({copy, copy->text(), selected[static_cast<std::size_t>(row)]});
    }
    // One reset: taking items one at a time costs a pass over the list's indexes each.
    list.clear();
    return entries;
}

// Fills the empty `list` with `entries`, already in sorted order, and selects those marked so.
void Refill(QListWidget& list, const std::vector<Entry>& entries) {
    // Appended without a search for each item's place; sorting stays on for later insertions.
    list.setSortingEnabled(false);
    for (const Entry& entry : entries) list.addItem(entry.item);
    list.setSortingEnabled(true);
    QItemSelection selection;
    for (std::size_t first = 0; first < entries.size(); ++first) {
        if (!entries[first].selected) continue;
        std::size_t last = first;
        while (last + 1 < entries.size() && entries[last + 1].selected) ++last;
        selection.select(list.model()->index(static_cast<int>(first), 0),
                         list.model()->index(static_cast<int>(last), 0));
        first = last;
    }
    if (!selection.isEmpty()) list.selectionModel()->select(selection, QItemSelectionModel::Select);
}

}  // namespace

TForm3* TForm3::Open(QWidget* owner, Prompts& prompts, const std::string& settingsIniPath) {
    auto* form = new TForm3(owner, prompts, settingsIniPath);
    if (form->listFileUnread_) return nullptr;  // already closed, destroyed later
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
    const ParameterList list = ReadParameterNames(listFilePath);
    if (list.Missing || !list.Refused.empty()) {
        if (list.Missing)
            prompts_.showMessage(QStringLiteral("Parameter list file is missed"),
                                 QStringLiteral("Please click the <Load parameter list> button to "
                                                "set the file path"),
                                 MessageIcon::None, MessageButtons::Ok);
        else
            prompts_.showMessage(QStringLiteral("Load Error"),
                                 QStringLiteral("Unable to read %1: %2")
                                     .arg(QString::fromLocal8Bit(listFilePath), QString::fromLocal8Bit(list.Refused)),
                                 MessageIcon::Error, MessageButtons::Ok);
        listFileUnread_ = true;
        close();
        return;
    }
    std::vector<Entry> entries;
    entries.reserve(list.Names.size());
    for (const std::string& name : list.Names) {
        auto* item = new QListWidgetItem(QString::fromLocal8Bit(name));
        item->setData(kNameBytesRole, QByteArray::fromStdString(name));
        entries.push_back({item, item->text(), false});
    }
    std::stable_sort(entries.begin(), entries.end());
    Refill(*ui_->ListBox1, entries);
}

TForm3::~TForm3() = default;

void TForm3::SpeedButton1Click() {
    if (QListWidget* group = ActiveGroupList()) MoveSelectedItems(*ui_->ListBox1, *group);
}

void TForm3::SpeedButton2Click() {
    if (QListWidget* group = ActiveGroupList()) MoveSelectedItems(*group, *ui_->ListBox1);
}

void TForm3::MoveSelectedItems(QListWidget& source, QListWidget& target) {
    if (source.selectionModel()->selectedIndexes().isEmpty()) return;
    // Both lists are rebuilt in one pass each, merging the moved items into the target's:
    // taking items out of the middle of a list, or inserting them at their sorted places one
    // by one, would shift the items after them at each step.
    std::vector<Entry> kept;
    std::vector<Entry> moved;
    for (const Entry& entry : TakeAll(source)) (entry.selected ? moved : kept).push_back(entry);
    // They arrive unselected; the target's own items keep their selection.
    for (Entry& entry : moved) entry.selected = false;
    const std::vector<Entry> present = TakeAll(target);
    std::vector<Entry> merged;
    merged.reserve(present.size() + moved.size());
    std::merge(present.begin(), present.end(), moved.begin(), moved.end(), std::back_inserter(merged));
    Refill(source, kept);
    Refill(target, merged);
}

void TForm3::Button1Click() {
    std::array<std::vector<std::string>, kBaseGroupCount> groups;
    for (int g = 0; g < kBaseGroupCount; ++g) {
        const QListWidget& list = *groupLists_[g];
        for (int i = 0; i < list.count(); ++i) {
            groups[g].push_back(list.item(i)->data(kNameBytesRole).toByteArray().toStdString());
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

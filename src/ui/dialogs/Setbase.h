#pragma once
// The base value setting dialog: sorts the parameters of the parameter list file into five
// base-value groups and, on OK, records the assignment in section "usebase" of the base-group
// file beside the list file. Each opening starts from the list file again, every parameter
// unassigned.

#include "OwnedDialog.h"
#include "ParameterFiles.h"

#include <array>
#include <memory>
#include <string>

class QListWidget;

namespace Ui {
class TForm3;
}

namespace altrix {

class Prompts;

class TForm3 final : public OwnedDialog {
    Q_OBJECT
public:
    // Creates the dialog from the parameter list file that the settings file names (default
    // "Parameter list.plf"; a relative path is taken from the current directory) and shows it
    // centred over `owner`. The dialog destroys itself when closed and enables `owner` again,
    // so the owner disables itself before calling this. When the list file is missing, the
    // dialog reports it through `prompts`, closes at once and nullptr is returned. `prompts`
    // must stay valid while the dialog is open. A list file that is refused (not a regular
    // file, too large) is reported the same way.
    static TForm3* Open(QWidget* owner, Prompts& prompts, const std::string& settingsIniPath);
    ~TForm3() override;

    // Moves the selected parameters into the active group, and back.
    void SpeedButton1Click();
    void SpeedButton2Click();
    // Moves the selected items of `source` to `target`, where they arrive unselected at their
    // sorted places. Nothing is copied or lost; equal texts stay separate items. Takes time
    // linear in the items of both lists.
    static void MoveSelectedItems(QListWidget& source, QListWidget& target);
    // OK: writes the groups to the base-group file, each name as the bytes the list file gave
    // it, and closes; on a write failure or a name the file cannot hold, reports it and stays
    // open with the lists as they are.
    void Button1Click();
    // "Cencel": closes without writing.
    void Button2Click();

private:
    TForm3(QWidget* owner, Prompts& prompts, const std::string& settingsIniPath);

    // The list box of the active tab's group, found by the tab's name; nullptr for none.
    QListWidget* ActiveGroupList() const;

    Prompts& prompts_;
    std::unique_ptr<Ui::TForm3> ui_;
    // ListBox2 .. ListBox6: the groups 1 to 5.
    std::array<QListWidget*, kBaseGroupCount> groupLists_{};
    std::string baseGroupPath_;
    bool listFileUnread_ = false;  // missing or refused: the dialog closed at once
};

}  // namespace altrix

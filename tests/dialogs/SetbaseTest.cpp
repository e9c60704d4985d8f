#include "Setbase.h"

#include "DialogTestSupport.h"
#include "Watchdog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <array>
#include <memory>

#include <sys/stat.h>

namespace altrix {
namespace {

using testing::FakePrompts;
using testing::Named;
using testing::OwnerWindow;
using testing::ProcessDeferredDeletes;

// Ten names, not in sorted order.
const QStringList kNames = {"KP_ASR", "V_RATED", "ACC_T1", "POLES",  "F_MAX",
                            "DEC_T1", "I_RATED", "CARRIER", "KI_ASR", "F_BASE"};

QStringList Sorted(QStringList names) {
    names.sort();
    return names;
}

QStringList Items(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
    return texts;
}

// The non-empty lines of a text file.
QStringList Lines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QRegularExpression("\r?\n"));
    lines.removeAll(QString());
    return lines;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

// A parameter list file: 40-character lines (name, free text to column 36, a 4-character
// field), CR LF line ends.
void WriteListFile(const QString& path, const QStringList& names) {
    QByteArray bytes;
    for (const QString& name : names) {
        bytes += (name + " parameter").leftJustified(36, ' ', true).toLatin1() + "0001\r\n";
    }
    WriteFile(path, bytes);
}

class BaseValueDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        QDir::setCurrent(dir_.path());
    }
    void TearDown() override {
        delete dialog_;
        QDir::setCurrent(previousDir_);
    }

    QString PathOf(const QString& name) const { return dir_.filePath(name); }
    void WriteSettings(const QString& listFilePath) {
        WriteFile(settings_, "[Parameter]\r\nListFilePath=" + listFilePath.toUtf8() + "\r\n");
    }

    void Open() {
        owner_->setEnabled(false);
        dialog_ = TForm3::Open(owner_.get(), prompts_, settings_.toStdString());
    }
    QListWidget* List(int number) const {
        return Named<QListWidget>(dialog_, QStringLiteral("ListBox%1").arg(number));
    }
    std::array<QStringList, 6> AllLists() const {
        std::array<QStringList, 6> lists;
        for (int n = 1; n <= 6; ++n) lists[n - 1] = Items(List(n));
        return lists;
    }

    void Click(const char* button) {
        QTest::mouseClick(Named<QAbstractButton>(dialog_, button), Qt::LeftButton);
        ProcessDeferredDeletes();
    }
    void ChooseTab(const char* name) {
        auto* pages = Named<QTabWidget>(dialog_, "PageControl1");
        const int index = pages->indexOf(Named<QWidget>(pages, name));
        QTest::mouseClick(pages->tabBar(), Qt::LeftButton, {}, pages->tabBar()->tabRect(index).center());
        ASSERT_EQ(pages->currentIndex(), index) << name;
    }
    // Ctrl+click on the first unselected item of each text.
    void Select(QListWidget* list, const QStringList& texts) {
        for (const QString& text : texts) {
            const auto found = list->findItems(text, Qt::MatchExactly);
            const auto item = std::find_if(found.begin(), found.end(),
                                           [](const QListWidgetItem* i) { return !i->isSelected(); });
            ASSERT_NE(item, found.end()) << text.toStdString();
            list->scrollToItem(*item);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                              list->visualItemRect(*item).center());
        }
    }
    void Assign(const QStringList& texts, const char* tab) {
        ChooseTab(tab);
        Select(List(1), texts);
        Click("SpeedButton1");
    }

    QTemporaryDir dir_;
    const QString previousDir_ = QDir::currentPath();
    const QString settings_ = dir_.filePath("altrix-scope.INI");
    std::unique_ptr<OwnerWindow> owner_ = std::make_unique<OwnerWindow>();
    FakePrompts prompts_;
    QPointer<TForm3> dialog_;
};

// A list file "Parameter list.plf" in the current folder, named by the settings.
class DefaultListTest : public BaseValueDialogTest {
protected:
    void SetUp() override {
        BaseValueDialogTest::SetUp();
        WriteSettings("Parameter list.plf");
        WriteListFile(PathOf("Parameter list.plf"), kNames);
    }
    const QString baseGroupFile_ = PathOf("Parameter list.ini");
};

TEST_F(DefaultListTest, OpensWithEveryNameUnassignedAndTheThirdTabInFront) {
    Open();
    ASSERT_FALSE(dialog_.isNull());
    EXPECT_TRUE(dialog_->isVisible());
    EXPECT_EQ(dialog_->windowTitle(), "Base value setting");
    EXPECT_EQ(dialog_->frameGeometry().size(), QSize(672, 560));
    EXPECT_EQ(dialog_->frameGeometry().center(), owner_->frameGeometry().center());
    EXPECT_FALSE(owner_->isEnabled());
    EXPECT_TRUE(prompts_.asked.empty());

    EXPECT_EQ(Items(List(1)), Sorted(kNames));
    for (int n = 2; n <= 6; ++n) EXPECT_TRUE(Items(List(n)).isEmpty()) << n;
    EXPECT_EQ(Named<QTabWidget>(dialog_, "PageControl1")->currentWidget()->objectName(), "d_pole");
}

TEST_F(DefaultListTest, EachTabHoldsItsGroup) {
    struct Tab {
        const char* name;
        QString caption;
        int listBox;
        QString parameter;
    };
    const Tab tabs[] = {{"m_IBase", "╳ Ibase", 2, "V_RATED"},
                        {"m_VBase", "╳ VBase", 3, "I_RATED"},
                        {"d_pole", "╳ (120/pole)/100", 4, "ACC_T1"},
                        {"d_ten", "/ 10", 5, "POLES"},
                        {"d_hundred", "/ 100", 6, "KP_ASR"}};
    Open();
    auto* pages = Named<QTabWidget>(dialog_, "PageControl1");
    ASSERT_EQ(pages->count(), 5);
    QStringList expected = {"[usebase]"};
    for (int position = 0; position < 5; ++position) {
        const Tab& tab = tabs[position];
        EXPECT_EQ(pages->widget(position)->objectName(), tab.name);
        EXPECT_EQ(pages->tabText(position), tab.caption) << tab.name;
        Assign({tab.parameter}, tab.name);
        EXPECT_EQ(Items(List(tab.listBox)), QStringList{tab.parameter}) << tab.name;
        expected << QStringLiteral("%1=%2").arg(tab.parameter).arg(position + 1);
    }
    Click("Button1");
    EXPECT_EQ(Lines(baseGroupFile_), expected);
}

TEST_F(DefaultListTest, MovesThreeOfTenNamesToDivideByTen) {
    Open();
    Assign({"POLES", "ACC_T1", "F_MAX"}, "d_ten");
    EXPECT_EQ(Items(List(5)), QStringList({"ACC_T1", "F_MAX", "POLES"}));
    EXPECT_TRUE(List(5)->selectedItems().isEmpty());
    EXPECT_EQ(Items(List(1)),
              QStringList({"CARRIER", "DEC_T1", "F_BASE", "I_RATED", "KI_ASR", "KP_ASR", "V_RATED"}));
    EXPECT_TRUE(List(1)->selectedItems().isEmpty());
    for (int n : {2, 3, 4, 6}) EXPECT_TRUE(Items(List(n)).isEmpty()) << n;
}

TEST_F(DefaultListTest, MovesBackOnlyTheSelectedEntriesOfTheActiveTab) {
    Open();
    Assign({"POLES", "ACC_T1", "F_MAX"}, "d_ten");
    Assign({"KI_ASR", "DEC_T1"}, "d_hundred");
    Select(List(6), {"KI_ASR", "DEC_T1"});  // selected, but not on the active tab below
    ChooseTab("d_ten");
    Select(List(5), {"F_MAX"});
    Click("SpeedButton2");

    EXPECT_EQ(Items(List(5)), QStringList({"ACC_T1", "POLES"}));
    EXPECT_EQ(Items(List(6)), QStringList({"DEC_T1", "KI_ASR"}));
    EXPECT_EQ(Items(List(1)),
              QStringList({"CARRIER", "F_BASE", "F_MAX", "I_RATED", "KP_ASR", "V_RATED"}));
    EXPECT_TRUE(List(1)->selectedItems().isEmpty());
}

TEST_F(DefaultListTest, SwitchingTabsAndMovingNothingChangeNoList) {
    Open();
    Assign({"POLES", "V_RATED"}, "m_VBase");
    Select(List(1), {"F_MAX"});
    const auto before = AllLists();
    for (const char* tab : {"m_IBase", "d_hundred", "d_pole", "d_ten", "m_VBase"}) ChooseTab(tab);
    EXPECT_EQ(AllLists(), before);
    ChooseTab("d_ten");
    Click("SpeedButton2");  // nothing selected there
    EXPECT_EQ(AllLists(), before);
}

TEST_F(DefaultListTest, OkRewritesOnlyTheUsebaseSectionAndCloses) {
    WriteFile(baseGroupFile_, "[Other]\r\nkey=value\r\n[usebase]\r\nOLD=2\r\n[More]\r\nk=v\r\n");
    Open();
    Assign({"ACC_T1"}, "d_hundred");
    Assign({"V_RATED", "I_RATED"}, "m_IBase");
    Assign({"POLES"}, "d_pole");
    Click("Button1");

    EXPECT_EQ(Lines(baseGroupFile_),
              QStringList({"[Other]", "key=value", "[More]", "k=v", "[usebase]", "I_RATED=1",
                           "V_RATED=1", "POLES=3", "ACC_T1=5"}));
    EXPECT_TRUE(prompts_.asked.empty());
    EXPECT_TRUE(dialog_.isNull());
    EXPECT_TRUE(owner_->isEnabled());
}

TEST_F(DefaultListTest, OkWithNothingAssignedErasesTheSection) {
    WriteFile(baseGroupFile_, "[usebase]\r\nOLD=1\r\n[Other]\r\nkey=value\r\n");
    Open();
    Click("Button1");
    EXPECT_EQ(Lines(baseGroupFile_), QStringList({"[Other]", "key=value"}));
    EXPECT_TRUE(dialog_.isNull());
}

TEST_F(DefaultListTest, CancelAndTheCloseBoxWriteNothing) {
    for (const bool closeBox : {false, true}) {
        Open();
        Assign({"POLES"}, "d_ten");
        if (closeBox) {
            dialog_->close();
            ProcessDeferredDeletes();
        } else {
            Click("Button2");
        }
        EXPECT_TRUE(dialog_.isNull());
        EXPECT_TRUE(owner_->isEnabled());
        EXPECT_FALSE(QFile::exists(baseGroupFile_));
    }
}

TEST_F(DefaultListTest, ReopeningShowsEveryNameUnassignedAgain) {
    Open();
    Assign({"POLES", "F_MAX"}, "m_IBase");
    Click("Button1");
    ASSERT_TRUE(QFile::exists(baseGroupFile_));

    Open();
    EXPECT_EQ(Items(List(1)), Sorted(kNames));
    for (int n = 2; n <= 6; ++n) EXPECT_TRUE(Items(List(n)).isEmpty()) << n;
    EXPECT_EQ(Named<QTabWidget>(dialog_, "PageControl1")->currentWidget()->objectName(), "d_pole");
}

TEST_F(DefaultListTest, UnwritableBaseGroupFileIsReportedAndTheDialogStays) {
    ASSERT_TRUE(QDir(dir_.path()).mkdir("Parameter list.ini"));
    Open();
    Assign({"POLES", "F_MAX"}, "m_IBase");
    const auto before = AllLists();
    Click("Button1");

    ASSERT_EQ(prompts_.asked.size(), 1u);
    EXPECT_EQ(prompts_.asked[0].text, "Unable to write to Parameter list.ini");
    EXPECT_EQ(prompts_.asked[0].icon, MessageIcon::Error);
    EXPECT_EQ(prompts_.asked[0].buttons, MessageButtons::Ok);
    ASSERT_FALSE(dialog_.isNull());
    EXPECT_TRUE(dialog_->isVisible());
    EXPECT_EQ(AllLists(), before);
    EXPECT_FALSE(owner_->isEnabled());

    // Once the path is free, OK again saves and closes.
    ASSERT_TRUE(QDir(dir_.path()).rmdir("Parameter list.ini"));
    Click("Button1");
    EXPECT_EQ(Lines(baseGroupFile_), QStringList({"[usebase]", "F_MAX=1", "POLES=1"}));
    EXPECT_TRUE(dialog_.isNull());
}

TEST_F(DefaultListTest, ReadOnlyListFileStillListsItsNames) {
    // Tests may run as root, for whom the mode blocks nothing; the reader opens read-only
    // either way.
    ASSERT_TRUE(QFile::setPermissions(PathOf("Parameter list.plf"),
                                      QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    Open();
    EXPECT_EQ(Items(List(1)), Sorted(kNames));
}

TEST_F(BaseValueDialogTest, DuplicateAndBlankLeadingNamesStaySeparateEntries) {
    WriteSettings("Parameter list.plf");
    WriteListFile(PathOf("Parameter list.plf"), {"P01", "P02", "", "P01"});
    Open();
    EXPECT_EQ(Items(List(1)), QStringList({"", "P01", "P01", "P02"}));

    Assign({"P01"}, "m_IBase");
    Assign({"P01"}, "d_ten");
    EXPECT_EQ(Items(List(1)), QStringList({"", "P02"}));
    EXPECT_EQ(Items(List(2)), QStringList({"P01"}));
    EXPECT_EQ(Items(List(5)), QStringList({"P01"}));
    Click("Button1");
    // One key for the name, carrying the group written last.
    EXPECT_EQ(Lines(PathOf("Parameter list.ini")), QStringList({"[usebase]", "P01=4"}));
}

TEST_F(BaseValueDialogTest, MissingListFileIsReportedAndTheDialogCloses) {
    WriteSettings("Parameter list.plf");
    Open();
    EXPECT_TRUE(dialog_.isNull());
    ASSERT_EQ(prompts_.asked.size(), 1u);
    EXPECT_EQ(prompts_.asked[0].caption, "Parameter list file is missed");
    EXPECT_EQ(prompts_.asked[0].text, "Please click the <Load parameter list> button to set the file path");
    EXPECT_EQ(prompts_.asked[0].icon, MessageIcon::None);
    EXPECT_EQ(prompts_.asked[0].buttons, MessageButtons::Ok);
    EXPECT_TRUE(owner_->isEnabled());
    ProcessDeferredDeletes();
    for (QWidget* window : QApplication::topLevelWidgets()) EXPECT_EQ(qobject_cast<TForm3*>(window), nullptr);
}

// A list file that is refused is reported and the dialog closes: a pipe, which would wait for
// a writer for ever, is not even opened.
TEST_F(BaseValueDialogTest, ListPathThatIsNoRegularFileIsRefused) {
    const QString pipe = PathOf("pipe.plf");
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    WriteSettings(pipe);
    {
        const testing::Watchdog watchdog("opening the dialog on a pipe");
        Open();
    }
    EXPECT_TRUE(dialog_.isNull());
    ASSERT_EQ(prompts_.asked.size(), 1u);
    EXPECT_EQ(prompts_.asked[0].caption, "Load Error");
    EXPECT_EQ(prompts_.asked[0].text, "Unable to read " + pipe + ": Not a regular file");
    EXPECT_EQ(prompts_.asked[0].icon, MessageIcon::Error);
    EXPECT_TRUE(owner_->isEnabled());
}

// The base-group file gets each name as the bytes the list file holds (here Big5, which the
// window cannot show); a name that the file could not give back unchanged is refused, and
// nothing is written.
TEST_F(BaseValueDialogTest, NamesAreSavedAsTheirBytesOrRefused) {
    const QByteArray big5 = "\xB3\x74\xAB\xD7";
    WriteSettings("Parameter list.plf");
    WriteFile(PathOf("Parameter list.plf"), big5 + " speed\r\nA=B ratio\r\n");
    const QString baseGroupFile = PathOf("Parameter list.ini");
    Open();
    const QString shown = QString::fromLocal8Bit(big5);
    ASSERT_EQ(Items(List(1)), Sorted({shown, "A=B"}));
    Assign({shown}, "d_ten");
    Click("Button1");
    EXPECT_TRUE(dialog_.isNull());
    QFile file(baseGroupFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    EXPECT_EQ(written, "[usebase]\n" + big5 + "=4\n");
    file.close();

    Open();
    Assign({"A=B"}, "m_IBase");
    Click("Button1");
    ASSERT_EQ(prompts_.asked.size(), 1u);
    EXPECT_EQ(prompts_.asked[0].text, "The parameter name \"A=B\" cannot be saved: it contains \"=\"");
    EXPECT_EQ(prompts_.asked[0].icon, MessageIcon::Error);
    ASSERT_FALSE(dialog_.isNull());
    EXPECT_EQ(Items(List(2)), QStringList{"A=B"});
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), written);
}

// Moving rebuilds both lists in one pass: the order, duplicates, each name's bytes and the
// selection of the target's own items come through it.
TEST_F(BaseValueDialogTest, MovingKeepsOrderDuplicatesAndTheTargetsSelection) {
    QStringList names;
    for (int i = 0; i < 60; ++i) names << QStringLiteral("N%1").arg((i * 37) % 50, 2, 10, QLatin1Char('0'));
    WriteSettings("Parameter list.plf");
    WriteListFile(PathOf("Parameter list.plf"), names);
    Open();
    ASSERT_EQ(Items(List(1)), Sorted(names));
    QStringList first, second, rest;
    for (int i = 0; i < List(1)->count(); ++i) (i % 3 == 0 ? first : i % 3 == 1 ? second : rest) << List(1)->item(i)->text();
    Assign(first, "d_hundred");
    Select(List(6), {first[0], first[5]});
    Assign(second, "d_hundred");

    EXPECT_EQ(Items(List(1)), rest);
    EXPECT_EQ(Items(List(6)), Sorted(first + second));
    QStringList selected;
    for (const QListWidgetItem* item : List(6)->selectedItems()) selected << item->text();
    EXPECT_EQ(Sorted(selected), Sorted({first[0], first[5]}));
    Click("Button1");
    QStringList expected = {"[usebase]"};
    for (const QString& name : Sorted(first + second)) {
        if (!expected.contains(name + "=5")) expected << name + "=5";
    }
    EXPECT_EQ(Lines(PathOf("Parameter list.ini")), expected);
}

TEST_F(BaseValueDialogTest, BaseGroupFileLiesBesideTheListFile) {
    struct Case {
        bool settingsFile;
        QString listFilePath;  // as the settings name it, relative to the scratch folder
        QString listFile;
        QString baseGroupFile;
    };
    ASSERT_TRUE(QDir(dir_.path()).mkpath("lists/other"));
    const Case cases[] = {
        {false, "", "Parameter list.plf", "Parameter list.ini"},
        {true, "lists/drive.plf", "lists/drive.plf", "lists/drive.ini"},
        {true, PathOf("lists/other/drive"), "lists/other/drive", "lists/other/drive.ini"},
    };
    for (const Case& c : cases) {
        QFile::remove(settings_);
        if (c.settingsFile) WriteSettings(c.listFilePath);
        WriteListFile(PathOf(c.listFile), {"SPEED", "TORQUE"});
        Open();
        ASSERT_FALSE(dialog_.isNull()) << c.listFile.toStdString();
        EXPECT_EQ(Items(List(1)), QStringList({"SPEED", "TORQUE"}));
        Assign({"TORQUE"}, "d_pole");
        Click("Button1");
        EXPECT_EQ(Lines(PathOf(c.baseGroupFile)), QStringList({"[usebase]", "TORQUE=3"}))
            << c.baseGroupFile.toStdString();
    }
    EXPECT_FALSE(QFile::exists(PathOf("0.ini")));
}

}  // namespace
}  // namespace altrix

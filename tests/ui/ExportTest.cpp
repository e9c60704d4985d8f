// The export commands of the File menu against real files: the one export dialog and the
// columns the controls name, the mark-to-cursor range, images by their suffix with their legend, the
// clipboard copy, and the reports of files that cannot be written.

#include "MainframeFixture.h"
#include "TestRecording.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QImage>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <filesystem>

namespace altrix::testing {
namespace {

class ExportTest : public MainframeTest {
protected:
    void SetUp() override {
        MainframeTest::SetUp();
        ASSERT_TRUE(dir_.isValid());
        record().NextSample = kWindowPositions;  // position x shows slot x
    }
    QString path(const char* name) const { return dir_.filePath(QLatin1String(name)); }
    void trigger(const char* item) { find<QAction>(QLatin1String(item))->trigger(); }
    static QByteArray contents(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }
    void chooseQuantity(int k, const char* item) {
        auto* list = find<QComboBox>(QStringLiteral("ComboBox%1").arg(k));
        const int index = list->findText(QString::fromLatin1(item));
        ASSERT_GE(index, 0) << item;
        list->setCurrentIndex(index);
        emit list->activated(index);
    }
    // Ticks the dialog's boxes as asked and confirms it or cancels it.
    void answerCsvDialog(bool raw, bool range, bool confirm = true) {
        auto* dialog = find<QDialog>(QStringLiteral("ExportDialog"));
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(dialog->isVisible());
        find<QCheckBox>(QStringLiteral("ExportRawBox"))->setChecked(raw);
        if (range) find<QRadioButton>(QStringLiteral("ExportMarkButton"))->setChecked(true);
        auto* buttons = find<QDialogButtonBox>(QStringLiteral("ExportButtons"));
        QTest::mouseClick(buttons->button(confirm ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel), Qt::LeftButton);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_TRUE(exportEnded());
    }
    bool rangeBoxEnabled() const { return find<QRadioButton>(QStringLiteral("ExportMarkButton"))->isEnabled(); }

    QTemporaryDir dir_;
};

TEST_F(ExportTest, CsvColumnsAreNamedAsTheControlsShowThem) {
    chooseQuantity(1, "Output frequency (Hz)");             // gain 0.01
    showChannel(2, QStringLiteral("9014"));                 // typed address
    find<QLineEdit>(QStringLiteral("LabeledEdit2"))->setText(QStringLiteral("0.5"));
    find<QLineEdit>(QStringLiteral("Edit10"))->setText(QStringLiteral("DC_bus (Vdc)"));
    find<QLineEdit>(QStringLiteral("LabeledEdit5"))->setText(QStringLiteral("0.1"));
    find<QCheckBox>(QStringLiteral("CheckBox5"))->setChecked(true);  // Ref1 shown, Ref2 not
    for (int c = 0; c < kChannelCount; ++c) {
        record().ChannelTrace[c][0] = static_cast<std::int16_t>(-7 - c);
        record().ChannelTrace[c][5] = static_cast<std::int16_t>(1234 + c);
    }
    record().ReferenceTrace[0][0] = 25;
    record().ReferenceTrace[0][5] = -3;
    const QByteArray header = "time_s,Output frequency (Hz),Mem 9014,Channel 3,Channel 4,Ref1 DC_bus (Vdc)\r\n";

    // The whole window in engineering units; the range needs a mark.
    trigger("ExportCsv1");
    EXPECT_FALSE(rangeBoxEnabled());
    prompts_.FileNames = {path("all.csv")};
    answerCsvDialog(false, false);
    ASSERT_EQ(prompts_.SaveDialogs.size(), 1u);
    EXPECT_EQ(prompts_.SaveDialogs[0].Filter, QStringLiteral("CSV (*.csv)|*.csv|All Files (*.*)|*.*"));
    const QByteArray all = contents(path("all.csv"));
    EXPECT_TRUE(all.startsWith(header + "0.0002,-.07,-4.0,-9,-10,2.5\r\n0.0004,")) << all.left(200).toStdString();
    EXPECT_EQ(all.count('\n'), 1 + kWindowPositions);

    // From a mark at 5 back to the cursor at 4, raw, over the same file.
    view().MarkPosition = 5;
    view().CursorPosition = 4;
    trigger("ExportCsv1");
    EXPECT_TRUE(rangeBoxEnabled());
    prompts_.FileNames = {path("all.csv")};
    prompts_.MessageAnswers = {MessageAnswer::Yes};
    answerCsvDialog(true, true);
    ASSERT_EQ(prompts_.Messages.size(), 1u);
    EXPECT_EQ(prompts_.Messages[0].Caption, QStringLiteral("Overwrite?"));
    EXPECT_EQ(prompts_.SaveDialogs[1].FileName, path("all.csv"));  // the dialog's last file
    EXPECT_EQ(contents(path("all.csv")), header + "0.001,0,0,0,0,0\r\n0.0012,1234,1235,1236,1237,-3\r\n");

    // Cancelling the dialog asks for no file; a file that cannot be written is reported.
    trigger("ExportCsv1");
    answerCsvDialog(false, false, false);
    EXPECT_EQ(prompts_.SaveDialogs.size(), 2u);
    trigger("ExportCsv1");
    prompts_.FileNames = {path("missing/all.csv")};
    answerCsvDialog(false, false);
    ASSERT_EQ(prompts_.Messages.size(), 2u);
    EXPECT_EQ(prompts_.Messages[1].Caption, QStringLiteral("Export Error"));
    EXPECT_TRUE(prompts_.Messages[1].Text.startsWith(QStringLiteral("Unable to write ") + path("missing/all.csv")));
}

TEST_F(ExportTest, ImagesTakeTheFormatOfTheirSuffixWithALegend) {
    chooseQuantity(1, "DC_bus (Vdc)");
    showChannel(3, QStringLiteral("9014"));
    struct Case { const char* file; QByteArray start; };
    const Case cases[] = {{"chart.png", "\x89PNG"}, {"chart.svg", "<?xml"}, {"chart.pdf", "%PDF-"}};
    for (const Case& c : cases) {
        prompts_.FileNames = {path(c.file)};
        trigger("ExportImage1");
        EXPECT_TRUE(contents(path(c.file)).startsWith(c.start)) << c.file;
    }
    EXPECT_TRUE(prompts_.Messages.empty());
    EXPECT_EQ(prompts_.SaveDialogs.back().Filter,
              QStringLiteral("PNG image (*.png)|*.png|SVG image (*.svg)|*.svg|PDF document (*.pdf)|*.pdf"));

    // The chart's picture: on the clipboard exactly as in the file.
    const QImage png(path("chart.png"));
    EXPECT_EQ(png.size(), chart().size());
    trigger("CopyImage1");
    EXPECT_EQ(QApplication::clipboard()->image().convertToFormat(png.format()), png);

    // The legend names the shown traces only, the time span in view, where they come from and
    // the day (a window no capture filled has no time of its own).
    const QByteArray svg = contents(path("chart.svg"));
    for (const char* shown : {"DC_bus (Vdc)", "Mem 9014", "Time 0.0002 s to 20 s", "From port ", "Exported 20"})
        EXPECT_TRUE(svg.contains(shown)) << shown;
    for (const char* hidden : {"Channel 2", "Channel 4", "Ref1", "Ref2"}) EXPECT_FALSE(svg.contains(hidden)) << hidden;

    prompts_.FileNames = {path("chart.xyz")};
    trigger("ExportImage1");
    EXPECT_FALSE(QFile::exists(path("chart.xyz")));
    ASSERT_EQ(prompts_.Messages.size(), 1u);
    EXPECT_EQ(prompts_.Messages[0].Caption, QStringLiteral("Export Error"));
}

// "Export data...": the stretch the dialog chooses, the format the suffix names, the ticked
// channels only (an HDF5 file names its datasets and addresses in plain bytes).
TEST_F(ExportTest, DataExportWritesTheChosenStretchInTheFormatOfItsSuffix) {
    chooseQuantity(1, "DC_bus (Vdc)");  // 9042, gain 0.1
    record().ChannelTrace[0][4] = 12;
    record().ChannelTrace[0][5] = -7;
    view().MarkPosition = 5;
    view().CursorPosition = 4;
    struct Row { const char* button; const char* file; QByteArray start; };
    const Row rows[] = {
        {"ExportMarkButton", "mark.csv", "time_s,DC_bus (Vdc),Channel 2,Channel 3,Channel 4\r\n0.001,1.2,0,0,0\r\n0.0012,-.7,0,0,0\r\n"},
        {"ExportWholeButton", "window.h5", "\x89HDF\r\n\x1a\n"},
        {"ExportViewButton", "view.mat", "MATLAB 5.0 MAT-file"},
    };
    for (const Row& row : rows) {
        prompts_.FileNames = {path(row.file)};
        trigger("ExportData1");
        find<QRadioButton>(QLatin1String(row.button))->setChecked(true);
        QTest::mouseClick(find<QDialogButtonBox>(QStringLiteral("ExportButtons"))->button(QDialogButtonBox::Ok),
                          Qt::LeftButton);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_TRUE(exportEnded());
        EXPECT_TRUE(contents(path(row.file)).startsWith(row.start)) << row.file << contents(path(row.file)).left(120).toStdString();
    }
    EXPECT_TRUE(prompts_.Messages.empty());
    EXPECT_EQ(prompts_.SaveDialogs.back().Filter, QStringLiteral("MATLAB (*.mat)|*.mat|HDF5 (*.h5)|*.h5|CSV (*.csv)|*.csv"));
    const QByteArray h5 = contents(path("window.h5"));
    EXPECT_TRUE(h5.contains("DC_bus_Vdc") && h5.contains("9042"));
    EXPECT_FALSE(h5.contains("Channel_2"));

    prompts_.FileNames = {path("data.txt")};
    trigger("ExportData1");
    QTest::mouseClick(find<QDialogButtonBox>(QStringLiteral("ExportButtons"))->button(QDialogButtonBox::Ok), Qt::LeftButton);
    EXPECT_FALSE(QFile::exists(path("data.txt")));
    ASSERT_EQ(prompts_.Messages.size(), 1u);
    EXPECT_TRUE(prompts_.Messages[0].Text.contains(QStringLiteral("name the format by the suffix")));
}

// An export of a whole recording is written beside the window: its commands are disabled until
// it ends, its progress dialog waits half a second before it shows, and its Cancel leaves no
// file in the folder and says nothing. Then the next export is written.
TEST_F(ExportTest, ACancelledExportLeavesNoFileAndTheCommandsComeBack) {
    const std::string recording = path("long.arec").toStdString();
    ASSERT_EQ(WriteTestRecording(recording, 2'000'000), "");
    prompts_.FileNames = {QString::fromStdString(recording)};
    trigger("OpenRecording1");
    ASSERT_TRUE(prompts_.Messages.empty());
    const std::filesystem::path out = (dir_.path() + QStringLiteral("/out")).toStdString();
    std::filesystem::create_directory(out);
    for (const char* name : {"whole.csv", "whole.mat", "whole.h5"}) {
        SCOPED_TRACE(name);
        prompts_.FileNames = {QString::fromStdString((out / name).string())};
        trigger("ExportData1");
        find<QRadioButton>(QStringLiteral("ExportWholeButton"))->setChecked(true);
        QTest::mouseClick(find<QDialogButtonBox>(QStringLiteral("ExportButtons"))->button(QDialogButtonBox::Ok),
                          Qt::LeftButton);
        auto* progress = find<QProgressDialog>(QStringLiteral("ExportProgress"));
        ASSERT_NE(progress, nullptr);
        EXPECT_FALSE(progress->isVisible());
        for (const char* action : {"ExportData1", "ExportCsv1"}) EXPECT_FALSE(find<QAction>(QLatin1String(action))->isEnabled()) << action;
        progress->findChild<QPushButton*>()->click();
        ASSERT_TRUE(exportEnded());
        EXPECT_TRUE(std::filesystem::is_empty(out));
        for (const char* action : {"ExportData1", "ExportCsv1"}) EXPECT_TRUE(find<QAction>(QLatin1String(action))->isEnabled()) << action;
    }
    EXPECT_TRUE(prompts_.Messages.empty());
    // Not cancelled: the whole recording, a line a set after the header.
    prompts_.FileNames = {QString::fromStdString((out / "whole.csv").string())};
    trigger("ExportData1");
    find<QRadioButton>(QStringLiteral("ExportWholeButton"))->setChecked(true);
    QTest::mouseClick(find<QDialogButtonBox>(QStringLiteral("ExportButtons"))->button(QDialogButtonBox::Ok), Qt::LeftButton);
    ASSERT_TRUE(exportEnded());
    EXPECT_EQ(contents(QString::fromStdString((out / "whole.csv").string())).count('\n'), 1 + 2'000'000);
    EXPECT_TRUE(prompts_.Messages.empty());
}

}  // namespace
}  // namespace altrix::testing

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "FileTestSupport.h"
#include "ParameterFiles.h"

namespace altrix {
namespace {

using testing::ExpectWithoutWriteAccess;
using testing::kDataDir;
using testing::ReadBytes;
using testing::WriteBytes;

using Groups = std::array<std::vector<std::string>, kBaseGroupCount>;

// The non-empty lines of a text file, line ends removed.
std::vector<std::string> TextLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

class ParameterFilesTest : public testing::ScratchDir {};

TEST(ParameterFilePaths, ReplaceTheExtensionOfTheLastComponent) {
    struct Case { const char* path; const char* settings; const char* baseGroup; };
    const Case cases[] = {
        {"/opt/altrix/altrix-scope", "/opt/altrix/altrix-scope.INI", "/opt/altrix/altrix-scope.ini"},
        {"C:/Tools/Scope.exe", "C:/Tools/Scope.INI", "C:/Tools/Scope.ini"},
        {"Parameter list.plf", "Parameter list.INI", "Parameter list.ini"},
        {"/data/drive.plf", "/data/drive.INI", "/data/drive.ini"},
        {"0", "0.INI", "0.ini"},
        {"lists.v2/drive", "lists.v2/drive.INI", "lists.v2/drive.ini"},
        {"drive.old.plf", "drive.old.INI", "drive.old.ini"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SettingsIniPath(c.path), c.settings) << c.path;
        EXPECT_EQ(BaseGroupPath(c.path), c.baseGroup) << c.path;
    }
}

TEST_F(ParameterFilesTest, ListFilePathComesFromTheSettingsOrTheFallback) {
    const std::string settings = PathOf("scope.INI");
    EXPECT_EQ(ReadListFilePath(settings, kDefaultListFilePath), "Parameter list.plf");  // no file

    WriteBytes(settings, "[Other]\nListFilePath=wrong.plf\n[Parameter]\nOtherKey=1\n");
    EXPECT_EQ(ReadListFilePath(settings, "0"), "0");  // no key

    WriteBytes(settings, "[PARAMETER]\r\nlistfilepath=lists/drive.plf\r\n");
    EXPECT_EQ(ReadListFilePath(settings, "0"), "lists/drive.plf");  // any case, relative as given

    WriteBytes(settings, "[Parameter]\nListFilePath=\"/data/my list.plf\"\n");
    EXPECT_EQ(ReadListFilePath(settings, "0"), "/data/my list.plf");

    const std::string folder = PathOf("folder.INI");
    std::filesystem::create_directory(folder);
    EXPECT_EQ(ReadListFilePath(folder, "0"), "0");
}

TEST_F(ParameterFilesTest, PortMappingIsReadFromThePortsSection) {
    const std::string settings = PathOf("scope.INI");
    EXPECT_EQ(ReadPortMapping(settings, "COM3"), std::nullopt);  // no file

    WriteBytes(settings, "[Parameter]\nCOM4=/dev/wrong\n[ports]\ncom3=/dev/ttyUSB0\n");
    EXPECT_EQ(ReadPortMapping(settings, "COM3"), "/dev/ttyUSB0");
    EXPECT_EQ(ReadPortMapping(settings, "Com3"), "/dev/ttyUSB0");
    EXPECT_EQ(ReadPortMapping(settings, "COM4"), std::nullopt);
}

TEST_F(ParameterFilesTest, TriggerSettingsAreRememberedBesideTheOtherSections) {
    const std::string settings = PathOf("scope.INI");
    EXPECT_EQ(ReadTriggerSettings(settings), TriggerSettings{});  // no file: the defaults
    WriteBytes(settings, "[Ports]\nCOM3=/dev/ttyUSB0\n");
    const TriggerSettings chosen{TriggerMode::Normal, 3, TriggerCondition::BitCleared, "-12.5", 15, 0};
    ASSERT_TRUE(WriteTriggerSettings(settings, chosen));
    EXPECT_EQ(ReadTriggerSettings(settings), chosen);
    EXPECT_EQ(ReadPortMapping(settings, "COM3"), "/dev/ttyUSB0");

    // Values out of range or unknown keep their defaults, each on its own.
    WriteBytes(settings, "[trigger]\nMode=Sometimes\nSource=5\nCondition=Either\nBit=16\nPreTrigger=101\nLevel=3\n");
    EXPECT_EQ(ReadTriggerSettings(settings),
              (TriggerSettings{TriggerMode::Off, 1, TriggerCondition::Either, "3", 0, 50}));
}

TEST(ParameterNames, AreReadInFileOrder) {
    struct Case { const char* file; std::vector<std::string> names; };
    const Case cases[] = {
        {"parameters.plf", {"P00-00", "P00-01", "P00-02", "P00-01"}},  // duplicates stay
        {"leading_blank.plf", {"P01-00", "", "P01-01"}},
        {"long_line.plf", {"P02-00", "P02-01_NameWithoutAnyBlankThatRunsPastFo", "P02-02"}},
        {"empty_lines.plf", {"P03-00", "P03-01"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReadParameterNames((kDataDir / c.file).string()), c.names) << c.file;
    }
}

TEST_F(ParameterFilesTest, MissingListFileIsToldApartFromAnUnreadableOne) {
    EXPECT_EQ(ReadParameterNames(PathOf("missing.plf")), std::nullopt);
    std::filesystem::create_directory(PathOf("folder.plf"));
    EXPECT_EQ(ReadParameterNames(PathOf("folder.plf")), std::vector<std::string>{});
}

TEST_F(ParameterFilesTest, ReadOnlyListFileListsItsNames) {
    const std::string path = PathOf("readonly.plf");
    WriteBytes(path, ReadBytes(kDataDir / "parameters.plf"));
    ExpectWithoutWriteAccess(path, [&] {
        const auto names = ReadParameterNames(path);
        return names && names->size() == 4 && names->front() == "P00-00";
    });
}

TEST_F(ParameterFilesTest, BaseGroupsAreWrittenGroupByGroup) {
    const std::string path = PathOf("drive.ini");
    const Groups groups{{{"P00-00", "P00-02"}, {}, {}, {"P01-00"}, {"P02-00"}}};
    ASSERT_TRUE(WriteBaseGroups(path, groups).Ok);
    EXPECT_EQ(TextLines(ReadBytes(path)),
              (std::vector<std::string>{"[usebase]", "P00-00=1", "P00-02=1", "P01-00=4", "P02-00=5"}));
}

TEST_F(ParameterFilesTest, DuplicateNameKeepsTheLastGroupWritten) {
    const std::string path = PathOf("drive.ini");
    // Names match without regard to case, as keys of the file do.
    const Groups groups{{{"P00-01", "Speed"}, {}, {"P00-01"}, {}, {"SPEED"}}};
    ASSERT_TRUE(WriteBaseGroups(path, groups).Ok);
    EXPECT_EQ(TextLines(ReadBytes(path)),
              (std::vector<std::string>{"[usebase]", "P00-01=3", "Speed=5"}));
}

TEST_F(ParameterFilesTest, RewritingReplacesTheSectionAndKeepsTheOthers) {
    const std::string path = PathOf("drive.ini");
    WriteBytes(path, "[Other]\nkey=value\n[UseBase]\nOld=2\nP00-00=3\n[More]\nk2=v2\n");
    ASSERT_TRUE(WriteBaseGroups(path, Groups{{{"P00-00"}, {}, {}, {}, {}}}).Ok);

    const std::vector<std::string> lines = TextLines(ReadBytes(path));
    EXPECT_EQ(lines, (std::vector<std::string>{"[Other]", "key=value", "[More]", "k2=v2", "[usebase]",
                                               "P00-00=1"}));
}

TEST_F(ParameterFilesTest, EmptyGroupsEraseTheSection) {
    const std::string path = PathOf("drive.ini");
    WriteBytes(path, "[Other]\nkey=value\n[USEBASE]\nOld=2\n");
    ASSERT_TRUE(WriteBaseGroups(path, Groups{}).Ok);
    EXPECT_EQ(TextLines(ReadBytes(path)), (std::vector<std::string>{"[Other]", "key=value"}));
}

TEST_F(ParameterFilesTest, FailureNamesTheFile) {
    const Groups groups{{{"P00-00"}, {}, {}, {}, {}}};
    const std::string missingFolder = PathOf("missing/drive.ini");
    const WriteResult notSaved = WriteBaseGroups(missingFolder, groups);
    EXPECT_FALSE(notSaved.Ok);
    EXPECT_EQ(notSaved.Error, "Unable to write to " + missingFolder);

    const std::string folder = PathOf("drive.ini");
    std::filesystem::create_directory(folder);
    const WriteResult notLoaded = WriteBaseGroups(folder, groups);
    EXPECT_FALSE(notLoaded.Ok);
    EXPECT_EQ(notLoaded.Error, "Unable to write to " + folder);
}

}  // namespace
}  // namespace altrix

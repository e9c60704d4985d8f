#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>

#include "FileTestSupport.h"
#include "ParameterFiles.h"
#include "SafeFile.h"
#include "Watchdog.h"

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
    const TriggerSettings chosen{TriggerMode::Normal, 3, TriggerCondition::OutsideBand, "-12.5", 15, 0, "7.25", 250,
                                 TriggerJoin::Or, {4, TriggerCondition::BitCleared, "1", "2", 9}};
    ASSERT_TRUE(WriteTriggerSettings(settings, chosen));
    EXPECT_EQ(ReadTriggerSettings(settings), chosen);
    EXPECT_EQ(ReadPortMapping(settings, "COM3"), "/dev/ttyUSB0");

    // Values out of range or unknown keep their defaults, each on its own.
    WriteBytes(settings, "[trigger]\nMode=Sometimes\nSource=5\nCondition=Either\nBit=16\nPreTrigger=101\nLevel=3\nHoldoff=60001\n");
    EXPECT_EQ(ReadTriggerSettings(settings),
              (TriggerSettings{TriggerMode::Off, 1, TriggerCondition::Either, "3", 0, 50}));
    // Each is named, and stays in the file until its own value is changed.
    EXPECT_EQ(RefusedTriggerSettings(settings),
              (std::vector<std::string>{"[Trigger] Mode=Sometimes", "[Trigger] Source=5", "[Trigger] Bit=16",
                                        "[Trigger] PreTrigger=101", "[Trigger] Holdoff=60001"}));
    TriggerSettings changed = ReadTriggerSettings(settings);
    changed.Level = "4";
    changed.PreTriggerPercent = 20;
    ASSERT_TRUE(WriteTriggerSettings(settings, changed));
    EXPECT_EQ(ReadTriggerSettings(settings), changed);
    EXPECT_EQ(RefusedTriggerSettings(settings),
              (std::vector<std::string>{"[Trigger] Mode=Sometimes", "[Trigger] Source=5", "[Trigger] Bit=16",
                                        "[Trigger] Holdoff=60001"}));
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
        const ParameterList list = ReadParameterNames((kDataDir / c.file).string());
        EXPECT_EQ(list.Names, c.names) << c.file;
        EXPECT_FALSE(list.Missing);
        EXPECT_EQ(list.Refused, "");
    }
}

// A missing file is told apart from one that is refused: anything but a regular file (never
// opened: a pipe would wait for a writer, a device read for ever) and files beyond the bounds.
// Within them a line of any length is read in bounded memory.
TEST_F(ParameterFilesTest, ListFilesThatAreNoRegularFileOrTooLargeAreRefused) {
    std::filesystem::create_directory(PathOf("folder.plf"));
    ASSERT_EQ(mkfifo(PathOf("pipe.plf").c_str(), 0600), 0);
    WriteBytes(PathOf("huge.plf"), "P\n");
    std::filesystem::resize_file(PathOf("huge.plf"), kMaxParameterListBytes + 1);  // sparse
    std::string lines;
    for (std::size_t i = 0; i <= kMaxParameterLines; ++i) lines += "P\n";
    WriteBytes(PathOf("many.plf"), lines);
    WriteBytes(PathOf("long.plf"), std::string(kParameterLineChars + 5, 'N') + std::string(5 << 20, ' ') + "tail");
    struct Case {
        std::string path;
        bool missing;
        std::string refused;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {PathOf("missing.plf"), true, "", {}},
        {PathOf("folder.plf"), false, kNotRegularFile, {}},
        {PathOf("pipe.plf"), false, kNotRegularFile, {}},
        {"/dev/zero", false, kNotRegularFile, {}},
        {PathOf("huge.plf"), false, "Larger than 16 MiB", {}},
        {PathOf("many.plf"), false, "More than 100000 parameter lines", {}},
        {PathOf("long.plf"), false, "", {std::string(kParameterLineChars, 'N')}},
    };
    for (const Case& c : cases) {
        const testing::Watchdog watchdog("reading " + c.path);
        const ParameterList list = ReadParameterNames(c.path);
        EXPECT_EQ(list.Missing, c.missing) << c.path;
        EXPECT_EQ(list.Refused, c.refused) << c.path;
        EXPECT_EQ(list.Names, c.names) << c.path;
    }
}

TEST_F(ParameterFilesTest, ReadOnlyListFileListsItsNames) {
    const std::string path = PathOf("readonly.plf");
    WriteBytes(path, ReadBytes(kDataDir / "parameters.plf"));
    ExpectWithoutWriteAccess(path, [&] {
        const ParameterList list = ReadParameterNames(path);
        return list.Names.size() == 4 && list.Names.front() == "P00-00";
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

// Names read back as the same bytes (whatever their encoding), or are refused before anything
// is written: a reader would split a name at "=", take ";", "#" or "[" at its start for a
// comment or a section, trim blanks at its ends, and break the line at a control character.
TEST_F(ParameterFilesTest, NamesReadBackByteForByteOrAreRefused) {
    const std::string path = PathOf("drive.ini");
    const std::string big5Speed = "\xB3\x74\xAB\xD7";
    for (const std::string& name : {big5Speed, std::string("\xE9\x80\x9F"), std::string("P[1]"), std::string("A;B#C"),
                                   std::string("in side")}) {
        ASSERT_TRUE(WriteBaseGroups(path, Groups{{{}, {name}, {}, {}, {}}}).Ok) << name;
        EXPECT_EQ(ReadBytes(path), "[usebase]\n" + name + "=2\n") << name;
    }
    struct Refused { std::string name; const char* problem; };
    const Refused refused[] = {
        {"A=B", "it contains \"=\""},       {";A", "it starts with \";\""},
        {"#A", "it starts with \"#\""},     {"[A", "it starts with \"[\""},
        {" A", "it starts or ends with a blank"}, {"A\t", "it starts or ends with a blank"},
        {"A\rB", "it contains a control character"}, {"", "it is empty"},
    };
    const std::string kept = ReadBytes(path);
    for (const Refused& r : refused) {
        const WriteResult result = WriteBaseGroups(path, Groups{{{"P00-00"}, {}, {}, {r.name}, {}}});
        EXPECT_FALSE(result.Ok);
        EXPECT_EQ(result.Error, "The parameter name \"" + r.name + "\" cannot be saved: " + r.problem);
        EXPECT_EQ(ReadBytes(path), kept);
    }
}

// The file is replaced as a whole: a write that fails (here at a file size limit, as on a
// full disk) leaves every section of the old file and no temporary file behind.
TEST_F(ParameterFilesTest, BaseGroupWriteThatFailsKeepsTheOldFileWhole) {
    const std::string path = PathOf("drive.ini");
    const std::string old = "[Other]\nkey=value\n[usebase]\nOld=2\n";
    WriteBytes(path, old);
    Groups groups;
    for (int i = 0; i < 2000; ++i) groups[0].push_back("P" + std::to_string(i));

    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit limited = previous;
    limited.rlim_cur = 4096;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const WriteResult result = WriteBaseGroups(path, groups);
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(result.Ok);
    EXPECT_EQ(result.Error, "Unable to write to " + path);
    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), std::filesystem::directory_iterator()), 1);
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

TEST_F(ParameterFilesTest, SettingsWritesKeepTheRestOfTheFile) {
    const std::string settings = PathOf("scope.INI");
    const Setting made[] = {{"Link", "PortName", "COM5"}};
    ASSERT_TRUE(WriteSettings(settings, made));  // a missing file is made
    EXPECT_EQ(ReadSetting(settings, "link", "portname"), "COM5");

    WriteBytes(settings, "; kept\n[Parameter]\nListFilePath = Parameter list.plf\n[Ports]\nCOM3=/dev/pts/4\n"
                         "[link]\nportname=COM1\n");
    const Setting changed[] = {{"Link", "PortName", "/dev/ttyUSB0"}, {"Dialogs", "SaveDialog1", " /data/a b.wfd "}};
    ASSERT_TRUE(WriteSettings(settings, changed));
    EXPECT_EQ(ReadListFilePath(settings, "0"), "Parameter list.plf");
    EXPECT_EQ(ReadPortMapping(settings, "COM3"), "/dev/pts/4");
    EXPECT_EQ(ReadSetting(settings, "Link", "PortName"), "/dev/ttyUSB0");
    EXPECT_EQ(ReadSetting(settings, "Dialogs", "SaveDialog1"), " /data/a b.wfd ");  // blanks kept
    EXPECT_EQ(ReadSetting(settings, "Dialogs", "OpenDialog1"), std::nullopt);
    const std::string text = ReadBytes(settings);
    EXPECT_NE(text.find("; kept"), std::string::npos);
    EXPECT_EQ(text.find("COM1"), std::string::npos);  // the key of another case was replaced

    const std::string folder = PathOf("folder.INI");
    std::filesystem::create_directory(folder);
    EXPECT_FALSE(WriteSettings(folder, changed));
}

// Comments after the last key stay at the end of the file through every kind of write.
TEST_F(ParameterFilesTest, CommentsAtTheEndOfTheFileStay) {
    const Setting port{"Link", "PortName", "COM5"};
    const struct {
        const char* name;
        std::string bytes;
        std::string end;  // what the file ends with after each write
    } cases[] = {
        {"OneComment", "[Ports]\nCOM3=/dev/x\n; the end\n", "; the end\n"},
        {"CrLfAndBlankLines", "[Ports]\r\nCOM3=/dev/x\r\n\r\n# one\r\n; two\r\n", "\r\n# one\r\n; two\r\n"},
        {"NoFinalLineEnd", "[Ports]\nCOM3=/dev/x\n;last", ";last"},
        {"AfterAnEmptySection", "[Ports]\nCOM3=/dev/x\n[Empty]\n; below\n", "; below\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = PathOf(std::string(c.name) + ".INI");
        WriteBytes(path, c.bytes);
        ASSERT_TRUE(WriteSettings(path, {&port, 1}));
        std::string text = ReadBytes(path);
        EXPECT_TRUE(text.ends_with(c.end)) << text;
        ASSERT_TRUE(WriteTriggerSettings(path, TriggerSettings{}));
        text = ReadBytes(path);
        EXPECT_TRUE(text.ends_with(c.end)) << text;
        EXPECT_EQ(text.find(c.end), text.size() - c.end.size()) << "once: " << text;
        EXPECT_EQ(ReadPortMapping(path, "COM3"), "/dev/x");
        EXPECT_EQ(ReadSetting(path, "Link", "PortName"), "COM5");
    }
}

// A settings file is read whole or not at all, and one that was not read is not written over,
// even once mended, until the next start. Line ends and a UTF-8 signature are no obstacle.
TEST_F(ParameterFilesTest, SettingsFileThatCannotBeReadWholeIsNeverWritten) {
    struct Case { std::string bytes; const char* problem; };  // no problem: readable
    const Case cases[] = {
        {"\xEF\xBB\xBF; mine\r\n[Ports]\r\nCOM3 = /dev/x\r\n\r\n# \xE9t\xE9\n", ""},
        {std::string("\xFF\xFE[\0P\0", 6), "(it is UTF-16 text)"},
        {std::string("[Ports]\nCOM3=/dev/x\0y\n", 22), "(it holds a NUL byte (byte 20))"},
        {"[Ports]\r\nCOM3=/dev/x\r\nnot a setting\r\n", "(line 3 is no section, key=value or comment)"},
        {"[Ports] old\nCOM3=/dev/x\n", "(line 1 is no"},
    };
    const Setting port{"Link", "PortName", "COM5"};
    int n = 0;
    for (const Case& c : cases) {
        const std::string path = PathOf(std::to_string(n++) + ".INI");
        WriteBytes(path, c.bytes);
        const std::string problem = SettingsFileProblem(path);
        EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
        EXPECT_EQ(problem.empty(), !*c.problem) << problem;
        EXPECT_EQ(ReadPortMapping(path, "COM3"), *c.problem ? std::nullopt : std::optional<std::string>("/dev/x"));
        EXPECT_EQ(WriteSettings(path, {&port, 1}), !*c.problem) << n;
        if (!*c.problem) continue;
        EXPECT_FALSE(WriteTriggerSettings(path, TriggerSettings{}));
        EXPECT_EQ(ReadBytes(path), c.bytes);
        WriteBytes(path, "[Ports]\nCOM3=/dev/x\n");  // mended: read, yet not written over
        EXPECT_EQ(ReadPortMapping(path, "COM3"), "/dev/x");
        EXPECT_FALSE(WriteSettings(path, {&port, 1}));
    }
}

// Settings that cannot be written are named; the trial leaves no file behind.
TEST_F(ParameterFilesTest, SettingsThatCannotBeKeptAreNamed) {
    EXPECT_EQ(SettingsFileProblem("") + SettingsFileProblem(PathOf("new.INI")), "");
    EXPECT_NE(SettingsFileProblem(PathOf("none/new.INI")).find("cannot be written (No such file"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_empty(dir_));
    WriteBytes(PathOf("ro.INI"), "[Ports]\n");
    ExpectWithoutWriteAccess(PathOf("ro.INI"), [&] {
        return SettingsFileProblem(PathOf("ro.INI")).find("cannot be written (Permission denied)") != std::string::npos;
    });
}

// Which settings file a start uses, by what exists: a file beside the program, one in the
// configuration folder, the installed sample; without one, an empty file in that folder.
TEST_F(ParameterFilesTest, SettingsFileIsBesideTheProgramElseInTheConfigFolder) {
    struct Case { bool beside, config, sample; bool usesBeside; bool madeFromSample; };
    const Case cases[] = {
        {true, true, true, true, false},
        {false, true, true, false, false},
        {false, false, true, false, true},
        {false, false, false, false, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::filesystem::path root = dir_ / std::to_string(n++);
        const SettingsPlaces places{(root / "bin" / "altrix-scope").string(),
                                    (root / "config" / "altrix-scope").string(), (root / "share").string()};
        std::filesystem::create_directories(root / "bin");
        std::filesystem::create_directories(root / "share");
        if (c.beside) WriteBytes(root / "bin" / "altrix-scope.INI", "[Link]\nPortName=beside\n");
        if (c.config) {
            std::filesystem::create_directories(places.ConfigFolder);
            WriteBytes(std::filesystem::path(places.ConfigFolder) / kSettingsFileName, "[Link]\nPortName=config\n");
        }
        if (c.sample) {
            WriteBytes(root / "share" / kSettingsFileName, "[Parameter]\nListFilePath=Parameter list.plf\n");
            WriteBytes(root / "share" / "Parameter list.plf", "P00-00 Sample parameter                 0001\r\n");
        }
        const std::filesystem::path config = std::filesystem::path(places.ConfigFolder) / kSettingsFileName;
        const std::string located = LocateSettingsFile(places);
        EXPECT_EQ(located, c.usesBeside ? (root / "bin" / "altrix-scope.INI").string() : config.string()) << n;
        const std::filesystem::path list = std::filesystem::path(places.ConfigFolder) / "Parameter list.plf";
        if (c.madeFromSample) {
            EXPECT_EQ(ReadListFilePath(located, "0"), list.string());
            EXPECT_EQ(ReadBytes(list), ReadBytes(root / "share" / "Parameter list.plf"));
        } else {
            EXPECT_FALSE(std::filesystem::exists(list)) << n;
            EXPECT_EQ(std::filesystem::exists(config), c.config || !c.usesBeside) << n;
            if (!c.config && !c.usesBeside) EXPECT_EQ(ReadBytes(config), "") << n;
        }
    }
}

}  // namespace
}  // namespace altrix

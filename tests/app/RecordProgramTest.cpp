// altrix-scope --record run as the built program, without a display, against the simulated drive
// on a pseudo-terminal at ten times its pace: however it ends (SIGTERM, Ctrl+C, a hangup, its
// duration) the file it leaves opens alone (its journal folded in) and holds every set it took,
// in order, each the drive model's; and a start that cannot work says why and exits 1.

#include "DriveModel.h"
#include "DriveTestSupport.h"
#include "RecordingReader.h"

#include <QFile>
#include <QProcess>

#include <signal.h>

#include <csignal>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace altrix::testing {
namespace {

constexpr double kSpeed = 10;
// DC_bus, Motor speed (rpm), a wave of the model's, and channel 4 off (asking for 9000, kept as 0).
const sim::ChannelAddresses kAsked{0x9042, 0x9014, 0x9a0f, 0x9000};
constexpr char kQuantities[] = "DC_bus,motor speed,9A0F";
constexpr std::array<bool, 4> kRecorded{true, true, true, false};

QStringList Strings(const std::vector<std::string>& list) {
    QStringList strings;
    for (const std::string& s : list) strings << QString::fromStdString(s);
    return strings;
}

// The program with no display, as a service starts it.
void StartProgram(QProcess& process, const std::string& program, const std::vector<std::string>& arguments) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(QLatin1String(name));
    process.setProcessEnvironment(environment);
    process.start(QString::fromStdString(program), Strings(arguments));
}

// A copy of the program with a settings file of its own beside it, which names the drive's link.
std::string ProgramWithPort(const ScratchFolder& folder, const std::string& name, const std::string& link) {
    const std::string program = folder.PathOf("altrix-scope");
    std::error_code ec;
    std::filesystem::copy_file(ALTRIX_SCOPE_PROGRAM, program, ec);
    std::ofstream(folder.PathOf("altrix-scope.INI")) << "[Ports]\n" << name << "=" << link << "\n";
    return ec ? std::string() : program;
}

enum class End { Terminate, Interrupt, Hangup, Duration };

TEST(RecordProgramTest, TheFileHoldsEverySetTakenInOrderHoweverTheRecordingEnds) {
    const struct {
        const char* name;
        End end;
        bool portFromSettings;  // the port by a name of [Ports] instead of the link's path
        std::vector<std::string> options;
    } table[] = {
        {"SIGTERM after 30 s of drive time", End::Terminate, false, {}},
        // With a trigger on the wave, whose windows go to files ("EVENTS": a folder of the row's).
        {"Ctrl+C, the port named in the settings file, a trigger", End::Interrupt, true,
         {"--trigger", "ch3 rising 0", "--pretrigger", "10", "--events-folder", "EVENTS"}},
        {"a hangup (an SSH session closed)", End::Hangup, false, {}},
        {"the duration reached", End::Duration, false, {"--duration", "1.5s"}},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        RunningDrive drive({}, kSpeed);
        ASSERT_TRUE(drive.Started()) << drive.Error();
        ScratchFolder bin;
        const std::string program = row.portFromSettings ? ProgramWithPort(bin, "SimDrive", drive.Link()) : ALTRIX_SCOPE_PROGRAM;
        ASSERT_FALSE(program.empty());
        const std::string output = drive.Folder.PathOf("night.arec");
        std::vector<std::string> arguments{"--record", output, "--port", row.portFromSettings ? "simdrive" : drive.Link(),
                                           "--quantities", kQuantities};
        arguments.insert(arguments.end(), row.options.begin(), row.options.end());
        const std::string events = drive.Folder.PathOf("events");
        std::filesystem::create_directory(events);
        std::replace(arguments.begin(), arguments.end(), std::string("EVENTS"), events);
        QProcess process;
        StartProgram(process, program, arguments);
        ASSERT_TRUE(process.waitForStarted(10000));
        // 30 s of the drive's stream on its way (3 s at its pace), or the duration.
        if (row.end != End::Duration) {
            const bool streamed = WaitUntil([&] { return drive.Drive->Stats().BytesSent >= 30 * 40625; }, 30s);
            if (!streamed) process.kill();
            ASSERT_TRUE(streamed) << process.readAllStandardError().toStdString();
            ::kill(static_cast<pid_t>(process.processId()),
                   row.end == End::Terminate ? SIGTERM : row.end == End::Interrupt ? SIGINT : SIGHUP);
        }
        if (!process.waitForFinished(30000)) process.kill();
        const std::string errors = process.readAllStandardError().toStdString();
        const std::string said = process.readAllStandardOutput().toStdString();
        ASSERT_EQ(process.exitStatus(), QProcess::NormalExit) << errors;
        EXPECT_EQ(process.exitCode(), 0) << errors;
        EXPECT_EQ(errors, "");
        EXPECT_FALSE(std::filesystem::exists(output + "-wal")) << "the journal is folded in";

        const RecordingReader::Opened opened = RecordingReader::Open(output);
        ASSERT_TRUE(opened.Reader) << opened.Error;
        RecordingReader& reader = *opened.Reader;
        const std::int64_t sets = reader.Sets();
        // Taken while the drive streamed: none lost on the way, none more than it sent.
        EXPECT_GT(sets, 0);
        EXPECT_TRUE(reader.Gaps().empty());
        EXPECT_LE(sets, static_cast<std::int64_t>(drive.Drive->Stats().BytesSent / kBlockBytes * kSetsPerBlock));
        if (row.end != End::Duration) {
            EXPECT_GE(sets, 25 * 5000) << "most of the 30 s the drive sent";
        }
        std::vector<std::int16_t> got(static_cast<std::size_t>(sets) * kChannelCount);
        ASSERT_TRUE(reader.ReadSets(0, sets, got));
        for (std::int64_t n = 0; n < sets; ++n)
            for (int c = 0; c < kChannelCount; ++c)
                ASSERT_EQ(got[static_cast<std::size_t>(n * kChannelCount + c)],
                          kRecorded[c] ? sim::SampleValue(kAsked[c], static_cast<std::uint64_t>(n)) : 0)
                    << "set " << n << ", channel " << c + 1;
        // The trigger's events, each where the wave rises through 0, and their windows' files.
        const bool triggered = row.options.size() > 1 && row.options[1] == "ch3 rising 0";
        std::int64_t triggers = 0;
        for (const RecordingEvent& e : reader.Events()) {
            if (e.Kind != "trigger") continue;
            ++triggers;
            ASSERT_GT(e.SetIndex, 0);
            EXPECT_LT(sim::SampleValue(kAsked[2], static_cast<std::uint64_t>(e.SetIndex - 1)), 0) << e.SetIndex;
            EXPECT_GE(sim::SampleValue(kAsked[2], static_cast<std::uint64_t>(e.SetIndex)), 0) << e.SetIndex;
        }
        std::int64_t files = 0;
        for (const auto& file : std::filesystem::directory_iterator(events)) files += file.path().extension() == ".wfd";
        if (triggered) {
            EXPECT_GE(triggers, 1);
            EXPECT_GE(files, 1) << "a window complete within the 30 s";
        } else {
            EXPECT_EQ(triggers + files, 0);
        }
        EXPECT_EQ(reader.Header().Channels[2].Name, "Mem 9a0f");
        EXPECT_EQ(reader.Header().Channels[3].Address, "");
        // Its last line counts what the file holds.
        const std::string last = "recorded " + output + ": " + std::to_string(sets) + " sets (";
        EXPECT_NE(said.find(last), std::string::npos) << said;
    }
}

// Started under nohup, a hangup leaves it recording; SIGTERM still ends it whole.
TEST(RecordProgramTest, AHangupIgnoredAtTheStartStaysIgnored) {
    RunningDrive drive({}, kSpeed);
    ASSERT_TRUE(drive.Started()) << drive.Error();
    const std::string output = drive.Folder.PathOf("nohup.arec");
    QProcess process;
    const auto before = std::signal(SIGHUP, SIG_IGN);  // the child inherits it, as from nohup
    StartProgram(process, ALTRIX_SCOPE_PROGRAM, {"--record", output, "--port", drive.Link(), "--quantities", "AVI"});
    std::signal(SIGHUP, before);
    ASSERT_TRUE(process.waitForStarted(10000));
    const auto sent = [&] { return drive.Drive->Stats().BytesSent; };
    ASSERT_TRUE(WaitUntil([&] { return sent() >= 40625; }, 30s));
    ::kill(static_cast<pid_t>(process.processId()), SIGHUP);
    // Ten seconds of the drive's stream later, many polls of the stop flag, it still runs.
    const std::uint64_t hungUpAt = sent();
    EXPECT_TRUE(WaitUntil([&] { return sent() >= hungUpAt + 10 * 40625; }, 30s));
    EXPECT_EQ(process.state(), QProcess::Running);
    process.terminate();
    if (!process.waitForFinished(30000)) process.kill();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const RecordingReader::Opened opened = RecordingReader::Open(output);
    ASSERT_TRUE(opened.Reader) << opened.Error;
    EXPECT_GT(opened.Reader->Sets(), 0);
}

TEST(RecordProgramTest, AStartThatCannotWorkSaysWhyAndExits1) {
    RunningDrive drive({}, kSpeed);
    ASSERT_TRUE(drive.Started()) << drive.Error();
    const std::string taken = drive.Folder.PathOf("taken.arec");
    std::ofstream(taken) << "an earlier recording";
    const std::string missing = drive.Folder.PathOf("no-such-port");
    const std::string noFolder = drive.Folder.PathOf("gone/out.arec");
    const struct {
        std::vector<std::string> arguments;
        std::string error;
    } table[] = {
        {{"--record", drive.Folder.PathOf("a.arec"), "--port", missing, "--quantities", "AVI"},
         "altrix-scope: cannot open the port " + missing + ": No such file or directory\n"},
        {{"--record", taken, "--port", drive.Link(), "--quantities", "AVI"},
         "altrix-scope: " + taken + ": the file exists; a recording is never replaced, name a new file\n"},
        {{"--record", noFolder, "--port", drive.Link(), "--quantities", "AVI"},
         "altrix-scope: " + noFolder + ": no folder " + drive.Folder.PathOf("gone") + "\n"},
        {{"--record", drive.Folder.PathOf("a.arec"), "--port", drive.Link(), "--quantities", "AVI",
          "--trigger", "ch1 rising 1", "--events-folder", drive.Folder.PathOf("gone")},
         "altrix-scope: cannot save events: " + drive.Folder.PathOf("gone") + " is no folder\n"},
        {{"--record", "a.arec", "--port", "x", "--quantities", "speed"},
         "altrix-scope: unknown quantity \"speed\": name a preset (\"DC_bus\" or \"DC_bus (Vdc)\") or give four "
         "hexadecimal digits (\"9042\"); usage: altrix-scope --record OUT.arec"},
    };
    for (const auto& row : table) {
        QProcess process;
        StartProgram(process, ALTRIX_SCOPE_PROGRAM, row.arguments);
        if (!process.waitForFinished(30000)) process.kill();
        const std::string errors = process.readAllStandardError().toStdString();
        EXPECT_EQ(process.exitCode(), 1) << errors;
        EXPECT_EQ(errors.substr(0, row.error.size()), row.error);
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    }
    EXPECT_FALSE(std::filesystem::exists(drive.Folder.PathOf("a.arec"))) << "no file from a start that failed";
    std::ifstream kept(taken);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "an earlier recording");
}

}  // namespace
}  // namespace altrix::testing

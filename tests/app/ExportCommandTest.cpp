// altrix-scope --export-csv, run as the built program with no display: the file it writes and
// its exit status and one error line on standard error.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <unistd.h>

#include <cmath>
#include <cstdint>

namespace {

struct Finished {
    int status;
    QByteArray errors;
    QByteArray output;
};

// Runs the program with no display and no Qt platform named, or with the offscreen platform
// (so that a window could open), in `folder` when one is given.
Finished RunProgram(const QStringList& arguments, const QString& folder = {}, bool offscreen = false) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(QLatin1String(name));
    if (offscreen) environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral(ALTRIX_SCOPE_PROGRAM), arguments);
    if (!process.waitForFinished(60000)) return {-1, "did not finish", {}};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardError(),
            process.readAllStandardOutput()};
}

QByteArray Contents(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

class ExportCommandTest : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir_.filePath(QLatin1String(name)); }
    const QString twoLines_ = QStringLiteral(ALTRIX_TEST_DATA_DIR "/crlf_lines.wfd");  // -32768 32767 0 -1, then 1 2 3 4
    QTemporaryDir dir_;
};

// A file shorter than the window: its sets only, line k at the time it carries, k x 0.0002 s,
// whatever the format; --from and --to are in those times.
TEST_F(ExportCommandTest, ConvertsTheSetsAWaveformFileHolds) {
    const QString threeLines = path("three.wfd");
    QFile wfd(threeLines);
    ASSERT_TRUE(wfd.open(QIODevice::WriteOnly) && wfd.write("0.0002 5 6 7 8\r\n0.0004 -1 0 1 2\r\n0.0006 9 9 9 9\r\n") > 0);
    wfd.close();
    const struct {
        QString input;
        QStringList options;
        QByteArray csv;
    } table[] = {
        {twoLines_, {QStringLiteral("--gains"), QStringLiteral("0.01,,0.1,1")},
         "time_s,Channel 1,Channel 2,Channel 3,Channel 4\r\n0.0002,-327.68,32767,.0,-1\r\n0.0004,.01,2,.3,4\r\n"},
        {threeLines, {QStringLiteral("--raw")}, "time_s,Channel 1,Channel 2,Channel 3,Channel 4\r\n0.0002,5,6,7,8\r\n0.0004,-1,0,1,2\r\n0.0006,9,9,9,9\r\n"},
        {threeLines, {QStringLiteral("--from"), QStringLiteral("0.0004"), QStringLiteral("--to"), QStringLiteral("5")},
         "time_s,Channel 1,Channel 2,Channel 3,Channel 4\r\n0.0004,-1,0,1,2\r\n0.0006,9,9,9,9\r\n"},
    };
    for (const auto& row : table) {
        for (const char* command : {"--export-csv", "--export"}) {
            QFile::remove(path("out.csv"));
            const Finished run = RunProgram(QStringList{QLatin1String(command), row.input, path("out.csv")} + row.options);
            EXPECT_EQ(run.status, 0) << run.errors.toStdString();
            EXPECT_EQ(run.errors, QByteArray());
            EXPECT_EQ(Contents(path("out.csv")), row.csv) << command;
        }
    }
    // A stretch after the file's last set has no sets.
    const Finished late = RunProgram({QStringLiteral("--export"), threeLines, path("late.csv"), QStringLiteral("--from"), QStringLiteral("1")});
    EXPECT_EQ(late.status, 1);
    EXPECT_EQ(late.errors, "altrix-scope: no sample sets between --from and --to; the input holds 0.0002 s to 0.0006 s\n");
}

// A recording's stretch: its sets from --from to --to, its channels named and read as it names
// them (the benchmarks' fixture of one second; channel 1 sample n = 15000 + 2000 sin(n / 100000)
// + (7919 n mod 201) - 100, gain 0.01).
TEST_F(ExportCommandTest, ConvertsAStretchOfARecording) {
    const Finished run = RunProgram({QStringLiteral("--export-csv"), QStringLiteral(ALTRIX_TEST_DATA_DIR "/one_second.arec"),
                                     path("out.csv"), QStringLiteral("--from"), QStringLiteral("0.5"), QStringLiteral("--to"),
                                     QStringLiteral("0.5002"), QStringLiteral("--raw")});
    EXPECT_EQ(run.status, 0) << run.errors.toStdString();
    const QList<QByteArray> lines = Contents(path("out.csv")).split('\n');
    ASSERT_EQ(lines.size(), 4);  // the header, two sets, nothing after the last line end
    EXPECT_EQ(lines[0], "time_s,Speed feedback (Hz),Output current (A),DC bus voltage (Vdc),Mem 9060\r");
    for (const long n : {2500L, 2501L}) {
        const auto speed = static_cast<std::int16_t>(15000 + 2000 * std::sin(n / 5000.0 * 0.05) + (n * 7919 % 201) - 100);
        const QByteArray start = QByteArray::number(n / 5000.0) + ',' + QByteArray::number(speed) + ',';
        EXPECT_TRUE(lines[n - 2499].startsWith(start)) << lines[n - 2499].toStdString() << " / " << start.toStdString();
    }
}

// Columns named and gains taken from the description; --gains overrides; another file's is not used.
TEST_F(ExportCommandTest, TheDescriptionNamesTheColumns) {
    QFile::copy(twoLines_, path("in.wfd"));
    const QByteArray wfd = Contents(path("in.wfd"));
    std::uint64_t hash = 14695981039346656037ull;  // the digest it names: 64-bit FNV-1a
    for (const char byte : wfd) hash = (hash ^ static_cast<unsigned char>(byte)) * 1099511628211ull;
    QByteArray sidecar = "[Capture]\nFormat=1\nProgramVersion=1\nWaveformBytes=" + QByteArray::number(wfd.size()) +
                         "\nWaveformDigest=fnv1a64:" + QByteArray::number(qulonglong(hash), 16).rightJustified(16, '0') +
                         "\nDrawingMode=Fast\n[Ref1]\nGain=1\nYScale=1\n[Ref2]\nGain=1\nYScale=1\n[Trigger]\nMode=Off\n"
                         "Source=1\nCondition=Rising\nLevel=0\nBit=0\nPreTrigger=50\n";
    const char* const channels[4][3] = {{"DC_bus (Vdc)", "9042", "0.1"}, {"", "12ab", "0.5"}, {"", " ", "1"}, {"", "", ""}};
    for (int k = 0; k < 4; ++k)
        sidecar += QByteArray("[Channel") + char('1' + k) + "]\nEnabled=1\nQuantity=" + channels[k][0] + "\nAddress=\"" +
                   channels[k][1] + "\"\nGain=" + channels[k][2] + "\nYScale=1\n";
    const struct { QByteArray sidecar; QStringList options; QByteArray header, last, errors; } table[] = {
        {sidecar, {}, "time_s,DC_bus (Vdc),Mem 12ab,Channel 3,Channel 4\r\n", "\r\n0.0004,.1,1.0,3,4\r\n", ""},
        {sidecar, {QStringLiteral("--gains"), QStringLiteral(",,0.1,")}, "time_s,DC_bus (Vdc),", "\r\n0.0004,1,2,.3,4\r\n", ""},
        {QByteArray(sidecar).replace("Bytes=", "Bytes=1"), {}, "time_s,Channel 1,Channel 2,", "\r\n0.0004,1,2,3,4\r\n",
         "in.wfd.ini: not used: it describes other waveform data"},
    };
    for (const auto& row : table) {
        QFile out(path("in.wfd.ini"));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(row.sidecar) == row.sidecar.size());
        out.close();
        const Finished run = RunProgram(QStringList{QStringLiteral("--export-csv"), path("in.wfd"), path("out.csv")} + row.options);
        EXPECT_EQ(run.status, 0);
        EXPECT_TRUE(run.errors.contains(row.errors) && run.errors.isEmpty() == row.errors.isEmpty()) << run.errors.toStdString();
        const QByteArray csv = Contents(path("out.csv"));
        EXPECT_TRUE(csv.startsWith(row.header) && csv.endsWith(row.last)) << csv.left(60).toStdString() << csv.right(30).toStdString();
    }
}

// A file whose sets fill the trace ring whole (NextSample back at 0) shows its last 100000.
TEST_F(ExportCommandTest, FileThatFillsTheRingConverts) {
    QFile wfd(path("ring.wfd"));
    ASSERT_TRUE(wfd.open(QIODevice::WriteOnly));
    for (int k = 1; k <= 200000; ++k) wfd.write(QByteArray::number(k) + ' ' + QByteArray::number(k % 30011) + " 0 0 7\r\n");
    wfd.close();
    const Finished run = RunProgram({QStringLiteral("--export-csv"), path("ring.wfd"), path("ring.csv"), QStringLiteral("--raw")});
    EXPECT_EQ(run.status, 0) << run.errors.toStdString();
    const QList<QByteArray> csv = Contents(path("ring.csv")).split('\n');
    ASSERT_EQ(csv.size(), 100002);  // header, 100000 sets, nothing after the last line end
    EXPECT_EQ(csv[1], "0.0002,9968,0,0,7\r");            // line 100001, and 100001 % 30011 = 9968
    EXPECT_EQ(csv[100000], "20,19934,0,0,7\r");  // line 200000, and 200000 % 30011 = 19934
}

// An export onto a full disk (a file size limit, SIGXFSZ ignored, as a shell sets them for the
// program) says so and exits with 1: no crash at exit, nothing left beside the output.
TEST_F(ExportCommandTest, AnExportOntoAFullDiskFailsCleanly) {
    QFile wfd(path("in.wfd"));
    ASSERT_TRUE(wfd.open(QIODevice::WriteOnly));
    std::uint32_t x = 1;  // samples that compress badly
    const auto next = [&x] { return static_cast<std::int16_t>((x = x * 1664525u + 1013904223u) >> 16); };
    for (int k = 1; k <= 100000; ++k)
        wfd.write(QByteArray::number(k) + ' ' + QByteArray::number(next()) + ' ' + QByteArray::number(next()) + ' ' +
                  QByteArray::number(next()) + ' ' + QByteArray::number(next()) + "\r\n");
    wfd.close();
    const struct {
        const char* output;
        int blocks;  // the file size limit, in the shell's ulimit -f blocks
    } cases[] = {{"out.h5", 8}, {"out.h5", 64}, {"out.h5", 1024}, {"out.csv", 8}};  // matio reports no failed write
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.output << " within " << c.blocks << " blocks");
        QDir(dir_.path()).mkpath(QStringLiteral("out"));
        const QString output = dir_.filePath(QStringLiteral("out/") + QLatin1String(c.output));
        QProcess shell;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(QLatin1String(name));
        shell.setProcessEnvironment(environment);
        shell.start(QStringLiteral("/bin/sh"),
                    {QStringLiteral("-c"), QStringLiteral("trap '' XFSZ; ulimit -f %1; exec \"$0\" --export \"$1\" \"$2\"").arg(c.blocks),
                     QStringLiteral(ALTRIX_SCOPE_PROGRAM), path("in.wfd"), output});
        ASSERT_TRUE(shell.waitForFinished(60000));
        EXPECT_EQ(shell.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(shell.exitCode(), 1);
        EXPECT_EQ(shell.readAllStandardError(), "altrix-scope: " + output.toUtf8() + ": File too large\n");
        EXPECT_EQ(QDir(dir_.filePath(QStringLiteral("out"))).entryList(QDir::Files | QDir::Hidden), QStringList());
        QDir(dir_.filePath(QStringLiteral("out"))).removeRecursively();
    }
}

TEST_F(ExportCommandTest, FailuresExitWithOneErrorLine) {
    QFile empty(path("empty.wfd"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    QFile text(path("text.arec"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly) && text.write("time_s,A\r\n") > 0);
    text.close();
    // The input by other names: the same path, a symbolic and a hard link.
    const QString input = path("in.wfd");
    ASSERT_TRUE(QFile::copy(twoLines_, input) && QFile::link(input, path("link.wfd")));
    ASSERT_EQ(::link(QFile::encodeName(input).constData(), QFile::encodeName(path("hard.wfd")).constData()), 0);
    struct Case { QStringList arguments; const char* error; const char* command = "--export-csv"; };
    const Case cases[] = {
        {{twoLines_, path("out.txt")}, "out.txt: name the format by the suffix .csv, .mat or .h5", "--export"},
        {{path("text.arec"), path("out.h5")}, "text.arec: is no recording: it is not an SQLite database", "--export"},
        {{twoLines_, path("out.mat"), QStringLiteral("--from"), QStringLiteral("2s")}, "--from takes a time in seconds", "--export"},
        {{twoLines_, path("out.mat"), QStringLiteral("--from"), QStringLiteral("21")}, "no sample sets between --from and --to", "--export"},
        {{twoLines_, path("out.csv"), QStringLiteral("--from"), QStringLiteral("21")}, "the input holds 0.0002 s to 0.0004 s"},
        {{path("missing.wfd"), path("out.csv")}, "missing.wfd: No such file or directory"},
        {{dir_.path(), path("out.csv")}, "Not a regular file"},
        {{path("empty.wfd"), path("out.csv")}, "empty.wfd: no sample sets; not a waveform file"},
        {{twoLines_, path("no/such/folder/out.csv")}, "out.csv: No such file or directory"},
        {{twoLines_}, "an input and an output file are needed; usage: altrix-scope --export-csv IN.wfd|IN.arec OUT.csv"},
        {{twoLines_, path("out.csv"), QStringLiteral("--gains"), QStringLiteral("1,2,3")}, "--gains takes four gains"},
        {{twoLines_, path("out.csv"), QStringLiteral("--gains"), QStringLiteral("1,2,x,4")}, "--gains takes four gains"},
        {{twoLines_, path("out.csv"), QStringLiteral("--scale")}, "unexpected argument \"--scale\""},
        {{input, input}, "in.wfd: is the input file"},
        {{input, path("link.wfd")}, "link.wfd: is the input file"},
        {{path("link.wfd"), path("hard.wfd")}, "hard.wfd: is the input file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        const Finished run = RunProgram(QStringList{QLatin1String(c.command)} + c.arguments);
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(run.errors.startsWith("altrix-scope: ")) << run.errors.toStdString();
        EXPECT_TRUE(run.errors.contains(c.error)) << run.errors.toStdString();
        EXPECT_EQ(run.errors.count('\n'), 1) << run.errors.toStdString();
        EXPECT_TRUE(run.errors.endsWith('\n'));
    }
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList({"empty.wfd", "hard.wfd", "in.wfd", "link.wfd", "text.arec"}));
    EXPECT_EQ(Contents(input), Contents(twoLines_));
}

// Options are parsed strictly, in the export command and without it: "-hv" is no -h and -v,
// an argument the window does not take is an error, and "--" ends the options.
TEST_F(ExportCommandTest, OptionsAreParsedStrictly) {
    ASSERT_TRUE(QFile::copy(twoLines_, path("-v")));
    struct Case { QStringList arguments; int status; const char* shown; };
    const Case cases[] = {
        {{QStringLiteral("--export-csv"), QStringLiteral("-v"), QStringLiteral("out.csv")}, 1, "unexpected argument \"-v\""},
        {{QStringLiteral("--export-csv"), QStringLiteral("--"), QStringLiteral("-v"), QStringLiteral("out.csv")}, 0, ""},
        {{QStringLiteral("-hv")}, 1, "Unknown option 'hv'."},
        {{QStringLiteral("--"), QStringLiteral("-v")}, 1, "Unexpected argument '-v'."},
        {{QStringLiteral("-v")}, 0, "altrix-scope "},
    };
    for (const Case& c : cases) {
        const Finished run = RunProgram(c.arguments, dir_.path(), true);
        EXPECT_EQ(run.status, c.status) << c.arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE((run.output + run.errors).contains(c.shown)) << run.output.toStdString() << run.errors.toStdString();
    }
    EXPECT_EQ(Contents(path("out.csv")).count('\n'), 3);  // from the file "-v": its two sets
}

TEST(ExportCommandHelp, HelpShowsTheCommandsUsage) {
    const Finished run = RunProgram({QStringLiteral("--help")});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.output.contains("altrix-scope --export-csv IN.wfd|IN.arec OUT.csv [--from S] [--to S] [--gains G1,G2,G3,G4] [--raw]"))
        << run.output.toStdString();
    EXPECT_TRUE(run.output.contains("altrix-scope --export IN.wfd|IN.arec OUT.csv|OUT.mat|OUT.h5 [--from S] [--to S]"));
}

}  // namespace

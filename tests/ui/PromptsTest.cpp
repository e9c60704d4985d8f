// The conversion of the window's dialog descriptions into Qt's file dialog terms.

#include "Prompts.h"

#include <gtest/gtest.h>

namespace altrix {
namespace {

struct FilterCase {
    const char* pipeFilter;
    const char* qtFilter;
};

TEST(PromptsTest, PipeFiltersBecomeQtFilters) {
    const FilterCase cases[] = {
        {"WaveForm Data (*.wfd)|*.wfd|All Files (*.*)|*.*", "WaveForm Data (*.wfd);;All Files (*.*)"},
        {"WaveForm Data (*.wfd)|*.wfd|All files (*.*)|*.*", "WaveForm Data (*.wfd);;All files (*.*)"},
        {"Parameter List File (*.plf)|*.plf", "Parameter List File (*.plf)"},
        // A description that does not show its pattern gets it, so Qt filters by it.
        {"Waveforms|*.wfd", "Waveforms (*.wfd)"},
        {"Text (*.txt)|*.log", "Text (*.txt) (*.log)"},
        // Several patterns of one pair are separated by ";" in the pipe form.
        {"Data (*.wfd;*.txt)|*.wfd;*.txt", "Data (*.wfd *.txt)"},
        {"Data|*.wfd;*.txt", "Data (*.wfd *.txt)"},
        {"", ""},
        {"Lonely description", "Lonely description"},
    };
    for (const FilterCase& c : cases)
        EXPECT_EQ(QtFileFilter(QString::fromLatin1(c.pipeFilter)), QString::fromLatin1(c.qtFilter)) << c.pipeFilter;
}

TEST(PromptsTest, DefaultExtensionBecomesASuffix) {
    EXPECT_EQ(DefaultSuffix(QStringLiteral("*.wfd")), QStringLiteral("wfd"));
    EXPECT_EQ(DefaultSuffix(QStringLiteral(".wfd")), QStringLiteral("wfd"));
    EXPECT_EQ(DefaultSuffix(QStringLiteral("wfd")), QStringLiteral("wfd"));
    EXPECT_EQ(DefaultSuffix(QString()), QString());
}

}  // namespace
}  // namespace altrix

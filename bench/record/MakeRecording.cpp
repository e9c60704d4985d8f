// make-recording OUT.arec SECONDS: the benchmarks' fixture recording, for screenshots and by hand.

#include "RecordingFixture.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make-recording OUT.arec SECONDS\n");
        return 2;
    }
    const std::string problem = altrix::bench::WriteFixtureRecording(argv[1], std::atoll(argv[2]));
    if (!problem.empty()) std::fprintf(stderr, "make-recording: %s\n", problem.c_str());
    return problem.empty() ? 0 : 1;
}

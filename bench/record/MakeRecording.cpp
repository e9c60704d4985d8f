// make-recording OUT.arec SECONDS [TRIP_SECOND]: the benchmarks' fixture recording, for
// screenshots and by hand; with TRIP_SECOND, the DC bus trips once at that second.

#include "RecordingFixture.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: make-recording OUT.arec SECONDS [TRIP_SECOND]\n");
        return 2;
    }
    const std::string problem = altrix::bench::WriteFixtureRecording(argv[1], std::atoll(argv[2]), argc == 4 ? std::atoll(argv[3]) : -1);
    if (!problem.empty()) std::fprintf(stderr, "make-recording: %s\n", problem.c_str());
    return problem.empty() ? 0 : 1;
}

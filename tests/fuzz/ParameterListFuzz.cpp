// The parameter list reader on any bytes, and the base-group writer on the names it gives:
// each name is at most 40 bytes without a blank or line end, and the writer either refuses a
// name it could not give back, writing nothing, or writes a file from which every name reads
// back, byte for byte, as a key of section "usebase".

#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <list>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "ParameterFiles.h"

using namespace altrix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string listPath = fuzz::WriteInput("input.plf", data, size);
    const ParameterList list = ReadParameterNames(listPath);
    FUZZ_CHECK(!list.Missing && list.Refused.empty());
    const auto lines = static_cast<std::size_t>(std::count(data, data + size, '\n')) + 1;
    FUZZ_CHECK(list.Names.size() <= lines);
    for (const std::string& name : list.Names) {
        FUZZ_CHECK(name.size() <= static_cast<std::size_t>(kParameterLineChars));
        FUZZ_CHECK(name.find_first_of(" \n") == std::string::npos);
    }

    const std::string iniPath = (fuzz::ScratchDir() / "input.ini").string();
    std::filesystem::remove(iniPath);
    std::array<std::vector<std::string>, kBaseGroupCount> groups;
    groups[0] = list.Names;
    const bool refused = std::any_of(list.Names.begin(), list.Names.end(),
                                     [](const std::string& name) { return !BaseGroupNameProblem(name).empty(); });
    const WriteResult written = WriteBaseGroups(iniPath, groups);
    FUZZ_CHECK(written.Ok == !refused);
    if (refused) {
        FUZZ_CHECK(!std::filesystem::exists(iniPath));
        return 0;
    }
    CSimpleIniA ini;
    FUZZ_CHECK(ini.LoadFile(iniPath.c_str()) >= 0);
    for (const std::string& name : list.Names) {
        const char* value = ini.GetValue("usebase", name.c_str());
        FUZZ_CHECK(value && std::string(value) == "1");
    }
    std::list<CSimpleIniA::Entry> keys;
    ini.GetAllKeys("usebase", keys);
    for (const CSimpleIniA::Entry& key : keys) {
        FUZZ_CHECK(std::find(list.Names.begin(), list.Names.end(), key.pItem) != list.Names.end());
    }
    return 0;
}

// INI files are edited by hand and copied between machines, so their bytes are untrusted. Each
// input becomes the file; every section and key the reader lists must read back, values stay
// within the 254-character buffer, and one write changes exactly the value it names.
#include "core/inifile.h"
#include "util/text.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

void Require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

// One folder per fuzzing process; shared memory when there is one, as a file per input is slow.
const std::string& Folder() {
    static const std::string folder = [] {
        std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
        std::string pattern = base + "/orvfuzz-ini-XXXXXX";
        Require(::mkdtemp(pattern.data()) != nullptr, "a scratch folder");
        return pattern;
    }();
    return folder;
}

void Clear(const std::string& folder) {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec))
        std::filesystem::remove(e.path(), ec);
}

constexpr const char* kMissing = "\x01missing";

// Every (section, key) the reader lists, with the value a read gives.
std::map<std::pair<std::string, std::string>, std::string> Snapshot(orv::cInifile& ini) {
    std::map<std::pair<std::string, std::string>, std::string> values;
    std::vector<std::string> sections, keys;
    int32_t sectionCount = 0, keyCount = 0;
    ini.EnumerateAllSections(sections, sectionCount);
    Require(static_cast<size_t>(sectionCount) + 1 == sections.size(), "section count");
    ini.Default = kMissing;
    for (int32_t s = 1; s <= sectionCount; ++s) {
        ini.Section = sections[static_cast<size_t>(s)];
        ini.EnumerateCurrentSection(keys, keyCount);
        Require(static_cast<size_t>(keyCount) + 1 == keys.size(), "key count");
        for (int32_t k = 1; k <= keyCount; ++k) {
            ini.Key = keys[static_cast<size_t>(k)];
            // The file's own text may hold anything, the default's text included: ask the
            // reader whether the key is there rather than comparing with the default.
            std::string raw;
            Require(orv::inifile::ReadValue(ini.Path, ini.Section, ini.Key, raw),
                    "a listed key reads back");
            std::string value = ini.Value();
            Require(orv::Utf8Length(value) <= 254, "values fit the buffer");
            Require(orv::IsValidUtf8(value), "values are valid text");
            values[{orv::ToLowerAscii(ini.Section), orv::ToLowerAscii(ini.Key)}] = value;
        }
    }
    return values;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& folder = Folder();
    Clear(folder);
    const std::string path = folder + "/fuzz.ini";
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    orv::cInifile ini;
    ini.Path = path;
    auto before = Snapshot(ini);

    // Write into a listed section and key when there is one, else into new ones; the value is
    // plain so that what is read back must equal it.
    std::string section = "FuzzSection", key = "FuzzKey";
    if (!before.empty() && size > 0) {
        auto it = before.begin();
        std::advance(it, data[0] % before.size());
        if (data[0] & 0x80) {
            section = it->first.first;
            key = (data[0] & 0x40) ? it->first.second : std::string("FuzzKey");
        }
    }
    const std::string value = "v" + std::to_string(size);
    ini.Section = section;
    ini.Key = key;
    ini.SetValue(value);
    Require(ini.Success(), "the write succeeds");

    auto after = Snapshot(ini);
    const auto written = std::make_pair(orv::ToLowerAscii(section), orv::ToLowerAscii(key));
    Require(after.count(written) && after[written] == value, "the written value reads back");
    for (const auto& [name, old] : before)
        if (name != written)
            Require(after.count(name) && after[name] == old, "other values are untouched");
    return 0;
}

// Replays the fuzzers' seed corpus and every input they ever found through the harnesses,
// so that a fixed finding stays fixed in every build.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "board/fen.h"
#include "movemake/hash.h"
#include "movemake/movemake.h"
#include "tests/fuzz/harness.h"
#include "think/think.h"
#include "uci/uci.h"
#include "uci/util.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs every file of a folder through a harness; returns how many it ran.
template <typename Harness>
int ReplayFolder(const fs::path& folder, Harness harness) {
    int count = 0;
    if (!fs::exists(folder)) return 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (!entry.is_regular_file() || entry.path().filename().string()[0] == '.') continue;
        const std::string data = ReadFile(entry.path());
        SCOPED_TRACE(entry.path().string());
        harness(reinterpret_cast<const uint8_t*>(data.data()), data.size());
        ++count;
    }
    return count;
}

struct FuzzReplay : testing::Test {
    int savedOutput = OutputHandle;
    void TearDown() override {
        OutputHandle = savedOutput;
        HashSizeMB = HashDefaultMB;
        AllocateSearchTables(EngineSearch());
        StartGame(EngineGame(), StartFen);
    }
};

TEST_F(FuzzReplay, CommandCorpusAndFindings) {
    const fs::path root = SORVANE_SOURCE_DIR "/tests/fuzz";
    int ran = ReplayFolder(root / "corpus" / "commands", FuzzCommandSession);
    ran += ReplayFolder(root / "regressions" / "commands", FuzzCommandSession);
    EXPECT_GT(ran, 0);
}

TEST_F(FuzzReplay, FenCorpusAndFindings) {
    const fs::path root = SORVANE_SOURCE_DIR "/tests/fuzz";
    int ran = ReplayFolder(root / "corpus" / "fen", FuzzFenText);
    ran += ReplayFolder(root / "regressions" / "fen", FuzzFenText);
    EXPECT_GT(ran, 0);
}

}  // namespace

// The fuzzers of the runtime, the image check, project files and the merge address keep their
// checks in fuzz/<Name>Target.h: every input that once made one fail, and every seed, goes through
// the same checks again here, built as the tests are (and with the sanitizers in that tree). A
// failed check aborts, which fails the test.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "HexAddressTarget.h"
#include "ImageTarget.h"
#include "ProjectTarget.h"
#include "RuntimeTarget.h"
#include "support/TestSupport.h"

namespace lexicorn {
namespace {

namespace fs = std::filesystem;

struct Harness {
    int (*fuzz)(const std::uint8_t*, std::size_t);
    std::vector<std::string> seedFolders;  ///< under fuzz/seeds
};

const std::map<std::string, Harness>& Harnesses() {
    static const std::map<std::string, Harness> harnesses = {
        {"Runtime", {FuzzRuntime, {"Image"}}},
        {"Image", {FuzzImage, {"Image"}}},
        {"Project", {FuzzProject, {"Project"}}},
        {"HexAddress", {FuzzHexAddress, {"HexAddress"}}},
    };
    return harnesses;
}

int Replay(const std::string& name, const fs::path& folder) {
    int replayed = 0;
    if (!fs::exists(folder)) return 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        SCOPED_TRACE(name + ": " + entry.path().string());
        const std::string bytes = test::ReadFile(entry.path());
        Harnesses().at(name).fuzz(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        ++replayed;
    }
    return replayed;
}

class FuzzReplay : public testing::TestWithParam<std::string> {};

TEST_P(FuzzReplay, SeedsAndRegressionsPassTheFuzzersChecks) {
    const fs::path root = fs::path(LEXICORN_FUZZ_REGRESSIONS_DIR).parent_path();
    int replayed = Replay(GetParam(), root / "regressions" / GetParam());
    for (const std::string& seeds : Harnesses().at(GetParam()).seedFolders)
        replayed += Replay(GetParam(), root / "seeds" / seeds);
    EXPECT_GT(replayed, 0);
}

INSTANTIATE_TEST_SUITE_P(Harnesses, FuzzReplay, testing::Values("Runtime", "Image", "Project", "HexAddress"),
                         [](const auto& testCase) { return testCase.param; });

}  // namespace
}  // namespace lexicorn

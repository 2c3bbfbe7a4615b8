// Arbitrary data files through the data passes and the model build under a
// fixed layout: the first byte picks one of several layouts and models and
// whether the model records stay in memory; the rest is the data file.
#include <cstddef>
#include <cstdint>

#include "command/reader.h"
#include "fuzz_build_check.h"

using namespace ordena;

namespace {

// Each set-up must be accepted as it stands; the data are what varies.
const char* const kSetups[] = {
    "format pid 1-5 responses 7-16; model item;",
    "format pid 1-3 rater 4 responses 5-10; model rater + item*step;",
    "format pid 1-2 / responses 1-8; model item + item*step;",
    "format responses 1-12 (a2); codes 00,01,02,10; model item;",
    "format gender 1 age 2-3 responses 4-15 ! rater(3), item(4); model rater*item + gender;"
    " regression age; group gender;",
    "set respmiss=none; format responses 1-10; key ABCDABCDAB ! 1; model item;",
    "format pid 1-4 weight 5-7 responses 8-20; caseweight weight; recodes (A B C) (0 1 2); model item;",
    "set respmiss=blank; format responses 1-20; scores (0 1 2) (0 1 2) ! item (1-10);"
    " scores (0 1 2) (0 0.5 1) ! item (11-20); missing 9; model item + item*step;",
    "format pid 1-3 responses 4-9 / responses 1-6; delete ! item (2); model item;",
};
constexpr std::size_t kSetupCount = sizeof kSetups / sizeof kSetups[0];

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    fuzz::ScratchRun scratch;
    fuzz::writeFile("data.txt", std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
    fuzz::FuzzShell shell;
    Session session(shell);
    fuzz::guard(session);
    ShellScope scope(session);
    const std::string setup = std::string("datafile data.txt; ") + kSetups[data[0] % kSetupCount];
    if (runScript(session, MString(setup)) != 1) {
        // Only an empty data file may stop the set-up (datafile needs a readable file).
        if (size > 1) fuzz::broken();
        return 0;
    }
    fuzz::buildAndRead(session, shell, (data[0] / kSetupCount) % 2 == 1);
    return 0;
}

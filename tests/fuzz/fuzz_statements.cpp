// The format, coding and model statements straight to their handlers, one
// per ";", then the model build over a fixed data file: arbitrary layouts,
// code tables and terms against data that do not change.
#include <cstddef>
#include <cstdint>

#include "command/parse.h"
#include "data/coding.h"
#include "data/format.h"
#include "fuzz_build_check.h"
#include "fuzz_common_files.h"
#include "model/model_statements.h"

using namespace ordena;

namespace {

const char* const kWords[] = {"format",     "codes", "recodes",    "scores", "key",       "delete",    "missing",
                              "model",      "facets", "regression", "group", "caseweight", "itemgroup", "set"};
const Handler kStatementHandlers[] = {formatCommand,     codesCommand,  recodesCommand,     scoresCommand, keyCommand,
                                      deleteCommand,     missingCommand, modelCommand,      facetsCommand,
                                      regressionCommand, groupCommand,   caseweightCommand, itemgroupCommand,
                                      fuzz::setInScratch};  // set directory= must not leave the scratch directory
constexpr int kWordCount = sizeof kWords / sizeof kWords[0];
static_assert(kWordCount == sizeof kStatementHandlers / sizeof kStatementHandlers[0]);

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::ScratchRun scratch;
    fuzz::writeCommonFiles();
    fuzz::FuzzShell shell;
    Session session(shell);
    ShellScope scope(session);
    if (datafileCommand(session, MString("data.txt")) != 1) fuzz::broken();

    std::string text(reinterpret_cast<const char*>(data), size);
    for (char& c : text)
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find(';', pos);
        if (end == std::string::npos) end = text.size();
        MString statement(text.substr(pos, end - pos));
        pos = end + 1;
        MString word;
        int first = -1, last = -1;
        if (firstToken(statement, 0, " ", word, first, last) != 1) continue;
        MString lower = word.lower();
        int k = 0;
        while (k < kWordCount && lower.str() != kWords[k]) ++k;
        if (k == kWordCount) continue;
        int errorsBefore = shell.errors;
        int rc = kStatementHandlers[k](session, statement.mid(last + 1, statement.length()));
        if (rc != 1 && rc != -1) fuzz::broken();
        if (rc == -1 && shell.errors == errorsBefore) fuzz::broken();  // a failure always says why
    }
    fuzz::buildAndRead(session, shell);
    return 0;
}

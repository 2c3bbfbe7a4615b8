#include "command/set_reset.h"

#include <cerrno>
#include <iterator>
#include <unistd.h>

#include "command/commands.h"
#include "command/option_words.h"
#include "command/parse.h"
#include "command/session.h"

namespace ordena {

namespace {

const char* const kSetWords[] = {"seed",         "n_plausible", "p_nodes",      "iterlimit",  "innerloops",
                                 "constraints",  "update",      "warnings",     "f_nodes",    "fitdraws",
                                 "key_default",  "zero/perfect", "mle_criteria", "buffersize", "respmiss",
                                 "directory",    "plotwindows", "logestimates", "keeplastests", "mle_max"};
constexpr int kSetWordCount = static_cast<int>(sizeof kSetWords / sizeof kSetWords[0]);

enum SetWord {
    kSeed,
    kNPlausible,
    kPNodes,
    kIterlimit,
    kInnerloops,
    kConstraints,
    kUpdate,
    kWarnings,
    kFNodes,
    kFitdraws,
    kKeyDefault,
    kZeroPerfect,
    kMleCriteria,
    kBuffersize,
    kRespmiss,
    kDirectory,
    kPlotwindows,
    kLogestimates,
    kKeeplastests,
    kMleMax
};

constexpr int kDefaultBufferSize = 32767;

// An integer setting: the value must look like a number; its integer part
// is taken.
bool readInteger(Session& session, const MString& value, int& setting, const char* message) {
    if (!value.isNumber()) {
        session.errorReport(message);
        return false;
    }
    setting = value.toInt();
    return true;
}

bool readReal(Session& session, const MString& value, double& setting, const char* message) {
    if (!value.isNumber()) {
        session.errorReport(message);
        return false;
    }
    setting = value.toDouble();
    return true;
}

bool readYesNo(Session& session, const MString& value, bool& setting, const char* message) {
    MString v = value.lower();
    if (v == "yes") {
        setting = true;
    } else if (v == "no") {
        setting = false;
    } else {
        session.errorReport(message);
        return false;
    }
    return true;
}

// One of several words, lowercased; its position is the code.
bool readChoice(Session& session, const MString& value, int& setting, const char* const (&words)[4],
                const char* message) {
    MString v = value.lower();
    for (int k = 0; k < 4; ++k) {
        if (v == words[k]) {
            setting = k;
            return true;
        }
    }
    session.errorReport(message);
    return false;
}

int applySetItem(Session& session, const MString& itemText) {
    Settings& s = session.ws.settings;
    EstimationState& est = session.ws.est;

    MString item = itemText.trim();
    MString word;
    int first = -1, last = -1;
    if (firstToken(item, 0, "=", word, first, last) == -1 || (word = word.trim()).isEmpty()) {
        session.errorReport("Error in set argument");
        return -1;
    }
    MString value = item.mid(last + 2, item.length()).trim();

    int which = matchKeyword(word, kSetWords, kSetWordCount);
    if (which < 0) {
        session.errorReport(" An incorrect set argument");
        return -1;
    }

    switch (which) {
        case kSeed:
            if (!readInteger(session, value, s.seed, " seed is not a number")) return -1;
            session.uniform.setseed(s.seed);
            session.normal.setseed(s.seed);
            return 1;
        case kNPlausible:
            if (!readInteger(session, value, s.n_plausible, "The number of plausible values is not a number"))
                return -1;
            est.plausibleCountChanged();
            return 1;
        case kPNodes:
            if (!readInteger(session, value, s.p_nodes, " number of nodes not a number")) return -1;
            est.eapAvailable = false;
            est.plausibleAvailable = false;
            return 1;
        case kIterlimit:
            if (!readInteger(session, value, s.iterlimit, "The number of iterations is not a number")) return -1;
            if (s.iterlimit < 5) {
                s.iterlimit = 5;
                session.warningReport("The iterlimit must has been set at its minimim possible value - 5");
            }
            return 1;
        case kInnerloops:
            return readInteger(session, value, s.innerloops, "The number of inner loops is not a number") ? 1 : -1;
        case kConstraints: {
            static const char* const words[4] = {"default", "items", "cases", "none"};
            if (!readChoice(session, value, s.constraints, words,
                            "The constraint method must be one of: default, items, none or cases"))
                return -1;
            est.invalidateCaseEstimates();
            est.estimated = 0;
            return 1;
        }
        case kUpdate:
            return readYesNo(session, value, s.update, "The update value must be either yes or no") ? 1 : -1;
        case kWarnings:
            return readYesNo(session, value, s.warnings, "The warning value must be either yes or no") ? 1 : -1;
        case kFNodes:
            return readInteger(session, value, s.f_nodes, "The number of nodes fir fit calculation is not a number")
                       ? 1
                       : -1;
        case kFitdraws:
            return readInteger(session, value, s.fitdraws, "The number of fit draws is not a number") ? 1 : -1;
        case kKeyDefault:
            if (value.length() != 1) {
                session.errorReport("The default key must be a single character");
                return -1;
            }
            s.key_default = value;
            return 1;
        case kZeroPerfect:
            if (!readReal(session, value, s.zero_perfect, "The perfect/zero value is not a number")) return -1;
            est.mleAvailable = false;
            return 1;
        case kMleCriteria:
            if (!readReal(session, value, s.mle_criteria, "The MLE criteria is not a number")) return -1;
            est.mleAvailable = false;
            return 1;
        case kMleMax:
            return readReal(session, value, s.mle_max, "The MLE criteria is not a number") ? 1 : -1;
        case kBuffersize: {
            if (!value.isDigits()) {
                session.errorReport("The buffer size is not an integer");
                return -1;
            }
            int n = value.toInt();
            const char* message = nullptr;
            if (n < 4096) message = "The buffer size is too small. It has been set to the default";
            else if (n > 1048576) message = "The buffer size is too large. It has been set to the default";
            if (message != nullptr) {
                s.buffersize = kDefaultBufferSize;
                session.setOutputLimit(kDefaultBufferSize);
                session.errorReport(message);
                return -1;
            }
            s.buffersize = n;
            session.setOutputLimit(n);
            return 1;
        }
        case kRespmiss: {
            static const char* const words[4] = {"dot", "blank", "both", "none"};
            return readChoice(session, value, s.respmiss, words,
                              "The respmiss value must be one of: NONE, BOTH, DOT, BLANK")
                       ? 1
                       : -1;
        }
        case kDirectory:
            // Names are kept as written: this file system tells letter cases
            // apart. A name holding a zero byte would name another directory.
            if (value.str().find('\0') != std::string::npos || ::chdir(value.c_str()) != 0) {
                session.errorReport("Unable to locate directory: " + value);
                return -1;
            }
            return 1;
        case kPlotwindows:
            if (!value.isDigits()) {
                session.errorReport("The number of plot windows is not an integer");
                return -1;
            }
            if (value.toInt() < 0) {
                session.errorReport("The number of plot windows must be positive");
                return -1;
            }
            s.plotwindows = value.toInt();
            return 1;
        case kLogestimates:
            return readYesNo(session, value, s.logestimates, "The logestimates value must be either yes or no") ? 1
                                                                                                                : -1;
        case kKeeplastests:
            return readYesNo(session, value, s.keeplastests, "The keeplastests value must be either yes or no") ? 1
                                                                                                                : -1;
        default:
            return -1;
    }
}

}  // namespace

void refreshStatusPanes(Session& session) {
    const Settings& s = session.ws.settings;
    session.statusText(s.update ? "Automatic Estimate Updates: YES" : "Automatic Estimate Updates: NO", 3);
    session.statusText(s.warnings ? "Warnings: YES" : "Warnings: NO", 2);
}

void restoreDefaultSettings(Session& session) {
    Workspace& ws = session.ws;
    // The output pane keeps its limit until the next set buffersize.
    ws.settings = Settings{};
    session.uniform.setseed(1);
    session.normal.setseed(1);
    session.mvnormal.setseed(1);
    ws.est.estimated = 0;
    ws.est.invalidateCaseEstimates();
    ws.replication = -1;
}

void resetWorkspace(Session& session, bool clearOutput) {
    Workspace& ws = session.ws;
    if (clearOutput) session.clearOutput();
    ws.data.clearOnReset();   // codes, recodes, scores, keys, deletes
    ws.model.clearOnReset();  // variable lists and their copies from the last data pass
    ws.title = kDefaultTitle;
    ws.labels.clear();
    ws.est.estimated = 0;
    ws.est.invalidateCaseEstimates();
    ws.est.options = EstimateOptions{};
    restoreDefaultSettings(session);
    ws.files.clearOnReset();  // import and export names; closes the log file
    ws.est.anchors.clear();
    ws.removeWorkFiles();
    session.statusText("Log File: NONE", 1);
    // What the message pane said of the old workspace ("System file loaded")
    // no longer holds.
    session.statusText("Ready", 0);
    ws.est.releaseWorkArrays();
    ws.build = ModelBuild{};
    session.tokens.clear();
    refreshStatusPanes(session);
}

int handleReset(Session& session, const MString&) {
    session.ws.dataPassNeeded = 1;
    session.ws.est.estimated = 0;
    resetWorkspace(session, true);
    return 1;
}

int handleSet(Session& session, const MString& arguments) {
    MString text = arguments.trim();
    if (text.isEmpty()) {
        restoreDefaultSettings(session);
        refreshStatusPanes(session);
        return 1;
    }
    SplitStatement split = splitArguments(text);
    if (!split.file.isEmpty()) {
        session.errorReport("File redirection is not valid for this command");
        return -1;
    }
    if (!split.options.isEmpty()) {
        session.errorReport("Options not valid for this command");
        return -1;
    }
    const std::string items = (split.arguments + ",").str();
    std::size_t pos = 0;
    while (true) {
        std::size_t start = items.find_first_not_of(' ', pos);
        if (start == std::string::npos) break;
        std::size_t comma = items.find(',', start);
        if (applySetItem(session, MString(items.substr(start, comma - start))) == -1) return -1;
        pos = comma + 1;
    }
    refreshStatusPanes(session);
    return 1;
}

OptionWords setOptionWords() { return {std::begin(kSetWords), std::end(kSetWords)}; }

}  // namespace ordena

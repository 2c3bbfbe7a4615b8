#include "command/set_reset.h"

#include <cerrno>
#include <unistd.h>

#include "command/commands.h"
#include "command/option_table.h"
#include "command/parse.h"
#include "command/session.h"

namespace ordena {

namespace {

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
    MString item = itemText.trim();
    MString word;
    int first = -1, last = -1;
    if (firstToken(item, 0, "=", word, first, last) == -1 || (word = word.trim()).isEmpty()) {
        session.errorReport("Error in set argument");
        return -1;
    }
    MString value = item.mid(last + 2, item.length()).trim();

    const OptionTable<Session>& table = setOptionTable();
    int which = matchOptionWord(table.words(), word);
    if (which < 0) {
        session.errorReport(" An incorrect set argument");
        return -1;
    }
    const OptionRow<Session>& row = table.rows()[static_cast<std::size_t>(which)];
    return row.set(OptionValue(session, value, row.refusal), session);
}

}  // namespace

const OptionTable<Session>& setOptionTable() {
    using V = const OptionValue&;
    using S = Session&;
    // Settings that take a number, a real number or yes/no and change nothing else.
    auto integer = [](const char* word, int Settings::*setting, const char* refusal) {
        return OptionRow<Session>{word, OptionKind::Whole, refusal, [setting](V v, S session) {
                                      return readInteger(session, v.text, session.ws.settings.*setting, v.refusal())
                                                 ? 1
                                                 : -1;
                                  }};
    };
    auto real = [](const char* word, double Settings::*setting, const char* refusal) {
        return OptionRow<Session>{word, OptionKind::Number, refusal, [setting](V v, S session) {
                                      return readReal(session, v.text, session.ws.settings.*setting, v.refusal())
                                                 ? 1
                                                 : -1;
                                  }};
    };
    auto yesNo = [](const char* word, bool Settings::*setting, const char* refusal) {
        return OptionRow<Session>{word, OptionKind::YesNo, refusal, [setting](V v, S session) {
                                      return readYesNo(session, v.text, session.ws.settings.*setting, v.refusal())
                                                 ? 1
                                                 : -1;
                                  }};
    };
    static const OptionTable<Session> table(
        {"set", "Error in set argument", " An incorrect set argument"},
        {
            {"seed", OptionKind::Whole, " seed is not a number",
             [](V v, S session) {
                 Settings& s = session.ws.settings;
                 if (!readInteger(session, v.text, s.seed, v.refusal())) return -1;
                 // All three generators, so that every generated number
                 // (the multivariate normal abilities among them) follows it.
                 // The multivariate one starts from its start-up parameters:
                 // its warm-up draws depend on the dimension, and the seed
                 // alone must fix the stream, whatever ran before.
                 session.uniform.setseed(s.seed);
                 session.normal.setseed(s.seed);
                 session.mvnormal = RanMVNormal(zeroVector(1), identity(1), s.seed);
                 return 1;
             }},
            {"n_plausible", OptionKind::Whole, "The number of plausible values is not a number",
             [](V v, S session) {
                 if (!readInteger(session, v.text, session.ws.settings.n_plausible, v.refusal())) return -1;
                 session.ws.est.plausibleCountChanged();
                 return 1;
             }},
            {"p_nodes", OptionKind::Whole, " number of nodes not a number",
             [](V v, S session) {
                 if (!readInteger(session, v.text, session.ws.settings.p_nodes, v.refusal())) return -1;
                 session.ws.est.eapAvailable = false;
                 session.ws.est.plausibleAvailable = false;
                 return 1;
             }},
            {"iterlimit", OptionKind::Whole, "The number of iterations is not a number",
             [](V v, S session) {
                 Settings& s = session.ws.settings;
                 if (!readInteger(session, v.text, s.iterlimit, v.refusal())) return -1;
                 if (s.iterlimit < 5) {
                     s.iterlimit = 5;
                     session.warningReport("The iterlimit must has been set at its minimim possible value - 5");
                 }
                 return 1;
             }},
            integer("innerloops", &Settings::innerloops, "The number of inner loops is not a number"),
            {"constraints", OptionKind::Choice, "The constraint method must be one of: default, items, none or cases",
             [](V v, S session) {
                 static const char* const words[4] = {"default", "items", "cases", "none"};
                 if (!readChoice(session, v.text, session.ws.settings.constraints, words, v.refusal())) return -1;
                 session.ws.est.invalidateCaseEstimates();
                 session.ws.est.estimated = 0;
                 return 1;
             },
             "constraint"},
            yesNo("update", &Settings::update, "The update value must be either yes or no"),
            yesNo("warnings", &Settings::warnings, "The warning value must be either yes or no"),
            integer("f_nodes", &Settings::f_nodes, "The number of nodes fir fit calculation is not a number"),
            integer("fitdraws", &Settings::fitdraws, "The number of fit draws is not a number"),
            {"key_default", OptionKind::Text, "The default key must be a single character",
             [](V v, S session) {
                 if (v.text.length() != 1) return v.refuse();
                 session.ws.settings.key_default = v.text;
                 return 1;
             }},
            {"zero/perfect", OptionKind::Number, "The perfect/zero value is not a number",
             [](V v, S session) {
                 if (!readReal(session, v.text, session.ws.settings.zero_perfect, v.refusal())) return -1;
                 session.ws.est.mleAvailable = false;
                 return 1;
             }},
            {"mle_criteria", OptionKind::Number, "The MLE criteria is not a number",
             [](V v, S session) {
                 if (!readReal(session, v.text, session.ws.settings.mle_criteria, v.refusal())) return -1;
                 session.ws.est.mleAvailable = false;
                 return 1;
             }},
            {"buffersize", OptionKind::Whole, "The buffer size is not an integer",
             [](V v, S session) {
                 Settings& s = session.ws.settings;
                 if (!v.text.isDigits()) return v.refuse();
                 const int n = v.text.toInt();
                 const char* message = nullptr;
                 if (n < 4096) message = "The buffer size is too small. It has been set to the default";
                 else if (n > 1048576) message = "The buffer size is too large. It has been set to the default";
                 if (message != nullptr) {
                     s.buffersize = kDefaultBufferSize;
                     session.setOutputLimit(kDefaultBufferSize);
                     return v.refuse(message);
                 }
                 s.buffersize = n;
                 session.setOutputLimit(n);
                 return 1;
             }},
            {"respmiss", OptionKind::Choice, "The respmiss value must be one of: NONE, BOTH, DOT, BLANK",
             [](V v, S session) {
                 static const char* const words[4] = {"dot", "blank", "both", "none"};
                 return readChoice(session, v.text, session.ws.settings.respmiss, words, v.refusal()) ? 1 : -1;
             }},
            {"directory", OptionKind::File, "Unable to locate directory: ",
             [](V v, S) {
                 // Names are kept as written: this file system tells letter cases
                 // apart. A name holding a zero byte would name another directory.
                 if (v.text.str().find('\0') != std::string::npos || ::chdir(v.text.c_str()) != 0)
                     return v.refuse(v.refusal() + v.text);
                 return 1;
             }},
            {"plotwindows", OptionKind::Whole, "The number of plot windows is not an integer",
             [](V v, S session) {
                 if (!v.text.isDigits()) return v.refuse();
                 if (v.text.toInt() < 0) return v.refuse("The number of plot windows must be positive");
                 session.ws.settings.plotwindows = v.text.toInt();
                 return 1;
             }},
            yesNo("logestimates", &Settings::logestimates, "The logestimates value must be either yes or no"),
            yesNo("keeplastests", &Settings::keeplastests, "The keeplastests value must be either yes or no"),
            real("mle_max", &Settings::mle_max, "The MLE criteria is not a number"),
        });
    return table;
}

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

OptionWords setOptionWords() { return setOptionTable().words(); }

}  // namespace ordena

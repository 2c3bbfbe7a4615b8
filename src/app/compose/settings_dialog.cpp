#include "app/compose/settings_dialog.h"

#include <vector>

#include "app/compose/dialog_fields.h"
#include "command/set_reset.h"

namespace ordena {

namespace {

const char* const kConstraintWords[] = {"default", "items", "cases", "none"};  // by setting code
const char* const kRespMissWords[] = {"dot", "blank", "both", "none"};         // by setting code

const char* wordOf(const char* const (&words)[4], int code) { return code >= 0 && code < 4 ? words[code] : ""; }

const char* yesNo(bool on) { return on ? "yes" : "no"; }

}  // namespace

SettingsFields settingsFields(const Settings& s) {
    SettingsFields f;
    f.seed = itoMString(s.seed);
    f.buffersize = itoMString(s.buffersize);
    f.fitdraws = itoMString(s.fitdraws);
    f.iterlimit = itoMString(s.iterlimit);
    f.p_nodes = itoMString(s.p_nodes);
    f.n_plausible = itoMString(s.n_plausible);
    f.f_nodes = itoMString(s.f_nodes);
    f.innerloops = itoMString(s.innerloops);
    f.mle_criteria = realFieldText(s.mle_criteria);
    f.zero_perfect = realFieldText(s.zero_perfect);
    f.key_default = s.key_default;
    f.update = s.update;
    f.warnings = s.warnings;
    f.logestimates = s.logestimates;
    f.keeplastests = s.keeplastests;
    f.constraints = s.constraints;
    f.respmiss = s.respmiss;
    return f;
}

MString composeSet(const SettingsFields& f, const Settings& s) {
    const OptionTable<Session>& table = setOptionTable();
    std::vector<MString> items;
    auto integer = [&](const char* word, const MString& field, int setting) {
        const MString text = fieldText(field);
        if (text.toInt() != setting) items.push_back(table.dialogText(word) + text);
    };
    auto real = [&](const char* word, const MString& field, double setting) {
        const MString text = fieldText(field);
        if (text.toDouble() != setting) items.push_back(table.dialogText(word) + text);
    };
    auto word = [&](bool changed, const char* option, const char* value) {
        if (changed) items.push_back(table.dialogText(option) + value);
    };
    integer("seed", f.seed, s.seed);
    integer("buffersize", f.buffersize, s.buffersize);
    integer("fitdraws", f.fitdraws, s.fitdraws);
    integer("iterlimit", f.iterlimit, s.iterlimit);
    integer("p_nodes", f.p_nodes, s.p_nodes);
    integer("n_plausible", f.n_plausible, s.n_plausible);
    integer("f_nodes", f.f_nodes, s.f_nodes);
    integer("innerloops", f.innerloops, s.innerloops);
    real("mle_criteria", f.mle_criteria, s.mle_criteria);
    real("zero/perfect", f.zero_perfect, s.zero_perfect);
    const MString keyDefault = fieldText(f.key_default);
    if (keyDefault != s.key_default) items.push_back(table.dialogText("key_default") + keyDefault);
    word(f.constraints != s.constraints, "constraints", wordOf(kConstraintWords, f.constraints));
    word(f.respmiss != s.respmiss, "respmiss", wordOf(kRespMissWords, f.respmiss));
    word(f.warnings != s.warnings, "warnings", yesNo(f.warnings));
    word(f.logestimates != s.logestimates, "logestimates", yesNo(f.logestimates));
    word(f.keeplastests != s.keeplastests, "keeplastests", yesNo(f.keeplastests));
    word(f.update != s.update, "update", yesNo(f.update));
    // "Set " alone would restore every default, not leave the settings as shown.
    if (items.empty()) return MString();
    return "Set " + joinTexts(items, ", ");
}

}  // namespace ordena

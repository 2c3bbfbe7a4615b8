// The "System Settings" dialog: the set statement made of the controls that
// differ from the current settings.
#pragma once

#include "base/mstring.h"
#include "command/settings.h"

namespace ordena {

struct SettingsFields {
    MString seed;
    MString buffersize;
    MString fitdraws;
    MString iterlimit;
    MString p_nodes;
    MString n_plausible;
    MString f_nodes;
    MString innerloops;
    MString mle_criteria;
    MString zero_perfect;
    MString key_default;
    bool update = false;
    bool warnings = true;
    bool logestimates = true;
    bool keeplastests = false;
    int constraints = kConstraintsDefault;  // the setting's code
    int respmiss = kRespMissBoth;           // the setting's code
};

// What the controls show for the given settings; "Defaults" shows them for
// the default settings.
SettingsFields settingsFields(const Settings& settings);

// "Set " followed by the differing items; empty when nothing differs, so
// that the dialog runs nothing ("Set " alone would restore every default).
MString composeSet(const SettingsFields& fields, const Settings& current);

}  // namespace ordena

// The settings changed by "set", with their defaults.
#pragma once

#include "base/mstring.h"

namespace ordena {

enum Constraints { kConstraintsDefault = 0, kConstraintsItems = 1, kConstraintsCases = 2, kConstraintsNone = 3 };
enum RespMiss { kRespMissDot = 0, kRespMissBlank = 1, kRespMissBoth = 2, kRespMissNone = 3 };

struct Settings {
    int seed = 1;
    int n_plausible = 5;
    int p_nodes = 2000;
    int iterlimit = 100;
    int innerloops = 10;
    int constraints = kConstraintsDefault;
    bool update = false;
    bool warnings = true;
    int f_nodes = 1000;
    int fitdraws = 1;
    MString key_default = "0";
    double zero_perfect = 0.3;
    double mle_criteria = 0.001;
    int buffersize = 32767;
    int respmiss = kRespMissBoth;
    int plotwindows = 100;
    bool logestimates = true;
    bool keeplastests = false;
    double mle_max = 10.0;
};

}  // namespace ordena

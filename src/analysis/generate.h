// The generate statement: draws item parameters and abilities from stated
// distributions (or reads them from files) and responses from the partial
// credit form of the model, and writes a fixed-column data file.
#pragma once

#include <vector>

#include "base/mstring.h"
#include "command/option_table.h"

namespace ordena {

class Session;

// What generate draws from. A file name that is not given holds "NULL".
struct GenerationSettings {
    enum ItemKind { kItemUniform = 0, kItemNormal = 1, kItemFile = 2 };
    enum AbilityKind {
        kAbilityUniform = 0,
        kAbilityNormal = 1,
        kAbilityNormal2 = 2,
        kAbilityMvnormal = 3,
        kAbilityFile = 4
    };

    std::vector<int> items{10};  // per dimension
    int persons = 100;
    int maxScore = 1;
    int itemKind = kItemNormal;
    std::vector<double> itemArgs{0.0, 1.0};
    MString itemFile = "NULL";
    MString itemText = "normal(0:1)";  // the option value, as given
    int abilityKind = kAbilityNormal;
    std::vector<double> abilityArgs{0.0, 1.0};
    MString abilityFile = "NULL";
    MString abilityText = "normal(0:1)";
    bool centre = false;
    MString regressionFile = "NULL";
    std::vector<MString> regressionVariables;  // may hold "group" under normal2
    MString regressionText;
    MString scoreFile = "NULL";

    int dimensions() const { return static_cast<int>(items.size()); }
    int itemCount() const;
    // The dimensions of the ability distribution: mvnormal's, else 1.
    int abilityDimensions() const;
    // Regression variables read from the regression file (all but group).
    int regressionFileColumns() const;
};

// The options of the generate statement.
const OptionTable<GenerationSettings>& generateOptionTable();
// The checks made once all options are read. 1, or -1 after the report.
int checkGenerationSettings(Session& session, const GenerationSettings& settings);
// The checks of the distribution values made before generating.
int checkDistributionValues(Session& session, const GenerationSettings& settings);

// The tables one generate statement draws or reads.
struct GeneratedTables {
    int I = 0, M = 1, D = 1, N = 0;
    std::vector<double> items;        // I x M: location, then the steps 1..M-1
    std::vector<int> dimensionOf;     // per item, from 0
    std::vector<double> scores;       // I x (M + 1) x D scoring vectors
    std::vector<double> abilities;    // N x D
    std::vector<double> groupValues;  // N under normal2, else empty
    std::vector<double> regression;   // N x (regression file columns)

    double item(int i, int k) const { return items[static_cast<std::size_t>(i) * M + k]; }
    double score(int i, int k, int d) const { return scores[(static_cast<std::size_t>(i) * (M + 1) + k) * D + d]; }
    double ability(int n, int d) const { return abilities[static_cast<std::size_t>(n) * D + d]; }
};

// The scoring vectors of the tables' items: category k scores k on the
// item's dimension, unless the score file gives the category another
// scoring vector. 1, or -1 after the report.
int scoringVectors(Session& session, const GenerationSettings& settings, GeneratedTables& tables);

// The probabilities of the categories 0..M of item i for ability theta (D
// values) under the generating model, into p.
void generatingProbabilities(const GeneratedTables& tables, int i, const double* theta, std::vector<double>& p);

// Reads and checks a generate statement: its settings and the names after
// ">>" (data, item parameter and ability files). 1, or -1 after the report.
int parseGenerateStatement(Session& session, const MString& arguments, GenerationSettings& settings,
                           std::vector<MString>& files);

int generateCommand(Session& session, const MString& arguments);

}  // namespace ordena

#include "app/compose/menu_statements.h"

#include <array>
#include <string>

namespace ordena {

namespace {

constexpr const char* kTxt = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
constexpr const char* kDesSave = "Design Matrices (*.des)|*.des|All Files (*.*)|*.*||";
constexpr const char* kDesOpen = "Design Matrices (*.des)|*.des|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
constexpr const char* kDesFit = "Design Files (*.des)|*.DES|Text Files (*.txt)|*.TXT|ALL Files (*.*)|*.*||";
constexpr const char* kZrl = "Log files (*.zrl)|*.zrl|All Files (*.*)|*.*||";
constexpr const char* kDat = "Data files (*.dat)|*.dat|All Files (*.*)|*.*||";
constexpr const char* kDataFile = "Data Files (*.dat)|*.DAT|Text Files (*.txt)|*.TXT|ALL Files (*.*)|*.*||";
constexpr const char* kZrsSave = "Ordena System Files (*.zrs)|*.zrs|All Files (*.*)|*.*||";
constexpr const char* kZrsOpen = "System Files (*.zrs)|*.zrs|All Files (*.*)|*.*||";
constexpr const char* kZrc = "Command Files (*.zrc)|*.zrc|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
constexpr const char* kLab = "Label Files (*.lab)|*.lab|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
constexpr const char* kEap = "EAP Files (*.eap)|*.eap|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
constexpr const char* kMle = "MLE Files (*.mle)|*.mle|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
constexpr const char* kWle = "WLE Files (*.wle)|*.wle|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
constexpr const char* kEqv = "EQV Files (*.eqv)|*.eqv|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";

using M = MenuStatement;
constexpr MenuDialog N = MenuDialog::None, S = MenuDialog::Save, O = MenuDialog::Open;

constexpr std::array<MenuStatementItem, static_cast<std::size_t>(M::Count)> kItems = {{
    {M::SummaryTable, "Tables", "Summary Table", "show parameters!table=1", N, "", "", true},
    {M::ItemParameterEstimates, "Tables", "Item Parameter Estimates", "show parameters!table=2", N, "", "", true},
    {M::PopulationParameterEstimates, "Tables", "Population Parameter Estimates", "show parameters!table=3", N, "",
     "", true},
    {M::CombinedItemDifficultyMap, "Tables", "Combined Item Difficulty Map", "show parameters!table=4", N, "", "",
     true},
    {M::GinThresholdMap, "Tables", "GIN Threshold Map", "show parameters!table=5", N, "", "", true},
    {M::GinThresholdTable, "Tables", "GIN Threshold Table", "show parameters!table=7", N, "", "", true},
    {M::ByDimensionItemDifficultyMaps, "Tables", "By Dimension Item Difficulty Maps", "show parameters!table=9", N,
     "", "", true},
    {M::EstimatesCovarianceMatrix, "Tables", "Estimates Variance/Covariance Matrix", "show parameters!table=10", N,
     "", "", true},
    {M::EquivalenceMle, "Tables/Raw Score<->Logit Equivalence", "MLE", "equivalence mle", N, "", "", true},
    {M::EquivalenceWle, "Tables/Raw Score<->Logit Equivalence", "WLE", "equivalence wle ", N, "", "", true},
    {M::WriteThresholdFile, "Tables", "Write Threshold File...", "show parameters!table=7 >>", S, "TXT", kTxt, true},
    {M::WriteDeltaFile, "Tables", "Write Delta File...", "show parameters!table=8 >>", S, "TXT", kTxt, true},
    {M::WritePlausibleValueFile, "Tables", "Write Plausible Value File...", "show cases!estimates=latent >>", S,
     "TXT", kTxt, true},
    {M::WriteEapFile, "Tables", "Write EAP File...", "show cases!estimates=eap >>", S, "EAP", kEap, true},
    {M::WriteMleFile, "Tables", "Write MLE File...", "show cases!estimates=mle >>", S, "MLE", kMle, true},
    {M::WriteWleFile, "Tables", "Write WLE File...", "show cases!estimates=wle >>", S, "WLE", kWle, true},
    {M::EquivalenceFileMle, "Tables/Raw Score<->Logit Equivalence File", "MLE...", "equivalence mle >>", S, "EQV",
     kEqv, true},
    {M::EquivalenceFileWle, "Tables/Raw Score<->Logit Equivalence File", "WLE...", "equivalence wle >>", S, "EQV",
     kEqv, true},
    {M::ExportTraditionalItemStatistics, "Tables", "Export Traditional Item Statistics...",
     "itanal !format=export>>", S, "TXT", kTxt, false},
    {M::ExportItemParameters, "File/Export", "Item parameter estimates...", "export parameters>>", S, "TXT", kTxt,
     false},
    {M::ExportRegressionParameters, "File/Export", "Regression Parameter Estimates...", "export reg_coefficients>>",
     S, "TXT", kTxt, false},
    {M::ExportCovariance, "File/Export", "(Co)Variance Estimates...", "export covariance>>", S, "TXT", kTxt, false},
    {M::ExportDesignMatrix, "File/Export", "Design Matrix...", "export designmatrix>>", S, "DES", kDesSave, false},
    {M::ExportLogFile, "File/Export", "Log file...", "export logfile>>", S, "ZRL", kZrl, false},
    {M::ExportScoredData, "File/Export", "Scored data...", "export scoreddata>>", S, "dat", kDat, false},
    {M::SaveSystemFile, "File", "Save System File...", "put>>", S, "ZRS", kZrsSave, false},
    {M::GetSystemFile, "File", "Get System File...", "get <<", O, "ZRS", kZrsOpen, false},
    {M::ImportItemAnchors, "File/Import", "Item parameter anchors...", "import anchor_parameters<<", O, "TXT", kTxt,
     false},
    {M::ImportItemInitialValues, "File/Import", "Item parameter initial values...", "import init_parameters<<", O,
     "TXT", kTxt, false},
    {M::ImportRegressionAnchors, "File/Import", "Regression parameter anchors...",
     "import anchor_reg_coefficients<<", O, "TXT", kTxt, false},
    {M::ImportRegressionInitialValues, "File/Import", "Regression parameter initial values...",
     "import init_reg_coefficients<<", O, "TXT", kTxt, false},
    {M::ImportCovarianceAnchors, "File/Import", "(Co)Variance parameter anchors...", "import anchor_covariance<<", O,
     "TXT", kTxt, false},
    {M::ImportCovarianceInitialValues, "File/Import", "(Co)Variance parameter initial values...",
     "import init_covariance<<", O, "TXT", kTxt, false},
    {M::ImportDesignMatrix, "File/Import", "Design Matrix...", "import designmatrix<<", O, "DES", kDesOpen, false},
    {M::Labels, "Command", "Labels...", "labels <<", O, "LAB", kLab, false},
    {M::SubmitCommands, "File", "Submit commands...", "submit ", O, "ZRC", kZrc, false},
    {M::DataFile, "Command", "Data File...", "datafile ", O, "DAT", kDataFile, false},
    {M::Fit, "Analysis", "Fit...", "fit ", O, "DES", kDesFit, true},
    {M::Reset, "Command", "Reset", "reset", N, "", "", false},
}};

}  // namespace

std::span<const MenuStatementItem> menuStatements() { return kItems; }

const MenuStatementItem& menuStatement(MenuStatement id) { return kItems[static_cast<std::size_t>(id)]; }

MString composeMenuStatement(const MenuStatementItem& item, const MString& path) {
    if (item.dialog == MenuDialog::None) return MString(item.statement);
    return MString(item.statement) + path;
}

std::vector<FileFilter> splitFilter(const char* filter) {
    std::vector<std::string> parts;
    std::string part;
    for (const char* p = filter; *p != '\0'; ++p) {
        if (*p == '|') {
            if (part.empty()) break;  // the closing "||"
            parts.push_back(part);
            part.clear();
        } else {
            part += *p;
        }
    }
    std::vector<FileFilter> result;
    for (std::size_t k = 0; k + 1 < parts.size(); k += 2) result.push_back({parts[k], parts[k + 1]});
    return result;
}

}  // namespace ordena

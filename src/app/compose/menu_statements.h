// The statements that the main window's menu items compose: a fixed text,
// and for most items the path chosen in a file dialog appended to it. The
// window shows the dialog with the item's filter and default extension and
// runs the statement; a cancelled dialog runs nothing.
#pragma once

#include <span>
#include <vector>

#include "base/mstring.h"

namespace ordena {

enum class MenuDialog { None, Save, Open };

enum class MenuStatement {
    SummaryTable,
    ItemParameterEstimates,
    PopulationParameterEstimates,
    CombinedItemDifficultyMap,
    GinThresholdMap,
    GinThresholdTable,
    ByDimensionItemDifficultyMaps,
    EstimatesCovarianceMatrix,
    EquivalenceMle,
    EquivalenceWle,
    WriteThresholdFile,
    WriteDeltaFile,
    WritePlausibleValueFile,
    WriteEapFile,
    WriteMleFile,
    WriteWleFile,
    EquivalenceFileMle,
    EquivalenceFileWle,
    ExportTraditionalItemStatistics,
    ExportItemParameters,
    ExportRegressionParameters,
    ExportCovariance,
    ExportDesignMatrix,
    ExportLogFile,
    ExportScoredData,
    SaveSystemFile,
    GetSystemFile,
    ImportItemAnchors,
    ImportItemInitialValues,
    ImportRegressionAnchors,
    ImportRegressionInitialValues,
    ImportCovarianceAnchors,
    ImportCovarianceInitialValues,
    ImportDesignMatrix,
    Labels,
    SubmitCommands,
    DataFile,
    Fit,
    Reset,
    Count
};

struct MenuStatementItem {
    MenuStatement id;
    const char* menu;       // the menu that holds the item, and its submenu: "File/Export"
    const char* label;      // the item's text
    const char* statement;  // the statement, or its text before the path
    MenuDialog dialog;
    const char* defaultExtension;  // of the file dialog; empty without one
    // The file dialog's filter list: pairs of description and patterns,
    // each part ended by "|", the list by a second "|".
    const char* filter;
    bool needsEstimate;  // enabled only while an estimate exists
};

// Every item, in the order of MenuStatement.
std::span<const MenuStatementItem> menuStatements();
const MenuStatementItem& menuStatement(MenuStatement id);

// The statement an item runs; path is the file dialog's answer (ignored by
// items without a dialog).
MString composeMenuStatement(const MenuStatementItem& item, const MString& path);

// One entry of a filter list: what the user reads and the patterns, split at ";".
struct FileFilter {
    MString description;
    MString patterns;
};
// Splits "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||" into its entries.
std::vector<FileFilter> splitFilter(const char* filter);

}  // namespace ordena

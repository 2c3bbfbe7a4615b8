// The words each statement's handler reads in its option list (after "!",
// or as "word=value" items for set), from the handler's own table: the
// workbench colours what the handler reads, and nothing else.
#pragma once

#include <string_view>
#include <vector>

namespace ordena {

using OptionWords = std::vector<std::string_view>;

OptionWords estimateOptionWords();
OptionWords plotOptionWords();
OptionWords descriptivesOptionWords();
OptionWords itanalOptionWords();
OptionWords showOptionWords();
OptionWords setOptionWords();
OptionWords simulateOptionWords();
OptionWords generateOptionWords();

}  // namespace ordena

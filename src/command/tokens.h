// The token table of let and dofor: ordered (name, value) pairs looked up
// by exact name.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/mstring.h"

namespace ordena {

// The longest value a token may hold.
inline constexpr std::size_t kMaxTokenBytes = std::size_t{16} << 20;

class TokenTable {
public:
    bool empty() const { return entries_.empty(); }
    int size() const { return static_cast<int>(entries_.size()); }
    const std::vector<std::pair<MString, MString>>& entries() const { return entries_; }

    // The value of the token of exactly this name, or nullptr.
    const MString* find(const MString& name) const;
    // Appends a new token or replaces the value of an existing one in
    // place; true when it replaced.
    bool define(const MString& name, const MString& value);
    void clear();

    // Changes with every definition and clearing, so that a reader can tell
    // whether text substituted earlier is still up to date.
    unsigned long version() const { return version_; }
    // True when some value holds a "%", so substituted text may change
    // when substituted again.
    bool valueHoldsPercent() const { return percentValues_ > 0; }

private:
    std::vector<std::pair<MString, MString>> entries_;
    std::unordered_map<std::string, std::size_t> index_;
    unsigned long version_ = 0;
    int percentValues_ = 0;
};

}  // namespace ordena

#include "command/tokens.h"

#include "command/commands.h"
#include "command/parse.h"
#include "command/session.h"

namespace ordena {

const MString* TokenTable::find(const MString& name) const {
    auto it = index_.find(name.str());
    return it == index_.end() ? nullptr : &entries_[it->second].second;
}

bool TokenTable::define(const MString& name, const MString& value) {
    ++version_;
    if (value.find('%') >= 0) ++percentValues_;
    auto it = index_.find(name.str());
    if (it != index_.end()) {
        MString& old = entries_[it->second].second;
        if (old.find('%') >= 0) --percentValues_;
        old = value;
        return true;
    }
    index_.emplace(name.str(), entries_.size());
    entries_.emplace_back(name, value);
    return false;
}

void TokenTable::clear() {
    ++version_;
    entries_.clear();
    index_.clear();
    percentValues_ = 0;
}

int handleLet(Session& session, const MString& arguments) {
    MString rest = arguments.trim();
    if (rest.isEmpty()) {
        session.tokens.clear();
        session.warningReport("All tokens have been cleared");
        return 1;
    }
    rest += ",";
    // Items are taken by index so that a long list is not copied once per item.
    const std::string& s = rest.str();
    std::size_t pos = 0;
    while (true) {
        std::size_t start = s.find_first_not_of(' ', pos);
        if (start == std::string::npos) return 1;
        std::size_t comma = s.find(',', start);  // always found: a comma ends the text
        MString item = MString(s.substr(start, comma - start)).trim();
        pos = comma + 1;

        MString name;
        int first = -1, last = -1;
        if (firstToken(item, 0, "=", name, first, last) == -1 || (name = name.trim()).isEmpty()) {
            session.errorReport("Error in set argument");
            return -1;
        }
        MString value = item.mid(last + 2, item.length()).trim();
        // "|", "/" and "$" stand for ";", "=" and ",", which a let item
        // cannot hold; doubled, each stands for itself ("data//run1" is the
        // path data/run1).
        const std::string& raw = value.str();
        std::string v;
        v.reserve(raw.size());
        for (std::size_t i = 0; i < raw.size(); ++i) {
            const char c = raw[i];
            const bool special = c == '|' || c == '/' || c == '$';
            if (special && i + 1 < raw.size() && raw[i + 1] == c) {
                v += c;
                ++i;
            } else if (c == '|') {
                v += ';';
            } else if (c == '/') {
                v += '=';
            } else if (c == '$') {
                v += ',';
            } else {
                v += c;
            }
        }
        // A value that holds its own token doubles at every such let.
        if (v.size() > kMaxTokenBytes) {
            session.errorReport("The value of token " + name + " is longer than " +
                                itoMString(static_cast<long long>(kMaxTokenBytes)) + " characters");
            return -1;
        }
        if (session.tokens.define(name, MString(std::move(v))))
            session.warningReport("Existing token " + name + " has been replaced");
    }
}

}  // namespace ordena

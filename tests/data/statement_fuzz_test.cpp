// Random and truncated statements for the format and coding parsers: none
// may crash, and what they accept must be a consistent layout or rule (the
// sanitizer build catches memory errors on the way).
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "data/coding.h"
#include "data/format.h"
#include "data/rules.h"
#include "data_fixture.h"

using namespace ordena;
using ordena::test::DataTest;

namespace {

const char* const kFormats[] = {
    " pid 1-5 responses 6-25 (a2)",
    " gender 1 gender 30 / age 2-3 responses 2-19 ! rater(3), item(6)",
    "/ responses 1-12 (a3) / responses 1-12 (a3) ! a(2), items(2)",
    " item 1-2 responses 3, 5-7 / pid 1-8",
};
const char* const kCoding[] = {
    " (A B C D) (1 0 0 0) ! item(1-5) gender(M, \"F\")",
    " (0 <1 2> 3 <4, 5 6>) (0 1 2 3) (1 1 1 1) () ! rater(2) pid(1-3)",
    " \"AB CD\" ! \"1\"",
    " 99, \"  \", dot, \"x ! age, gender",
    " \"A B C D E F G H I J \" ! \" 1\"",
};
const char kAlphabet[] = "0123456789-/(),a!<>\" ;AbpiderstmxyzIT.";

class StatementFuzz : public DataTest {
protected:
    std::mt19937 rng{20240611u};

    std::string randomText(std::size_t maxLength) {
        std::string s;
        std::size_t n = rng() % (maxLength + 1);
        for (std::size_t k = 0; k < n; ++k) {
            std::uint32_t r = rng() % 10;
            if (r < 2) {
                s += kFormats[rng() % 4];  // pieces of real statements mixed in
            } else if (r < 3) {
                s += kCoding[rng() % 5];
            } else {
                s += kAlphabet[rng() % (sizeof kAlphabet - 1)];
            }
            if (s.size() > maxLength * 4) break;
        }
        return s;
    }

    // A real statement with a few characters inserted, removed or replaced:
    // close enough to valid to reach the later checks.
    std::string mutated() {
        std::uint32_t pick = rng() % 9;
        std::string s = pick < 4 ? kFormats[pick] : kCoding[pick - 4];
        int edits = 1 + static_cast<int>(rng() % 3);
        for (int e = 0; e < edits; ++e) {
            std::size_t at = s.empty() ? 0 : rng() % s.size();
            char c = kAlphabet[rng() % (sizeof kAlphabet - 1)];
            switch (rng() % 3) {
                case 0: s.insert(at, 1, c); break;
                case 1: if (!s.empty()) s.erase(at, 1); break;
                default: if (!s.empty()) s[at] = c; break;
            }
        }
        return s;
    }

    // What a successful format must satisfy, whatever the input.
    void checkLayout(const DataLayout& l, const std::string& text) {
        ASSERT_GT(l.items, 0) << text;
        ASSERT_FALSE(l.responseBlocks.empty()) << text;
        ASSERT_LE(l.recordsPerCase, kMaxRecordsPerCase) << text;
        for (const auto& b : l.responseBlocks) {
            ASSERT_EQ(b.count(), l.items) << text;
            for (const auto& r : b.responses) {
                ASSERT_GE(r.firstColumn, 1) << text;
                ASSERT_LE(r.firstColumn + b.width - 1, kMaxRecordLength) << text;
                ASSERT_LE(r.record, l.recordsPerCase) << text;
            }
        }
        for (const auto& v : l.explicitVariables) {
            ASSERT_FALSE(v.segments.empty()) << text;
            for (const auto& s : v.segments) ASSERT_LE(s.record, l.recordsPerCase) << text;
        }
        ASSERT_EQ(l.itemLevels.size(), static_cast<std::size_t>(l.items)) << text;
        std::int64_t product = 1;
        for (const auto& v : l.implicitVariables) product *= v.levels;
        if (!l.implicitVariables.empty()) {
            ASSERT_EQ(product, l.items) << text;
        }
        for (const auto& row : l.itemLevels) {
            ASSERT_EQ(row.size(), l.implicitVariables.size()) << text;
            for (std::size_t v = 0; v < row.size(); ++v) {
                ASSERT_GE(row[v], 0) << text;
                ASSERT_LT(row[v], l.implicitVariables[v].levels) << text;
            }
        }
        ASSERT_EQ(l.variableNames.size(), l.explicitVariables.size() + l.implicitVariables.size()) << text;
    }

    // Runs every parser on one text; accepted rules are applied once so
    // their selections and keys meet real values.
    void feed(const std::string& text) {
        shell.clear();
        DataLayout parsed;
        int status = parseFormat(text, parsed, session);
        ASSERT_TRUE(status == 1 || status == -1) << text;
        if (status == 1) {
            checkLayout(parsed, text);
        } else {
            ASSERT_FALSE(shell.errors.empty()) << "failure without a message: " << text;
        }

        std::vector<MString> values(layout.explicitVariables.size(), MString(" 1"));
        std::vector<std::int32_t> levels(layout.implicitVariables.size(), 1);
        VariableValues v{values, levels, {}};

        RecodeRule recode;
        if (parseRecodeRule(text, layout, recode, session) == 1) {
            ASSERT_EQ(recode.from.size(), recode.to.size()) << text;
            const MString* out = nullptr;
            std::vector<RecodeRule> rules{recode};
            applyRecodes(" 1", rules, v, out, session);
        }
        ScoreRule score;
        std::vector<RecodeRule> groups;
        if (parseScoreRule(text, layout, score, groups, session) == 1) {
            for (const auto& c : score.columns) ASSERT_EQ(c.size(), score.codes.size()) << text;
            std::vector<ScoreRule> rules{score};
            std::vector<double> s;
            bool notice = false;
            lookupScores("1", rules, v, notice, s, session);
        }
        DeleteRule del;
        if (parseDeleteRule(text, layout, del, session) == 1) {
            std::vector<DeleteRule> rules{del};
            isDeleted(rules, v, session);
        }
        KeyRule key;
        if (parseKeyRule(text, layout, key, session) == 1) {
            ASSERT_EQ(key.keys.size(), static_cast<std::size_t>(layout.items)) << text;
            std::vector<KeyRule> rules{key};
            const MString* out = nullptr;
            MString dflt = paddedKeyDefault("0", layout.responseWidth);
            applyKeys(" 1", 0, rules, dflt, out, session);
        }
        MissingCodes m = parseMissingCodes(text, session);
        ASSERT_EQ(m.codes.size(), m.flags.size()) << text;
        std::vector<Selection> sels;
        parseSelections(text, layout, sels, session);
    }
};

TEST_F(StatementFuzz, RandomStatementsNeverCrash) {
    for (int k = 0; k < 40000; ++k) {
        // The coding statements meet each of the layouts in turn.
        if (k % 2000 == 0) {
            ASSERT_EQ(run(formatCommand, kFormats[(k / 2000) % 4]), 1);
        }
        feed(k % 2 == 0 ? mutated() : randomText(k % 3 == 0 ? 120 : 30));
    }
}

TEST_F(StatementFuzz, EveryPrefixOfARealStatement) {
    ASSERT_EQ(run(formatCommand, kFormats[0]), 1);
    std::vector<std::string> statements(std::begin(kFormats), std::end(kFormats));
    statements.insert(statements.end(), std::begin(kCoding), std::end(kCoding));
    for (const std::string& full : statements) {
        for (std::size_t n = 0; n <= full.size(); ++n) {
            feed(full.substr(0, n));
            feed(full.substr(n));
        }
    }
}

}  // namespace

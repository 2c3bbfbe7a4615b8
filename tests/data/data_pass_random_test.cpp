// Random data sets through the data passes, checked against an independent
// reading of the same text; random bytes through the passes, which must fail
// cleanly or succeed, never crash or hang; the case sort over several sweeps.
#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "data/data_passes.h"
#include "data/response_reader.h"
#include "model/model_builder.h"
#include "support/work_dir.h"

namespace ordena::test {
namespace {

using Record = std::vector<std::int32_t>;

std::int32_t int32At(const std::string& bytes, std::size_t at) {
    std::uint32_t u = 0;
    for (int i = 3; i >= 0; --i) u = (u << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return static_cast<std::int32_t>(u);
}

double doubleAt(const std::string& bytes, std::size_t at) {
    std::uint64_t u = 0;
    for (int i = 7; i >= 0; --i) u = (u << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    double d;
    std::memcpy(&d, &u, sizeof d);
    return d;
}

std::vector<Record> records(const std::string& bytes, std::size_t ints) {
    std::vector<Record> out;
    for (std::size_t at = 0; at + 4 * ints <= bytes.size(); at += 4 * ints) {
        Record r;
        for (std::size_t i = 0; i < ints; ++i) r.push_back(int32At(bytes, at + 4 * i));
        out.push_back(r);
    }
    return out;
}

// Records grouped by case, each case's records sorted: the file's order
// within a case carries no meaning.
std::map<std::int32_t, std::vector<Record>> byCase(const std::vector<Record>& rs) {
    std::map<std::int32_t, std::vector<Record>> out;
    for (const Record& r : rs) out[r[0]].push_back(r);
    for (auto& [c, list] : out) std::sort(list.begin(), list.end());
    return out;
}

bool caseOrdered(const std::vector<Record>& rs) {
    for (std::size_t i = 1; i < rs.size(); ++i)
        if (rs[i][0] < rs[i - 1][0]) return false;
    return true;
}

bool missingResponse(char c) { return c == ' ' || c == '.'; }

class DataPassRandomTest : public WorkDirTest {};

// Layout: pid 1-3, rater 4, six one-column responses in 5-10. Identifiers
// repeat and go missing, rater values go missing, responses are blank or
// dots now and then; groups come in random identifier order.
TEST_F(DataPassRandomTest, RandomDataAgreeWithAnIndependentReading) {
    std::mt19937 rng(20261209);
    for (int round = 0; round < 25; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const int groups = 1 + static_cast<int>(rng() % 60);
        const int idPool = 1 + static_cast<int>(rng() % 40);
        std::vector<std::string> lines;
        for (int k = 0; k < groups; ++k) {
            char id[8];
            std::snprintf(id, sizeof id, "%03d", static_cast<int>(rng() % static_cast<unsigned>(idPool)));
            std::string line = (k > 0 && rng() % 10 == 0) ? std::string("   ") : std::string(id);
            line += (k > 0 && rng() % 8 == 0) ? ' ' : "ABC"[rng() % 3];
            for (int j = 0; j < 6; ++j) line += (k > 0 && rng() % 5 == 0) ? " ."[rng() % 2] : "0123"[rng() % 4];
            lines.push_back(line);
        }
        // The first group is complete, so every list has a value.
        lines[0][3] = 'B';
        std::string text;
        for (const std::string& l : lines) text += l + ((rng() % 3 == 0) ? "\r\n" : "\n");
        ws.data.passes.removeWorkFiles();
        data(text, "pid 1-3 rater 4 responses 5-10");
        state(modelCommand, "rater + item + item*step");
        ASSERT_EQ(buildModel(session), 1) << (shell.errors.empty() ? "" : shell.errors[0]);
        const DataPassState& st = ws.data.passes;

        // The independent reading.
        std::set<std::string> idSet, raterSet, codeSet;
        for (const std::string& l : lines) {
            if (l.substr(0, 3) != "   ") idSet.insert(l.substr(0, 3));
            if (l[3] != ' ') raterSet.insert(l.substr(3, 1));
            for (int j = 0; j < 6; ++j)
                if (!missingResponse(l[4 + static_cast<std::size_t>(j)])) codeSet.insert(l.substr(4 + static_cast<std::size_t>(j), 1));
        }
        std::vector<std::string> ids(idSet.begin(), idSet.end()), raters(raterSet.begin(), raterSet.end()),
            codes(codeSet.begin(), codeSet.end());
        auto position = [](const std::vector<std::string>& list, const std::string& v) {
            return static_cast<std::int32_t>(std::find(list.begin(), list.end(), v) - list.begin());
        };
        std::vector<Record> expected;
        std::map<std::int32_t, double> weight;
        for (const std::string& l : lines) {
            if (l.substr(0, 3) == "   ") continue;
            std::int32_t c = position(ids, l.substr(0, 3));
            bool any = false;
            if (l[3] != ' ') {
                std::int32_t rater = position(raters, l.substr(3, 1));
                for (int j = 0; j < 6; ++j) {
                    char r = l[4 + static_cast<std::size_t>(j)];
                    if (missingResponse(r)) continue;
                    std::int32_t cat = position(codes, std::string(1, r));
                    expected.push_back({c, cat, cat, 1, rater, 1, j, 1});
                    any = true;
                }
            }
            if (!any) expected.push_back({c, 0, 0, 1, 0, 1, 0, 0});
            weight[c] = any ? 1.0 : 0.0;
        }

        ASSERT_EQ(st.cases, static_cast<std::int32_t>(ids.size()));
        ASSERT_EQ(st.t2.size(), codes.size());
        // Pass two made the model records; the response file is made from them.
        EXPECT_TRUE(st.responseFile.isEmpty());
        ASSERT_EQ(writeResponseFile(session), 1);
        const std::vector<Record> file = records(readFile(st.responseFile.str()), 8);
        EXPECT_TRUE(caseOrdered(file));
        EXPECT_EQ(byCase(file), byCase(expected));
        EXPECT_EQ(st.responseRecords, static_cast<std::int64_t>(expected.size()));

        const std::string info = readFile(st.caseInfoFile.str());
        ASSERT_EQ(info.size(), ids.size() * 16);
        for (std::size_t c = 0; c < ids.size(); ++c) {
            EXPECT_EQ(doubleAt(info, 16 * c), weight[static_cast<std::int32_t>(c)]) << "case " << c;
            EXPECT_EQ(doubleAt(info, 16 * c + 8), 1.0);
            EXPECT_EQ(caseIdentifier(session, static_cast<int>(c)), ids[c]);
        }

        // Model records: generalised item = rater level + raters * item.
        const auto R = static_cast<std::int32_t>(raters.size());
        std::vector<Record> model;
        std::vector<std::int32_t> categories(static_cast<std::size_t>(R) * 6, 0);
        for (const Record& r : expected) {
            std::int32_t g = r[4] + R * r[6];
            model.push_back({r[0], r[1], g, r[2], r[7]});
            if (r[7] == 1)
                categories[static_cast<std::size_t>(g)] = std::max(categories[static_cast<std::size_t>(g)], r[1] + 1);
        }
        const std::vector<Record> modelFile = records(readFile(st.modelFile.str()), 5);
        EXPECT_TRUE(caseOrdered(modelFile));
        EXPECT_EQ(byCase(modelFile), byCase(model));
        ASSERT_EQ(ws.build.items, R * 6);

        // The reader hands over every case once, in order, with its responses
        // and none of its placeholders.
        ResponseReader reader(st);
        std::array<std::int32_t, kMaxCaseResponses> itemNo{}, rsp{};
        ASSERT_EQ(reader.open(session), 1);
        auto want = byCase(model);
        bool last = false;
        std::int32_t previous = -1;
        while (!last) {
            int caseNumber = -1;
            int n = reader.next(caseNumber, itemNo.data(), rsp.data(), last, session);
            ASSERT_GE(n, 0);
            EXPECT_GT(caseNumber, previous);
            previous = caseNumber;
            std::vector<Record> got;
            for (int i = 0; i < n; ++i) got.push_back({itemNo[static_cast<std::size_t>(i)], rsp[static_cast<std::size_t>(i)]});
            std::vector<Record> exp;
            for (const Record& r : want[caseNumber])
                if (r[4] == 1) exp.push_back({r[2], r[1]});
            std::sort(got.begin(), got.end());
            std::sort(exp.begin(), exp.end());
            EXPECT_EQ(got, exp) << "case " << caseNumber;
            want.erase(caseNumber);
        }
        EXPECT_TRUE(want.empty());
    }
}

// When every facet is a model variable pass two makes the model records
// itself: the same records in the same order, and the same category counts,
// as the response file and the model file build give on the general path,
// on disk and in memory; the response file made from them when asked for is
// the one pass two writes on the general path.
TEST_F(DataPassRandomTest, ModelRecordsOfPassTwoAreThoseOfTheModelFileBuild) {
    std::mt19937 rng(31);
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::string text;
        const int groups = 20 + static_cast<int>(rng() % 80);
        for (int k = 0; k < groups; ++k) {
            char line[32];
            // Identifiers out of order and repeated, so the records are sorted.
            std::snprintf(line, sizeof line, "%03d%c", static_cast<int>(rng() % 50), "AB "[rng() % 3]);
            text += line;
            for (int j = 0; j < 5; ++j) text += (rng() % 6 == 0) ? ' ' : "012"[rng() % 3];
            text += "\n";
        }
        for (const bool ram : {false, true}) {
            SCOPED_TRACE(ram ? "ram" : "disk");
            struct Built {
                std::vector<ModelRecord> records;
                std::vector<std::int32_t> categories, lowest;
                std::string responses;
            };
            auto build = [&](bool general) {
                Built b;
                session.compute.generalPath = general;
                ws.data.passes.removeWorkFiles();
                data(text, "pid 1-3 rater 4 responses 5-9");
                state(modelCommand, "rater + item + item*step");
                ModelBuildInputs inputs;
                inputs.ram = ram;
                EXPECT_EQ(buildModel(session, inputs), 1) << (shell.errors.empty() ? "" : shell.errors[0]);
                const DataPassState& st = ws.data.passes;
                EXPECT_EQ(st.responseFile.isEmpty(), !general);
                EXPECT_EQ(st.ramStorage, ram);
                if (ram) {
                    b.records = st.ramRecords;
                } else {
                    for (const Record& r : records(readFile(st.modelFile.str()), 5))
                        b.records.push_back({r[0], r[1], r[2], r[3], r[4]});
                }
                b.categories = ws.build.categoryCount;
                b.lowest = ws.build.lowestCategory;
                EXPECT_EQ(writeResponseFile(session), 1);
                b.responses = readFile(st.responseFile.str());
                return b;
            };
            const Built general = build(true), direct = build(false);
            ASSERT_EQ(direct.records.size(), general.records.size());
            for (std::size_t k = 0; k < general.records.size(); ++k) {
                const ModelRecord &a = direct.records[k], &b = general.records[k];
                EXPECT_TRUE(a.caseNumber == b.caseNumber && a.category == b.category && a.item == b.item &&
                            a.recodedIndex == b.recodedIndex && a.flag == b.flag)
                    << "record " << k;
            }
            EXPECT_EQ(direct.categories, general.categories);
            EXPECT_EQ(direct.lowest, general.lowest);
            EXPECT_EQ(direct.responses, general.responses);
            EXPECT_FALSE(general.responses.empty());
        }
    }
    session.compute.generalPath = false;

    // The storage may change between estimations without a data pass: the
    // records move between memory and disk.
    ws.data.passes.removeWorkFiles();
    data("a01\nb12\nc2 \n", "pid 1 responses 2-3");
    state(modelCommand, "item");
    ModelBuildInputs ram;
    ram.ram = true;
    ASSERT_EQ(buildModel(session, ram), 1);
    const DataPassState& st = ws.data.passes;
    ASSERT_TRUE(st.ramStorage);
    const std::vector<std::int32_t> counts = ws.build.categoryCount;
    ASSERT_EQ(buildModel(session, ModelBuildInputs{}), 1);
    EXPECT_FALSE(st.ramStorage);
    EXPECT_EQ(records(readFile(st.modelFile.str()), 5).size(), 5u);
    EXPECT_EQ(ws.build.categoryCount, counts);
    ASSERT_EQ(buildModel(session, ram), 1);
    EXPECT_TRUE(st.ramStorage);
    EXPECT_EQ(st.ramRecords.size(), 5u);
    EXPECT_EQ(ws.build.categoryCount, counts);
}

// The case sort in sweeps of a few records: a shuffled response file comes
// back in case order with the same records.
TEST_F(DataPassRandomTest, CaseSortOverSeveralSweeps) {
    std::string text;
    std::mt19937 rng(7);
    for (int k = 0; k < 200; ++k) {
        char line[32];
        std::snprintf(line, sizeof line, "%03d%d%d%d\n", static_cast<int>(rng() % 70), static_cast<int>(rng() % 3),
                      static_cast<int>(rng() % 3), static_cast<int>(rng() % 3));
        text += line;
    }
    data(text, "pid 1-3 responses 4-6");
    state(modelCommand, "item");
    ASSERT_EQ(buildModel(session), 1);
    DataPassState& st = ws.data.passes;
    ASSERT_EQ(writeResponseFile(session), 1);
    const std::size_t ints = 7;  // one implicit facet, no explicit one
    std::vector<Record> sorted = records(readFile(st.responseFile.str()), ints);
    const std::vector<Record> models = records(readFile(st.modelFile.str()), 5);
    EXPECT_TRUE(caseOrdered(models));
    ASSERT_EQ(sorted.size(), static_cast<std::size_t>(st.responseRecords));

    for (std::int64_t sweep : {std::int64_t{1}, std::int64_t{28 * 3}, std::int64_t{28 * 50}, std::int64_t{1} << 20}) {
        SCOPED_TRACE("sweep " + std::to_string(sweep));
        std::vector<Record> shuffled = sorted;
        std::shuffle(shuffled.begin(), shuffled.end(), rng);
        std::string bytes;
        for (const Record& r : shuffled)
            for (std::int32_t v : r)
                for (int i = 0; i < 4; ++i) bytes += static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xff);
        writeFile(st.responseFile.str(), bytes);
        ASSERT_EQ(sortResponseFile(session, sweep), 1);
        std::vector<Record> again = records(readFile(st.responseFile.str()), ints);
        EXPECT_TRUE(caseOrdered(again));
        EXPECT_EQ(byCase(again), byCase(sorted));
        EXPECT_TRUE(filesNamed("scrf001.").empty());

        // The model records pass two makes itself go through the same sort.
        std::vector<Record> shuffledModels = models;
        std::shuffle(shuffledModels.begin(), shuffledModels.end(), rng);
        std::string modelBytes;
        for (const Record& r : shuffledModels)
            for (std::int32_t v : r)
                for (int i = 0; i < 4; ++i)
                    modelBytes += static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xff);
        writeFile(st.modelFile.str(), modelBytes);
        ASSERT_EQ(sortRecordFile(session, st.modelFile, 20, sweep), 1);
        std::vector<Record> sortedModels = records(readFile(st.modelFile.str()), 5);
        EXPECT_TRUE(caseOrdered(sortedModels));
        EXPECT_EQ(byCase(sortedModels), byCase(models));
    }
}

// Bytes of every kind, lines of every length, in one and in two records
// per case: each build either succeeds or fails with a report.
TEST_F(DataPassRandomTest, RandomBytesNeverCrashTheDataPasses) {
    std::mt19937 rng(99);
    const char* formats[] = {"pid 1-3 rater 4 responses 5-10", "pid 1-2 / responses 1-8", "responses 1-6 (a2)"};
    const char* models[] = {"rater + item*step", "item + item*step", "item"};
    int built = 0, refused = 0;
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::string text;
        const int lines = static_cast<int>(rng() % 30);
        for (int l = 0; l < lines; ++l) {
            std::size_t length = rng() % 40 == 0 ? 3000 + rng() % 200 : rng() % 16;
            for (std::size_t i = 0; i < length; ++i) {
                unsigned r = rng() % 10;
                // Odd rounds mix in bytes of every value, NUL included.
                text += (round % 2 == 0 || r < 9) ? "0123 ."[rng() % 6] : static_cast<char>(rng() % 256);
            }
            if (rng() % 7 != 0) text += (rng() % 2) ? "\n" : "\r\n";
        }
        const int f = round % 3;
        // Each round stands alone, as a script run from the top would.
        ws.data.clearOnReset();
        ws.model.clearOnReset();
        data(text, formats[f]);
        state(modelCommand, models[f]);
        ws.dataPassNeeded = 1;
        shell.clear();
        int rc = buildModel(session);
        if (rc != 1) {
            EXPECT_EQ(rc, -1);
            EXPECT_FALSE(shell.errors.empty());
            ++refused;
            continue;
        }
        ++built;
        ResponseReader reader(ws.data.passes);
        std::array<std::int32_t, kMaxCaseResponses> itemNo{}, rsp{};
        ASSERT_EQ(reader.open(session), 1);
        bool last = false;
        int cases = 0;
        while (!last) {
            int caseNumber = -1;
            int n = reader.next(caseNumber, itemNo.data(), rsp.data(), last, session);
            ASSERT_GE(n, 0);
            for (int i = 0; i < n; ++i) {
                EXPECT_GE(itemNo[static_cast<std::size_t>(i)], 0);
                EXPECT_LT(itemNo[static_cast<std::size_t>(i)], ws.build.items);
            }
            if (caseNumber >= 0) ++cases;
        }
        EXPECT_EQ(cases, ws.data.passes.cases);
    }
    // Both outcomes occur, so the rounds test something.
    EXPECT_GT(built, 5);
    EXPECT_GT(refused, 5);
}

}  // namespace
}  // namespace ordena::test

#include <algorithm>
#include <limits>
#include <new>

#include "command/session.h"
#include "data/data_passes.h"
#include "data/work_file_io.h"

namespace ordena {

namespace {

// Generalised items beyond this many would need tables larger than any
// analysis can use.
constexpr std::int64_t kMaxGeneralisedItems = std::int64_t{1} << 24;

ModelRecord loadModelRecord(const unsigned char* r) {
    return {loadInt32(r), loadInt32(r + 4), loadInt32(r + 8), loadInt32(r + 12), loadInt32(r + 16)};
}

// After a load the model file already holds what the build would write:
// its records are counted (and for storage ram taken into memory) instead.
int countModelFile(Session& session, bool ram) {
    DataPassState& st = session.ws.data.passes;
    ModelBuild& build = session.ws.build;
    std::vector<ModelRecord> records;
    if (ram) {
        try {
            records.reserve(static_cast<std::size_t>(st.responseRecords));
        } catch (const std::exception&) {
            session.errorReport("Not enough memory for in RAM storage");
            return -1;
        }
    }
    BlockReader in;
    if (!in.open(st.modelFile.str(), kModelRecordBytes)) {
        session.errorReport("Open failure to scratch file " + st.modelFile);
        return -1;
    }
    std::int64_t count = 0;
    for (const unsigned char* r = in.next(); r != nullptr && count < st.responseRecords; r = in.next(), ++count) {
        const ModelRecord m = loadModelRecord(r);
        if (m.item < 0 || m.item >= build.items ||
            (m.flag == 1 && (m.category < 0 || m.category >= static_cast<std::int32_t>(st.t2.size())))) {
            session.errorReport("Error reading scratch file " + st.modelFile);
            return -1;
        }
        if (m.flag == 1) {
            const std::size_t g = static_cast<std::size_t>(m.item);
            build.categoryCount[g] = std::max(build.categoryCount[g], m.category + 1);
            build.lowestCategory[g] = std::min(build.lowestCategory[g], m.category);
        }
        if (ram) records.push_back(m);
    }
    if (count < st.responseRecords) {
        session.errorReport("Error reading scratch file " + st.modelFile);
        return -1;
    }
    st.ramStorage = ram;
    st.ramRecords = std::move(records);
    for (std::int32_t& low : build.lowestCategory)
        if (low == 100) low = 0;
    build.maxCategories = 0;
    for (std::int32_t c : build.categoryCount) build.maxCategories = std::max(build.maxCategories, c);
    return 1;
}

}  // namespace

int buildModelFile(Session& session, bool ram) {
    Workspace& ws = session.ws;
    const ModelSpec& model = ws.model;
    const DataLayout& layout = ws.data.layout;
    DataPassState& st = ws.data.passes;
    ModelBuild& build = ws.build;

    // Level counts in model order: explicit model variables, then implicit.
    const int V = model.modelVariableCount();
    build.levelCounts.assign(static_cast<std::size_t>(V), 0);
    std::vector<int> place(static_cast<std::size_t>(V), -1);  // index into the record's explicit or implicit levels
    std::vector<bool> isExplicit(static_cast<std::size_t>(V), false);
    std::int64_t G = 1;
    for (int i = 0; i < V; ++i) {
        VariableRef v = model.modelVariableAt(i);
        std::size_t k = static_cast<std::size_t>(v.index);
        int count = 0;
        if (v.kind == kExplicitVariable) {
            if (v.index < 0 || k >= layout.explicitVariables.size()) count = 0;
            else count = layout.explicitVariables[k].distinctValues;
            isExplicit[static_cast<std::size_t>(i)] = true;
        } else if (v.index >= 0 && k < layout.implicitVariables.size()) {
            count = layout.implicitVariables[k].levels;
        }
        place[static_cast<std::size_t>(i)] = model.lastFacets.placeOf(v);
        if (place[static_cast<std::size_t>(i)] < 0) {
            session.errorReport("Variable in model statement but not in Facet statement");
            return -1;
        }
        build.levelCounts[static_cast<std::size_t>(i)] = count;
        G *= std::max(count, 0);
        if (G > kMaxGeneralisedItems) {
            session.errorReport("Too many generalised items in the model");
            return -1;
        }
    }
    build.items = static_cast<std::int32_t>(G);
    build.categoryCount.assign(static_cast<std::size_t>(G), 0);
    build.lowestCategory.assign(static_cast<std::size_t>(G), 100);
    if (st.responseFile.isEmpty() && st.responsesInModelFile) return countModelFile(session, ram);

    st.ramRecords.clear();
    st.ramRecords.shrink_to_fit();
    st.ramStorage = ram;
    BlockWriter out;
    if (ram) {
        try {
            st.ramRecords.reserve(static_cast<std::size_t>(st.responseRecords));
        } catch (const std::exception&) {
            session.errorReport("Not enough memory for in RAM storage");
            return -1;
        }
    } else {
        if (!st.modelFile.isEmpty()) std::remove(st.modelFile.c_str());
        st.modelFile = scratchFileName("scrf004.");
        if (!out.open(st.modelFile.str())) {
            session.errorReport("Open failure to scratch file " + st.modelFile);
            return -1;
        }
    }

    const std::size_t bytes = static_cast<std::size_t>(st.responseRecordBytes());
    BlockReader in;
    if (!in.open(st.responseFile.str(), bytes)) {
        session.errorReport("Open failure to scratch file " + st.responseFile);
        return -1;
    }
    const std::int32_t F = st.recordExplicit;
    const std::int32_t M = st.recordImplicit;
    std::int64_t count = 0;
    for (const unsigned char* r = in.next(); r != nullptr && count < st.responseRecords; r = in.next(), ++count) {
        ModelRecord m;
        m.caseNumber = loadInt32(r);
        m.category = loadInt32(r + 4);
        m.recodedIndex = loadInt32(r + 8);
        m.flag = loadInt32(r + 20 + 4 * (F + M));
        std::int64_t g = 0;
        std::int64_t radix = 1;
        for (int i = 0; i < V; ++i) {
            int p = place[static_cast<std::size_t>(i)];
            std::int32_t level =
                isExplicit[static_cast<std::size_t>(i)] ? loadInt32(r + 16 + 4 * p) : loadInt32(r + 20 + 4 * (F + p));
            std::int32_t levels = build.levelCounts[static_cast<std::size_t>(i)];
            if (level < 0 || level >= levels) {
                session.errorReport("Error in the response file " + st.responseFile);
                return -1;
            }
            g += level * radix;
            radix *= levels;
        }
        m.item = static_cast<std::int32_t>(g);
        if (m.flag == 1) {
            if (m.category < 0 || m.category >= static_cast<std::int32_t>(st.t2.size())) {
                session.errorReport("Error in the response file " + st.responseFile);
                return -1;
            }
            std::size_t gi = static_cast<std::size_t>(g);
            build.categoryCount[gi] = std::max(build.categoryCount[gi], m.category + 1);
            build.lowestCategory[gi] = std::min(build.lowestCategory[gi], m.category);
        }
        if (ram) {
            st.ramRecords.push_back(m);
        } else {
            unsigned char* p = out.append(kModelRecordBytes);
            storeInt32(p, m.caseNumber);
            storeInt32(p + 4, m.category);
            storeInt32(p + 8, m.item);
            storeInt32(p + 12, m.recodedIndex);
            storeInt32(p + 16, m.flag);
        }
    }
    in.close();
    if (!ram && !out.close()) {
        session.errorReport("Error writing scratch file " + st.modelFile);
        return -1;
    }
    for (std::int32_t& low : build.lowestCategory)
        if (low == 100) low = 0;
    build.maxCategories = 0;
    for (std::int32_t c : build.categoryCount) build.maxCategories = std::max(build.maxCategories, c);
    return 1;
}

MString caseIdentifier(Session& session, int n) {
    const DataPassState& st = session.ws.data.passes;
    if (st.identifierCount == 0 || n < 0 || n >= st.identifierCount) return MString();
    BinaryFile file(st.identifierFile.str(), "rb");
    MString id;
    if (!file.isOpen() || !file.seek(static_cast<long long>(n) * st.identifierWidth) ||
        !id.readFixed(file, st.identifierWidth))
        return MString();
    return id;
}

ResponseRecordMaker::ResponseRecordMaker(const Workspace& ws) {
    const ModelSpec& model = ws.model;
    const DataPassState& st = ws.data.passes;
    F_ = std::max(0, st.recordExplicit);
    M_ = std::max(0, st.recordImplicit);
    bytes_ = static_cast<std::size_t>(st.responseRecordBytes());
    levels_.assign(static_cast<std::size_t>(F_ + M_), 0);
    counts_ = ws.build.levelCounts;
    for (std::size_t i = 0; i < counts_.size(); ++i) {
        const VariableRef v = i < static_cast<std::size_t>(model.modelVariableCount())
                                  ? model.modelVariableAt(static_cast<int>(i))
                                  : VariableRef{};
        const int place = model.lastFacets.placeOf(v);
        at_.push_back(place < 0 ? -1 : v.kind == kExplicitVariable ? place : F_ + place);
    }
    const std::vector<std::int32_t>& implicit = model.lastFacets.implicitIndices;
    for (std::size_t p = 0; p < implicit.size(); ++p)
        if (!model.modelVariableList.contains({kImplicitVariable, implicit[p]}))
            outside_.push_back(static_cast<int>(p));
}

void ResponseRecordMaker::make(const ModelRecord& m, const std::int32_t* outside, unsigned char* record) {
    std::fill(levels_.begin(), levels_.end(), 0);
    std::int64_t g = m.item;
    for (std::size_t i = 0; i < counts_.size(); ++i) {
        const std::int32_t count = counts_[i];
        const std::int32_t level = count > 0 ? static_cast<std::int32_t>(g % count) : 0;
        if (count > 0) g /= count;
        if (at_[i] >= 0 && static_cast<std::size_t>(at_[i]) < levels_.size())
            levels_[static_cast<std::size_t>(at_[i])] = level;
    }
    for (std::size_t j = 0; j < outside_.size() && outside != nullptr; ++j)
        levels_[static_cast<std::size_t>(F_ + outside_[j])] = outside[j];
    storeInt32(record, m.caseNumber);
    storeInt32(record + 4, m.category);
    storeInt32(record + 8, m.recodedIndex);
    storeInt32(record + 12, F_);
    for (std::int32_t k = 0; k < F_; ++k) storeInt32(record + 16 + 4 * k, levels_[static_cast<std::size_t>(k)]);
    storeInt32(record + 16 + 4 * F_, M_);
    for (std::int32_t k = 0; k < M_; ++k)
        storeInt32(record + 20 + 4 * (F_ + k), levels_[static_cast<std::size_t>(F_ + k)]);
    storeInt32(record + 20 + 4 * (F_ + M_), m.flag);
}

int writeResponseFile(Session& session) {
    DataPassState& st = session.ws.data.passes;
    if (!st.responseFile.isEmpty() || !st.responsesInModelFile) return 1;
    ResponseRecordMaker maker(session.ws);
    BlockReader in;
    if (!maker.outsidePlaces().empty() || !in.open(st.modelFile.str(), kModelRecordBytes)) {
        session.errorReport("Open failure to scratch file " + st.modelFile);
        return -1;
    }
    const MString name = scratchFileName("scrf000.");
    BlockWriter out;
    if (!out.open(name.str())) {
        session.errorReport("Open failure to scratch file " + name);
        return -1;
    }
    std::int64_t count = 0;
    for (const unsigned char* r = in.next(); r != nullptr && count < st.responseRecords; r = in.next(), ++count)
        maker.make(loadModelRecord(r), nullptr, out.append(maker.bytes()));
    if (!out.close() || count < st.responseRecords) {
        std::remove(name.c_str());
        session.errorReport("Error writing scratch file " + name);
        return -1;
    }
    st.responseFile = name;
    return 1;
}

}  // namespace ordena

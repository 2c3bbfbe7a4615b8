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

void storeModelRecord(unsigned char* p, const ModelRecord& m) {
    storeInt32(p, m.caseNumber);
    storeInt32(p + 4, m.category);
    storeInt32(p + 8, m.item);
    storeInt32(p + 12, m.recodedIndex);
    storeInt32(p + 16, m.flag);
}

// The model records on disk when they are only in memory (storage disk
// after ram). 1, or -1 after the report.
int writeModelFileFromMemory(Session& session) {
    DataPassState& st = session.ws.data.passes;
    if (!st.modelFile.isEmpty()) std::remove(st.modelFile.c_str());
    st.modelFile = scratchFileName("scrf004.");
    BlockWriter out;
    if (!out.open(st.modelFile.str())) {
        session.errorReport("Open failure to scratch file " + st.modelFile);
        return -1;
    }
    for (const ModelRecord& m : st.ramRecords) storeModelRecord(out.append(kModelRecordBytes), m);
    if (!out.close()) {
        session.errorReport("Error writing scratch file " + st.modelFile);
        return -1;
    }
    st.ramRecords.clear();
    st.ramRecords.shrink_to_fit();
    st.ramStorage = false;
    return 1;
}

// When the model records stand for the response file (after a load, or
// when pass two made them itself) they already hold what the build would
// write. Storage disk puts them on disk and storage ram into memory where
// they are not yet; the category counts are those the pass that made them
// kept, or else a count of the records.
int currentModelRecords(Session& session, bool ram) {
    DataPassState& st = session.ws.data.passes;
    ModelBuild& build = session.ws.build;
    bool inMemory = st.ramStorage && static_cast<std::int64_t>(st.ramRecords.size()) == st.responseRecords;
    if (!ram && inMemory) {
        if (writeModelFileFromMemory(session) != 1) return -1;
        inMemory = false;
    }
    const DataPassState::RecordCounts& kept = st.recordCounts;
    if (kept.records == st.responseRecords && kept.categoryCount.size() == build.categoryCount.size() &&
        kept.lowestCategory.size() == build.lowestCategory.size() && (inMemory || !ram)) {
        build.categoryCount = kept.categoryCount;
        build.lowestCategory = kept.lowestCategory;
    } else {
        std::vector<ModelRecord> records;
        if (ram && !inMemory) {
            try {
                records.reserve(static_cast<std::size_t>(st.responseRecords));
            } catch (const std::exception&) {
                session.errorReport("Not enough memory for in RAM storage");
                return -1;
            }
        }
        auto count = [&](const ModelRecord& m) {
            if (m.item < 0 || m.item >= build.items ||
                (m.flag == 1 && (m.category < 0 || m.category >= static_cast<std::int32_t>(st.t2.size())))) {
                session.errorReport("Error reading scratch file " + st.modelFile);
                return false;
            }
            if (m.flag == 1) {
                const std::size_t g = static_cast<std::size_t>(m.item);
                build.categoryCount[g] = std::max(build.categoryCount[g], m.category + 1);
                build.lowestCategory[g] = std::min(build.lowestCategory[g], m.category);
            }
            return true;
        };
        if (inMemory) {
            for (const ModelRecord& m : st.ramRecords)
                if (!count(m)) return -1;
        } else {
            BlockReader in;
            if (!in.open(st.modelFile.str(), kModelRecordBytes)) {
                session.errorReport("Open failure to scratch file " + st.modelFile);
                return -1;
            }
            std::int64_t n = 0;
            for (const unsigned char* r = in.next(); r != nullptr && n < st.responseRecords; r = in.next(), ++n) {
                const ModelRecord m = loadModelRecord(r);
                if (!count(m)) return -1;
                if (ram) records.push_back(m);
            }
            if (n < st.responseRecords) {
                session.errorReport("Error reading scratch file " + st.modelFile);
                return -1;
            }
            st.ramStorage = ram;
            st.ramRecords = std::move(records);
        }
        for (std::int32_t& low : build.lowestCategory)
            if (low == 100) low = 0;
    }
    build.maxCategories = 0;
    for (std::int32_t c : build.categoryCount) build.maxCategories = std::max(build.maxCategories, c);
    return 1;
}

}  // namespace

ModelRecordMaker::ModelRecordMaker(const Workspace& ws) : t2Size_(static_cast<std::int32_t>(ws.data.passes.t2.size())) {
    const ModelSpec& model = ws.model;
    const DataLayout& layout = ws.data.layout;
    const DataPassState& st = ws.data.passes;
    F_ = st.recordExplicit;
    M_ = st.recordImplicit;
    // Level counts in model order: explicit model variables, then implicit.
    const int V = model.modelVariableCount();
    levelCounts.assign(static_cast<std::size_t>(V), 0);
    for (int i = 0; i < V; ++i) {
        VariableRef v = model.modelVariableAt(i);
        std::size_t k = static_cast<std::size_t>(v.index);
        int count = 0;
        bool isExplicit = false;
        if (v.kind == kExplicitVariable) {
            if (v.index >= 0 && k < layout.explicitVariables.size()) count = layout.explicitVariables[k].distinctValues;
            isExplicit = true;
        } else if (v.index >= 0 && k < layout.implicitVariables.size()) {
            count = layout.implicitVariables[k].levels;
        }
        const int place = model.lastFacets.placeOf(v);
        if (place < 0) {
            error_ = "Variable in model statement but not in Facet statement";
            return;
        }
        // The byte of the variable's level in a response record.
        offset_.push_back(isExplicit ? 16 + 4 * place : 20 + 4 * (F_ + place));
        levelCounts[static_cast<std::size_t>(i)] = count;
        items_ *= std::max(count, 0);
        if (items_ > kMaxGeneralisedItems) {
            error_ = "Too many generalised items in the model";
            return;
        }
    }
    categoryCount.assign(static_cast<std::size_t>(items_), 0);
    lowestCategory.assign(static_cast<std::size_t>(items_), 100);
}

bool ModelRecordMaker::make(const unsigned char* r, ModelRecord& m) {
    m.caseNumber = loadInt32(r);
    m.category = loadInt32(r + 4);
    m.recodedIndex = loadInt32(r + 8);
    m.flag = loadInt32(r + 20 + 4 * (F_ + M_));
    std::int64_t g = 0;
    std::int64_t radix = 1;
    for (std::size_t i = 0; i < offset_.size(); ++i) {
        const std::int32_t level = loadInt32(r + offset_[i]);
        const std::int32_t levels = levelCounts[i];
        if (level < 0 || level >= levels) return false;
        g += level * radix;
        radix *= levels;
    }
    m.item = static_cast<std::int32_t>(g);
    if (m.flag == 1) {
        if (m.category < 0 || m.category >= t2Size_) return false;
        std::size_t gi = static_cast<std::size_t>(g);
        categoryCount[gi] = std::max(categoryCount[gi], m.category + 1);
        lowestCategory[gi] = std::min(lowestCategory[gi], m.category);
    }
    return true;
}

void ModelRecordMaker::finish() {
    for (std::int32_t& low : lowestCategory)
        if (low == 100) low = 0;
}

int buildModelFile(Session& session, bool ram) {
    Workspace& ws = session.ws;
    DataPassState& st = ws.data.passes;
    ModelBuild& build = ws.build;

    ModelRecordMaker maker(ws);
    if (!maker.error().isEmpty()) {
        session.errorReport(maker.error());
        return -1;
    }
    build.levelCounts = maker.levelCounts;
    build.items = static_cast<std::int32_t>(maker.items());
    build.categoryCount.assign(static_cast<std::size_t>(maker.items()), 0);
    build.lowestCategory.assign(static_cast<std::size_t>(maker.items()), 100);
    if (st.responseFile.isEmpty() && st.responsesInModelFile) return currentModelRecords(session, ram);

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
    std::int64_t count = 0;
    ModelRecord m;
    for (const unsigned char* r = in.next(); r != nullptr && count < st.responseRecords; r = in.next(), ++count) {
        if (!maker.make(r, m)) {
            session.errorReport("Error in the response file " + st.responseFile);
            return -1;
        }
        if (ram)
            st.ramRecords.push_back(m);
        else
            storeModelRecord(out.append(kModelRecordBytes), m);
    }
    in.close();
    if (!ram && !out.close()) {
        session.errorReport("Error writing scratch file " + st.modelFile);
        return -1;
    }
    maker.finish();
    build.categoryCount = std::move(maker.categoryCount);
    build.lowestCategory = std::move(maker.lowestCategory);
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
    const bool inMemory = st.ramStorage && static_cast<std::int64_t>(st.ramRecords.size()) == st.responseRecords;
    BlockReader in;
    if (!maker.outsidePlaces().empty() || (!inMemory && !in.open(st.modelFile.str(), kModelRecordBytes))) {
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
    if (inMemory)
        for (const ModelRecord& m : st.ramRecords) {
            maker.make(m, nullptr, out.append(maker.bytes()));
            ++count;
        }
    else
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

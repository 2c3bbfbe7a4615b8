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

}  // namespace ordena

#include "data/data_passes.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "command/session.h"
#include "data/data_file_reader.h"
#include "data/delimited_file.h"
#include "data/delimited_format.h"
#include "data/rules.h"
#include "data/work_file_io.h"

namespace ordena {

namespace {

constexpr int kMaxCases = 750000;
constexpr int kMaxRawCodes = 65;
constexpr int kMaxCodes = 65;
constexpr int kMaxFacetLevels = 1000;
// Case information and group records are kept in memory up to this size and
// written at the end; above it each record is written in place.
constexpr std::size_t kMemoryRecordLimit = std::size_t{512} << 20;

struct StringHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
using StringSet = std::unordered_set<std::string, StringHash, std::equal_to<>>;
using StringIndex = std::unordered_map<std::string, int, StringHash, std::equal_to<>>;

// Distinct texts in order of arrival.
class DistinctTexts {
public:
    void add(std::string_view text) {
        if (set_.find(text) != set_.end()) return;
        set_.emplace(text);
    }
    std::size_t size() const { return set_.size(); }
    std::vector<MString> sorted() const {
        std::vector<MString> out;
        out.reserve(set_.size());
        for (const std::string& s : set_) out.emplace_back(s);
        std::sort(out.begin(), out.end());
        return out;
    }
    void clear() { set_.clear(); }

private:
    StringSet set_;
};

// The distinct case identifiers of pass one. Files sorted by identifier
// (the usual case) give them in ascending order: they are kept in arrival
// order with no hashing; the first one out of order moves them all into a
// set.
class IdentifierCollector {
public:
    void add(std::string_view id) {
        if (!ascending_) {
            set_.add(id);
            return;
        }
        if (count_ > 0) {
            const std::string_view last(text_.data() + lastStart_, text_.size() - lastStart_);
            if (id == last) return;
            if (id < last) {
                for (std::size_t k = 0, at = 0; k < count_; at += length_[k++])
                    set_.add(std::string_view(text_.data() + at, length_[k]));
                text_ = {};
                length_ = {};
                ascending_ = false;
                set_.add(id);
                return;
            }
        }
        lastStart_ = text_.size();
        text_.append(id);
        length_.push_back(id.size());
        ++count_;
    }
    std::size_t size() const { return ascending_ ? count_ : set_.size(); }
    void clear() { *this = IdentifierCollector(); }
    std::vector<MString> sorted() const {
        if (!ascending_) return set_.sorted();
        std::vector<MString> out;
        out.reserve(count_);
        for (std::size_t k = 0, at = 0; k < count_; at += length_[k++]) out.emplace_back(text_.substr(at, length_[k]));
        return out;
    }

private:
    bool ascending_ = true;
    std::string text_;
    std::vector<std::size_t> length_;
    std::size_t lastStart_ = 0, count_ = 0;
    DistinctTexts set_;
};

// The text of a segment in a record group; empty when the record or the
// columns are not there.
std::string_view segmentText(const std::vector<std::string_view>& lines, const Segment& s) {
    if (s.record < 1 || static_cast<std::size_t>(s.record) > lines.size()) return {};
    return columnText(lines[static_cast<std::size_t>(s.record - 1)], s.firstColumn, s.lastColumn);
}

std::string_view responseText(const std::vector<std::string_view>& lines, const ResponsePosition& r, int width) {
    if (r.record < 1 || static_cast<std::size_t>(r.record) > lines.size()) return {};
    return columnText(lines[static_cast<std::size_t>(r.record - 1)], r.firstColumn, r.firstColumn + width - 1);
}

// The longest decimal number at the start of text (after blanks), 0 when
// there is none. Words such as "inf" or "nan" and hexadecimal forms are not
// numbers here, so no regressor or weight becomes infinite or undefined.
double numericPrefix(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    std::size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < text.size() && isDigit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return 0.0;
    std::size_t mantissaEnd = i;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        std::size_t expDigits = 0;
        while (j < text.size() && isDigit(text[j])) ++j, ++expDigits;
        if (expDigits > 0) mantissaEnd = j;
    }
    std::string number(text.substr(start, mantissaEnd - start));
    double v = std::strtod(number.c_str(), nullptr);
    // An exponent beyond the range of a double gives a huge value; keep it finite.
    if (v > 1e300) v = 1e300;
    if (v < -1e300) v = -1e300;
    return v;
}

bool validExplicit(const DataLayout& layout, std::int32_t k) {
    return k >= 0 && static_cast<std::size_t>(k) < layout.explicitVariables.size();
}

int openDataFile(Session& session, DataFileReader& reader) {
    const MString& name = session.ws.data.fileName;
    if (!reader.open(name.str())) {
        session.errorReport(" Error opening input file " + name);
        return -1;
    }
    if (reader.atEnd()) {
        session.errorReport(" File " + name + " doesn't exist or empty");
        return -1;
    }
    return 1;
}

int recordMissing(Session& session) {
    session.errorReport("Record missing in data file");
    return -1;
}

// The cases of the data file one by one: a group of fixed-column records,
// or the fields of one line of a delimited file. The texts it hands out stay
// valid until the next case (a padded response until the next response).
class CaseSource {
public:
    CaseSource(Session& session, const DataLayout& layout)
        : session_(session), layout_(layout), lines_(static_cast<std::size_t>(std::max(1, layout.recordsPerCase))) {}

    // 1, or -1 after the report.
    int open() {
        if (!layout_.delimited) return openDataFile(session_, fixed_);
        if (delimited_.open(session_.ws.data.fileName.str(), session_.ws.data.fileOptions) != 1) {
            session_.errorReport(delimited_.error());
            return -1;
        }
        return 1;
    }
    void close() {
        fixed_.close();
        delimited_.close();
    }
    // 1 for the next case, 0 at the end, -1 after the report.
    int next() {
        if (!layout_.delimited) {
            int got = fixed_.readGroup(lines_, kMaxRecordLength);
            return got < 0 ? recordMissing(session_) : got;
        }
        int got = delimited_.next(lines_);
        if (got < 0) session_.errorReport(delimited_.error());
        if (got != 1) return got;
        // A response wider than the format's responses would be cut short
        // in fixed columns; here it is refused where it stands.
        for (const ResponseBlock& block : layout_.responseBlocks)
            for (std::size_t j = 0; j < block.responses.size(); ++j) {
                const std::string_view text = field(block.responses[j].firstColumn);
                if (text.size() > static_cast<std::size_t>(layout_.responseWidth) && text != "NA") {
                    const int f = block.responses[j].firstColumn;
                    MString name = j < block.fieldNames.size() ? block.fieldNames[j] : MString();
                    session_.errorReport("Data file " + lineAndField(delimited_.lineNumber(), f) +
                                         (name.isEmpty() ? MString() : " (" + name + ")") + ": the response " +
                                         MString(text) + " is wider than the " + itoMString(layout_.responseWidth) +
                                         " character(s) of the responses in the format");
                    return -1;
                }
            }
        return 1;
    }
    // The records of a fixed-column case.
    const std::vector<std::string_view>& lines() const { return lines_; }

    std::string_view segment(const Segment& s) const {
        if (layout_.delimited) return field(s.firstColumn);
        return segmentText(lines_, s);
    }
    // A response of a delimited file is as wide as the format's responses,
    // blanks put before it as a fixed-column file right-aligns a code; NA
    // is an empty (missing) response.
    std::string_view response(const ResponsePosition& r, int width) {
        if (!layout_.delimited) return responseText(lines_, r, width);
        std::string_view text = field(r.firstColumn);
        if (text == "NA") text = {};
        if (text.size() >= static_cast<std::size_t>(width)) return text;
        padded_.assign(static_cast<std::size_t>(width) - text.size(), ' ');
        padded_.append(text);
        return padded_;
    }

private:
    std::string_view field(std::int32_t number) const {
        if (number < 1 || static_cast<std::size_t>(number) > lines_.size()) return {};
        return lines_[static_cast<std::size_t>(number - 1)];
    }

    Session& session_;
    const DataLayout& layout_;
    DataFileReader fixed_;
    DelimitedReader delimited_;
    std::vector<std::string_view> lines_;
    std::string padded_;
};

// Records of a fixed size addressed by case number: in memory while they
// fit, otherwise written in place in the file.
class CaseRecords {
public:
    bool create(const std::string& path, std::size_t recordBytes, std::size_t count,
                const std::vector<unsigned char>& initial) {
        path_ = path;
        record_ = recordBytes;
        count_ = count;
        inMemory_ = recordBytes * count <= kMemoryRecordLimit;
        if (inMemory_) {
            memory_.resize(recordBytes * count);
            for (std::size_t n = 0; n < count; ++n)
                std::memcpy(memory_.data() + n * recordBytes, initial.data(), recordBytes);
            BinaryFile f(path, "wb");  // the file exists from now on
            return f.isOpen();
        }
        BlockWriter w;
        if (!w.open(path)) return false;
        for (std::size_t n = 0; n < count; ++n) std::memcpy(w.append(recordBytes), initial.data(), recordBytes);
        if (!w.close()) return false;
        return file_.open(path, "r+b");
    }
    void put(std::size_t n, const unsigned char* bytes) {
        if (n >= count_) return;
        if (inMemory_) {
            std::memcpy(memory_.data() + n * record_, bytes, record_);
        } else {
            file_.seek(static_cast<long long>(n * record_));
            file_.writeBytes(bytes, record_);
        }
    }
    bool close() {
        if (inMemory_) {
            BinaryFile f(path_, "wb");
            bool ok = f.isOpen() && (memory_.empty() || f.writeBytes(memory_.data(), memory_.size()));
            ok = f.close() && ok;
            memory_.clear();
            memory_.shrink_to_fit();
            return ok;
        }
        return file_.close();
    }

private:
    std::string path_;
    std::size_t record_ = 0;
    std::size_t count_ = 0;
    bool inMemory_ = true;
    std::vector<unsigned char> memory_;
    BinaryFile file_;
};

// Whether every facet of the passes is a model variable: a model record
// then carries all that a response record does.
bool facetsAreModelVariables(const ModelSpec& model) {
    for (std::int32_t k : model.lastFacets.explicitIndices)
        if (!model.modelVariableList.contains({kExplicitVariable, k})) return false;
    for (std::int32_t k : model.lastFacets.implicitIndices)
        if (!model.modelVariableList.contains({kImplicitVariable, k})) return false;
    return true;
}

// Where pass two puts its records: the response file; or, when every facet
// of the passes is a model variable, the model records made from them as
// the model file build would make them (the model file, or memory under
// storage ram), which then stand for the response file. Each response
// record is filled in by the caller in the room append gives.
class PassTwoRecords {
public:
    PassTwoRecords(Session& session, std::size_t recordBytes) : session_(session), record_(recordBytes) {}

    // 1, or -1 after the report.
    int open(bool ram, std::int64_t expected) {
        Workspace& ws = session_.ws;
        DataPassState& st = ws.data.passes;
        if (!session_.compute.generalPath && facetsAreModelVariables(ws.model)) {
            maker_ = std::make_unique<ModelRecordMaker>(ws);
            if (maker_->error().isEmpty() && (ram ? reserve(expected) : true)) {
                direct_ = true;
                ram_ = ram;
                pending_.assign(record_, 0);
                if (ram) return 1;
                st.modelFile = scratchFileName("scrf004.");
                if (!out_.open(st.modelFile.str())) {
                    session_.errorReport("Open failure to scratch file " + st.modelFile);
                    return -1;
                }
                return 1;
            }
            maker_.reset();
        }
        st.responseFile = scratchFileName("scrf000.");
        if (!out_.open(st.responseFile.str())) {
            session_.errorReport("Open failure to scratch file " + st.responseFile);
            return -1;
        }
        return 1;
    }
    unsigned char* append() {
        if (!direct_) return out_.append(record_);
        if (hasPending_) convert();
        hasPending_ = true;
        return pending_.data();
    }
    // False when anything could not be written.
    bool close() {
        if (direct_ && hasPending_) convert();
        hasPending_ = false;
        return (ram_ || out_.close()) && ok_;
    }
    // After a successful close: the model records, put in case order when
    // they are not, stand for the response file.
    int finish(bool inCaseOrder) {
        DataPassState& st = session_.ws.data.passes;
        if (!direct_) return inCaseOrder ? 1 : sortResponseFile(session_);
        maker_->finish();
        st.ramStorage = ram_;
        if (!inCaseOrder) {
            if (ram_)
                std::stable_sort(st.ramRecords.begin(), st.ramRecords.end(),
                                 [](const ModelRecord& a, const ModelRecord& b) { return a.caseNumber < b.caseNumber; });
            else if (sortRecordFile(session_, st.modelFile, kModelRecordBytes) != 1)
                return -1;
        }
        st.responseFile = MString();
        st.responsesInModelFile = true;
        st.recordCounts.records = st.responseRecords;
        st.recordCounts.categoryCount = std::move(maker_->categoryCount);
        st.recordCounts.lowestCategory = std::move(maker_->lowestCategory);
        return 1;
    }
    const MString& name() const {
        const DataPassState& st = session_.ws.data.passes;
        return direct_ ? st.modelFile : st.responseFile;
    }

private:
    bool reserve(std::int64_t expected) {
        try {
            session_.ws.data.passes.ramRecords.reserve(static_cast<std::size_t>(std::max<std::int64_t>(0, expected)));
            return true;
        } catch (const std::exception&) {
            return false;  // the model file build will say so
        }
    }
    void convert() {
        ModelRecord m;
        if (!maker_->make(pending_.data(), m)) ok_ = false;
        if (ram_) {
            session_.ws.data.passes.ramRecords.push_back(m);
            return;
        }
        unsigned char* p = out_.append(kModelRecordBytes);
        storeInt32(p, m.caseNumber);
        storeInt32(p + 4, m.category);
        storeInt32(p + 8, m.item);
        storeInt32(p + 12, m.recodedIndex);
        storeInt32(p + 16, m.flag);
    }

    Session& session_;
    std::size_t record_;
    bool direct_ = false, ram_ = false, hasPending_ = false, ok_ = true;
    std::unique_ptr<ModelRecordMaker> maker_;
    std::vector<unsigned char> pending_;
    BlockWriter out_;
};

// The identifiers of pass one, sorted, as fixed-width keys: read back from
// their scratch file for the passes that look cases up by identifier.
struct IdentifierTable {
    std::vector<char> keys;
    std::size_t count = 0, width = 0;

    // False (after reporting) when the scratch file cannot be read.
    bool read(Session& session, const DataPassState& st, std::size_t cases) {
        count = cases;
        width = static_cast<std::size_t>(std::max(0, st.identifierWidth));
        if (count == 0 || width == 0) return true;
        BinaryFile idFile(st.identifierFile.str(), "rb");
        keys.resize(count * width);
        if (!idFile.isOpen() || !idFile.readBytes(keys.data(), keys.size())) {
            session.errorReport("Open failure to scratch file " + st.identifierFile);
            return false;
        }
        return true;
    }

    // The case number of key (blank-padded to width), or count when absent.
    // A file in identifier order has its next case next: hint is tried first.
    std::size_t find(const std::string& key, std::size_t hint) const {
        if (hint < count && std::memcmp(keys.data() + hint * width, key.data(), width) == 0) return hint;
        std::size_t lo = 0, hi = count;
        while (lo < hi) {
            const std::size_t mid = (lo + hi) / 2;
            const int c = std::memcmp(keys.data() + mid * width, key.data(), width);
            if (c == 0) return mid;
            if (c < 0) lo = mid + 1;
            else hi = mid;
        }
        return count;
    }
};

}  // namespace

int dataPassOne(Session& session) {
    Workspace& ws = session.ws;
    const DataLayout& layout = ws.data.layout;
    const ModelSpec& model = ws.model;
    DataPassState& st = ws.data.passes;
    const int respmiss = ws.settings.respmiss;

    CaseSource source(session, layout);
    if (source.open() != 1) return -1;

    const std::vector<std::int32_t>& facetVars = model.facetsInUse.explicitIndices;
    st.valueLists.assign(facetVars.size(), ValueList{});
    std::vector<DistinctTexts> values(facetVars.size());
    for (std::size_t f = 0; f < facetVars.size(); ++f) st.valueLists[f].variable = facetVars[f];
    IdentifierCollector identifiers;
    DistinctTexts rawCodes;
    std::array<bool, 256> seenByte{};  // one-column responses: no hashing needed
    const int width = layout.responseWidth;
    const bool hasPid = validExplicit(layout, layout.caseIdentifier);
    // One-column responses are single bytes of their lines: the line and
    // column of each, and whether a response lies beyond the end of its line
    // (an empty code).
    std::vector<std::pair<std::size_t, std::size_t>> oneColumn;
    bool emptySeen = false, byteScan = width == 1 && !layout.delimited;
    for (const ResponseBlock& block : layout.responseBlocks)
        for (const ResponsePosition& r : block.responses) {
            if (r.record < 1 || r.record > std::max(1, layout.recordsPerCase) || r.firstColumn < 1) byteScan = false;
            oneColumn.emplace_back(static_cast<std::size_t>(r.record - 1), static_cast<std::size_t>(r.firstColumn - 1));
        }

    // The widest value of each variable of a delimited file: the group
    // records are laid out by it.
    std::vector<std::int32_t> widest(layout.explicitVariables.size(), 0);
    std::int64_t groups = 0;
    for (;;) {
        if (session.pollForStop()) return -1;
        int got = source.next();
        if (got == 0) break;
        if (got < 0) return -1;
        ++groups;
        if (layout.delimited)
            for (std::size_t e = 0; e < widest.size(); ++e)
                for (const Segment& s : layout.explicitVariables[e].segments)
                    widest[e] = std::max(widest[e], static_cast<std::int32_t>(source.segment(s).size()));
        if (hasPid) {
            const ExplicitVariable& pid = layout.explicitVariables[static_cast<std::size_t>(layout.caseIdentifier)];
            if (!pid.segments.empty()) {
                std::string_view id = source.segment(pid.segments[0]);
                if (!isMissingValue(id, pid)) identifiers.add(id);
            }
        }
        for (std::size_t f = 0; f < facetVars.size(); ++f) {
            const ExplicitVariable& var = layout.explicitVariables[static_cast<std::size_t>(facetVars[f])];
            for (const Segment& s : var.segments) {
                std::string_view v = source.segment(s);
                if (!isMissingValue(v, var)) values[f].add(v);
            }
        }
        if (byteScan) {
            for (const auto& [record, column] : oneColumn) {
                const std::string_view line = source.lines()[record];
                if (column < line.size())
                    seenByte[static_cast<unsigned char>(line[column])] = true;
                else
                    emptySeen = true;
            }
            continue;
        }
        for (const ResponseBlock& block : layout.responseBlocks) {
            for (const ResponsePosition& r : block.responses) {
                std::string_view raw = source.response(r, width);
                if (width == 1 && raw.size() == 1) {
                    auto byte = static_cast<unsigned char>(raw[0]);
                    if (seenByte[byte]) continue;
                    seenByte[byte] = true;
                }
                if (!isMissingResponse(raw, respmiss)) rawCodes.add(raw);
            }
        }
    }
    source.close();
    for (std::size_t e = 0; e < widest.size(); ++e) ws.data.layout.explicitVariables[e].widestValue = widest[e];
    if (byteScan) {
        for (int b = 0; b < 256; ++b) {
            const char c = static_cast<char>(b);
            if (seenByte[static_cast<std::size_t>(b)] && !isMissingResponse(std::string_view(&c, 1), respmiss))
                rawCodes.add(std::string_view(&c, 1));
        }
        if (emptySeen && !isMissingResponse(std::string_view(), respmiss)) rawCodes.add(std::string_view());
    }

    if (identifiers.size() > static_cast<std::size_t>(kMaxCases)) {
        session.errorReport(" Too many cases in data file");
        return -1;
    }
    if (rawCodes.size() > static_cast<std::size_t>(kMaxRawCodes)) {
        session.errorReport(" Too many levels in response values: " + itoMString(static_cast<long long>(rawCodes.size())));
        return -1;
    }
    for (std::size_t f = 0; f < facetVars.size(); ++f) {
        const MString& name = layout.explicitVariables[static_cast<std::size_t>(facetVars[f])].name;
        if (values[f].size() > static_cast<std::size_t>(kMaxFacetLevels)) {
            session.errorReport(" Too many levels in facet " + name);
            return -1;
        }
        if (values[f].size() == 0) {
            session.errorReport(" No valid data found for " + name);
            return -1;
        }
    }
    buildCodeTables(rawCodes.sorted(), ws.data, ws.settings.key_default, st.t1, st.t2);
    if (st.t2.size() > static_cast<std::size_t>(kMaxCodes)) {
        session.errorReport(" Too many levels in response values");
        return -1;
    }
    std::sort(st.t1.begin(), st.t1.end());
    std::sort(st.t2.begin(), st.t2.end());
    for (std::size_t f = 0; f < facetVars.size(); ++f) st.valueLists[f].values = values[f].sorted();

    if (hasPid) {
        std::vector<MString> ids = identifiers.sorted();
        identifiers.clear();
        // Entries are as wide as the longest identifier, so that no
        // identifier is cut short and every one can be found again.
        int w = 0;
        for (const MString& id : ids) w = std::max(w, id.length());
        st.identifierFile = scratchFileName("scrf003.");
        BlockWriter out;
        if (!out.open(st.identifierFile.str())) {
            session.errorReport("Open failure to scratch file " + st.identifierFile);
            return -1;
        }
        for (const MString& id : ids) {
            unsigned char* p = out.append(static_cast<std::size_t>(w));
            std::memset(p, ' ', static_cast<std::size_t>(w));
            std::memcpy(p, id.c_str(), static_cast<std::size_t>(id.length()));
        }
        if (!out.close()) {
            session.errorReport("Error writing scratch file " + st.identifierFile);
            return -1;
        }
        st.cases = static_cast<std::int32_t>(ids.size());
        st.identifierCount = st.cases;
        st.identifierWidth = w;
    } else {
        if (groups > kMaxCases) {
            session.errorReport(" Too many cases in data file");
            return -1;
        }
        st.cases = static_cast<std::int32_t>(groups);
        st.identifierCount = 0;
        st.identifierWidth = 0;
    }
    for (std::size_t f = 0; f < facetVars.size(); ++f)
        ws.data.layout.explicitVariables[static_cast<std::size_t>(facetVars[f])].distinctValues =
            static_cast<std::int32_t>(st.valueLists[f].values.size());
    return 1;
}

int dataPassTwo(Session& session, bool ram) {
    Workspace& ws = session.ws;
    const DataLayout& layout = ws.data.layout;
    const ModelSpec& model = ws.model;
    DataPassState& st = ws.data.passes;

    CaseSource source(session, layout);
    if (source.open() != 1) return -1;

    const std::vector<std::int32_t>& facetExplicit = model.facetsInUse.explicitIndices;
    const std::vector<std::int32_t>& facetImplicit = model.facetsInUse.implicitIndices;
    const auto F = static_cast<std::int32_t>(facetExplicit.size());
    const auto M = static_cast<std::int32_t>(facetImplicit.size());
    st.recordExplicit = F;
    st.recordImplicit = M;
    st.responseRecords = 0;

    const std::vector<std::int32_t>& regression = model.lastRegression.explicitIndices;
    const std::vector<std::int32_t>& groupVars = model.lastGroup.explicitIndices;
    const std::vector<std::int32_t>& weightVars = model.lastCaseweight.explicitIndices;
    const int R = static_cast<int>(regression.size()) + 1;
    st.caseInfoWidth = R + 1;
    std::vector<int> groupWidths;
    int L = 1;
    for (std::int32_t k : groupVars) {
        const ExplicitVariable& v = layout.explicitVariables[static_cast<std::size_t>(k)];
        int w = v.valueWidth(layout.delimited);
        groupWidths.push_back(w);
        L += w;
    }
    st.groupRecordLength = L;
    const std::size_t N = static_cast<std::size_t>(std::max(0, st.cases));

    // The identifier table, read back from its file for the look-ups of this pass.
    const bool hasPid = validExplicit(layout, layout.caseIdentifier);
    IdentifierTable ids;
    if (hasPid && !ids.read(session, st, N)) return -1;
    const std::size_t W = ids.width;

    st.responsesInModelFile = false;  // the passes write the response file again
    st.recordCounts = {};
    PassTwoRecords responses(session, static_cast<std::size_t>(st.responseRecordBytes()));
    std::size_t positions = 0;
    for (const ResponseBlock& block : layout.responseBlocks) positions += block.responses.size();
    if (responses.open(ram, static_cast<std::int64_t>(N * (positions + 1))) != 1) return -1;
    st.caseInfoFile = scratchFileName("scrf002.");
    CaseRecords caseInfo;
    std::vector<unsigned char> infoRecord(static_cast<std::size_t>(R + 1) * 8, 0);
    storeDouble(infoRecord.data(), 0.0);
    storeDouble(infoRecord.data() + 8, 1.0);
    for (int i = 2; i <= R; ++i) storeDouble(infoRecord.data() + 8 * i, 0.0);
    if (!caseInfo.create(st.caseInfoFile.str(), infoRecord.size(), N, infoRecord)) {
        session.errorReport("Open failure to scratch file " + st.caseInfoFile);
        return -1;
    }
    st.groupFile = scratchFileName("scrf007.");
    CaseRecords groupRecords;
    std::vector<unsigned char> groupRecord(static_cast<std::size_t>(L), ' ');
    groupRecord[0] = '1';
    if (!groupRecords.create(st.groupFile.str(), groupRecord.size(), N, groupRecord)) {
        session.errorReport("Open failure to scratch file " + st.groupFile);
        return -1;
    }
    auto closeAll = [&]() {
        responses.close();
        caseInfo.close();
        groupRecords.close();
    };
    auto failPass = [&](const MString& message) {
        if (!message.isEmpty()) session.errorReport(message);
        closeAll();
        return -1;
    };

    std::vector<StringIndex> levelOf(facetExplicit.size());
    for (std::size_t f = 0; f < facetExplicit.size(); ++f)
        for (std::size_t i = 0; i < st.valueLists[f].values.size(); ++i)
            levelOf[f].emplace(st.valueLists[f].values[i].str(), static_cast<int>(i));

    const ResponseCoding coding(ws.data, ws.settings.respmiss, ws.settings.key_default, st.t1, st.t2);
    const bool needValues = !ws.data.deletes.empty() || !ws.data.recodes.empty();
    // Without delete, recode and key rules a one-column response's coding
    // depends on its byte alone: decide each byte once. 0 undecided, 1
    // kept, 2 passed over.
    struct ByteCoding {
        std::uint8_t state = 0;
        std::int32_t category = 0;
        std::int32_t recoded = 0;
    };
    const bool byteCoding = !needValues && ws.data.keys.empty() && layout.responseWidth == 1;
    std::array<ByteCoding, 256> byteCodes{};
    std::vector<MString> blockValues(layout.explicitVariables.size());
    std::vector<std::int32_t> facetLevels(static_cast<std::size_t>(F), 0);
    std::vector<double> regressionValues(regression.size(), 0.0);
    const std::vector<std::int32_t> noLevels;
    const int width = layout.responseWidth;
    MString raw;

    auto appendRecord = [&]() { return responses.append(); };
    bool inCaseOrder = true;  // records already in case order need no sort
    std::int32_t previousCase = -1;
    std::string key;  // an identifier as wide as the entries of the table
    std::time_t lastProgress = std::time(nullptr);
    for (std::int64_t k = 0;; ++k) {
        if (session.pollForStop()) return failPass(MString());
        std::time_t now = std::time(nullptr);
        if (now - lastProgress > 1) {
            lastProgress = now;
            long long denominator = N > 5 ? static_cast<long long>(N) - 5 : std::max<long long>(1, static_cast<long long>(N));
            session.statusText("Data Pass Two: " + itoMString(100 * k / denominator) + "%", 0);
        }
        int got = source.next();
        if (got == 0) break;
        if (got < 0) return failPass(MString());

        std::int32_t caseNumber = static_cast<std::int32_t>(k);
        if (hasPid) {
            const ExplicitVariable& pid = layout.explicitVariables[static_cast<std::size_t>(layout.caseIdentifier)];
            std::string_view id = pid.segments.empty() ? std::string_view() : source.segment(pid.segments[0]);
            if (isMissingValue(id, pid)) continue;
            bool found = false;
            if (id.size() <= W && N > 0) {
                key.assign(id);
                key.resize(W, ' ');
                const std::size_t n = ids.find(key, static_cast<std::size_t>(previousCase + 1));
                if (n < N) {
                    caseNumber = static_cast<std::int32_t>(n);
                    found = true;
                }
            }
            if (!found) return failPass("Building temporary file -  Can't find Pid code in look-up table");
        } else if (static_cast<std::size_t>(k) >= N) {
            break;  // the file grew since pass one
        }

        if (caseNumber < previousCase) inCaseOrder = false;
        previousCase = caseNumber;
        bool backgroundMissing = false;
        for (std::size_t i = 0; i < regression.size(); ++i) {
            const ExplicitVariable& v = layout.explicitVariables[static_cast<std::size_t>(regression[i])];
            if (v.segments.size() > 1) return failPass("Variable with multiple values can't be regression variable");
            std::string_view text = v.segments.empty() ? std::string_view() : source.segment(v.segments[0]);
            if (isMissingValue(text, v)) backgroundMissing = true;
            else regressionValues[i] = numericPrefix(text);
        }
        std::fill(groupRecord.begin() + 1, groupRecord.end(), ' ');
        std::size_t at = 1;
        for (std::size_t i = 0; i < groupVars.size(); ++i) {
            const ExplicitVariable& v = layout.explicitVariables[static_cast<std::size_t>(groupVars[i])];
            if (v.segments.size() > 1) return failPass("Variable with multiple values can't be group variable");
            std::string_view text = v.segments.empty() ? std::string_view() : source.segment(v.segments[0]);
            std::size_t n = std::min(text.size(), static_cast<std::size_t>(groupWidths[i]));
            // A group value beyond the end of a short line is empty: its view has no data.
            if (n > 0) std::memcpy(groupRecord.data() + at, text.data(), n);
            at += static_cast<std::size_t>(groupWidths[i]);
        }
        double weight = 1.0;
        if (!weightVars.empty()) {
            const ExplicitVariable& v = layout.explicitVariables[static_cast<std::size_t>(weightVars[0])];
            if (v.segments.size() > 1) return failPass("Variable with multiple values can't be person weight var");
            std::string_view text = v.segments.empty() ? std::string_view() : source.segment(v.segments[0]);
            weight = isMissingValue(text, v) ? 0.0 : numericPrefix(text);
        }

        bool wrote = false;
        for (std::size_t b = 0; b < layout.responseBlocks.size(); ++b) {
            const ResponseBlock& block = layout.responseBlocks[b];
            if (needValues)
                for (std::size_t e = 0; e < layout.explicitVariables.size(); ++e)
                    blockValues[e] = MString(source.segment(layout.explicitVariables[e].segmentForBlock(static_cast<int>(b))));
            bool skip = false;
            for (std::size_t f = 0; f < facetExplicit.size() && !skip; ++f) {
                const ExplicitVariable& v = layout.explicitVariables[static_cast<std::size_t>(facetExplicit[f])];
                std::string_view text = source.segment(v.segmentForBlock(static_cast<int>(b)));
                if (isMissingValue(text, v)) {
                    skip = true;
                    break;
                }
                auto it = levelOf[f].find(text);
                if (it == levelOf[f].end()) skip = true;  // cannot happen: pass one saw every value
                else facetLevels[f] = it->second;
            }
            if (skip) continue;
            for (std::size_t j = 0; j < block.responses.size(); ++j) {
                const std::vector<std::int32_t>& row = j < layout.itemLevels.size() ? layout.itemLevels[j] : noLevels;
                VariableValues values{std::span<const MString>(blockValues), std::span<const std::int32_t>(row), {}};
                const std::string_view text = source.response(block.responses[j], width);
                int category = 0, recoded = 0;
                ByteCoding* known = byteCoding && text.size() == 1 ? &byteCodes[static_cast<unsigned char>(text[0])] : nullptr;
                if (known != nullptr && known->state != 0) {
                    if (known->state == 2) continue;
                    category = known->category;
                    recoded = known->recoded;
                } else {
                    raw = MString(text);
                    int c = codeResponse(coding, raw, static_cast<int>(j), values, category, recoded, session);
                    if (c < 0) return failPass(MString());
                    if (known != nullptr) *known = ByteCoding{static_cast<std::uint8_t>(c == 1 ? 1 : 2), category, recoded};
                    if (c == 0) continue;
                }
                unsigned char* p = appendRecord();
                storeInt32(p, caseNumber);
                storeInt32(p + 4, category);
                storeInt32(p + 8, recoded);
                storeInt32(p + 12, F);
                p += 16;
                for (std::int32_t level : facetLevels) storeInt32(p, level), p += 4;
                storeInt32(p, M);
                p += 4;
                for (std::int32_t im : facetImplicit) {
                    std::int32_t level = static_cast<std::size_t>(im) < row.size() ? row[static_cast<std::size_t>(im)] : 0;
                    storeInt32(p, level);
                    p += 4;
                }
                storeInt32(p, 1);
                ++st.responseRecords;
                wrote = true;
            }
        }

        if (!backgroundMissing) {
            if (!wrote) {
                // A case without valid responses still has its place among the cases.
                unsigned char* p = appendRecord();
                std::memset(p, 0, static_cast<std::size_t>(st.responseRecordBytes()));
                storeInt32(p, caseNumber);
                storeInt32(p + 12, F);
                storeInt32(p + 16 + 4 * F, M);
                ++st.responseRecords;
                weight = 0.0;
            }
            storeDouble(infoRecord.data(), weight);
            storeDouble(infoRecord.data() + 8, 1.0);
            for (std::size_t i = 0; i < regressionValues.size(); ++i)
                storeDouble(infoRecord.data() + 16 + 8 * i, regressionValues[i]);
            caseInfo.put(static_cast<std::size_t>(caseNumber), infoRecord.data());
            groupRecords.put(static_cast<std::size_t>(caseNumber), groupRecord.data());
        }
    }
    source.close();
    bool ok = responses.close();
    ok = caseInfo.close() && ok;
    ok = groupRecords.close() && ok;
    if (!ok) {
        session.errorReport("Error writing scratch file " + responses.name());
        return -1;
    }
    if (responses.finish(!hasPid || inCaseOrder) != 1) return -1;
    session.appendOutput("No. of cases = " + itoMString(st.cases) + "\r\n");
    return 1;
}

int sortResponseFile(Session& session, std::int64_t sweepBytes) {
    DataPassState& st = session.ws.data.passes;
    return sortRecordFile(session, st.responseFile, static_cast<std::size_t>(st.responseRecordBytes()), sweepBytes);
}

int sortRecordFile(Session& session, const MString& file, std::size_t bytes, std::int64_t sweepBytes) {
    DataPassState& st = session.ws.data.passes;
    const std::size_t N = static_cast<std::size_t>(std::max(0, st.cases));

    // Counting sort by case number, in as many sweeps over the file as the
    // memory bound needs: each sweep gathers a range of cases.
    std::vector<std::int64_t> perCase(N + 1, 0);
    BlockReader in;
    if (!in.open(file.str(), bytes)) {
        session.errorReport("Open failure to scratch file " + file);
        return -1;
    }
    for (const unsigned char* r = in.next(); r != nullptr; r = in.next()) {
        std::int32_t c = loadInt32(r);
        if (c >= 0 && static_cast<std::size_t>(c) < N) ++perCase[static_cast<std::size_t>(c)];
    }
    in.close();

    session.statusText("Sorting cases", 0);
    MString sortedName = scratchFileName("scrf001.");
    BlockWriter out;
    if (!out.open(sortedName.str())) {
        session.errorReport("Open failure to scratch file " + sortedName);
        return -1;
    }
    std::size_t first = 0;
    // One buffer for every sweep (fresh memory is costly to touch), as large
    // as the largest sweep needs; filled completely, so left uninitialised.
    std::int64_t allBytes = 0, largestCase = 0;
    for (std::size_t c = 0; c < N; ++c) {
        allBytes += perCase[c] * static_cast<std::int64_t>(bytes);
        largestCase = std::max(largestCase, perCase[c] * static_cast<std::int64_t>(bytes));
    }
    const std::int64_t largest = std::max(largestCase, std::min(sweepBytes, allBytes));
    std::unique_ptr<unsigned char[]> bucket(new unsigned char[static_cast<std::size_t>(std::max<std::int64_t>(largest, 1))]);
    std::vector<std::int64_t> offset;
    while (first < N) {
        std::size_t last = first;
        std::int64_t total = 0;
        while (last < N && (last == first || total + perCase[last] * static_cast<std::int64_t>(bytes) <= sweepBytes))
            total += perCase[last++] * static_cast<std::int64_t>(bytes);
        offset.assign(last - first + 1, 0);
        for (std::size_t c = first; c < last; ++c)
            offset[c - first + 1] = offset[c - first] + perCase[c] * static_cast<std::int64_t>(bytes);
        if (!in.open(file.str(), bytes)) {
            session.errorReport("Open failure to scratch file " + file);
            return -1;
        }
        for (const unsigned char* r = in.next(); r != nullptr; r = in.next()) {
            std::int32_t c = loadInt32(r);
            if (c < 0 || static_cast<std::size_t>(c) < first || static_cast<std::size_t>(c) >= last) continue;
            std::int64_t& at = offset[static_cast<std::size_t>(c) - first];
            std::memcpy(bucket.get() + at, r, bytes);
            at += static_cast<std::int64_t>(bytes);
        }
        in.close();
        out.writeDirect(bucket.get(), static_cast<std::size_t>(total));
        first = last;
    }
    if (!out.close()) {
        session.errorReport("Error writing scratch file " + sortedName);
        return -1;
    }
    // The rename replaces the response file in one step: removing it first
    // would free its name for another run to claim in between.
    if (std::rename(sortedName.c_str(), file.c_str()) != 0) {
        session.errorReport("Error writing scratch file " + file);
        return -1;
    }
    session.statusText("Sort complete", 0);
    return 1;
}

int caseVariableTexts(Session& session, const std::vector<std::int32_t>& variables,
                      std::vector<std::vector<MString>>& texts) {
    const Workspace& ws = session.ws;
    const DataLayout& layout = ws.data.layout;
    const DataPassState& st = ws.data.passes;
    const std::size_t N = static_cast<std::size_t>(std::max(0, st.cases));
    texts.assign(N, std::vector<MString>(variables.size()));
    for (std::int32_t k : variables)
        if (!validExplicit(layout, k)) {
            session.errorReport("A variable of the case output is not in the format");
            return -1;
        }
    const bool hasPid = validExplicit(layout, layout.caseIdentifier);
    IdentifierTable ids;
    if (hasPid && !ids.read(session, st, N)) return -1;
    const std::size_t W = ids.width;
    CaseSource source(session, layout);
    if (source.open() != 1) return -1;
    std::vector<char> seen(N, 0);
    std::string key;
    for (std::size_t group = 0;; ++group) {
        const int got = source.next();
        if (got == 0) break;
        if (got < 0) return -1;
        std::size_t n = group;
        if (hasPid) {
            const ExplicitVariable& pid = layout.explicitVariables[static_cast<std::size_t>(layout.caseIdentifier)];
            const std::string_view id = pid.segments.empty() ? std::string_view() : source.segment(pid.segments[0]);
            if (isMissingValue(id, pid) || id.size() > W || N == 0) continue;
            key.assign(id);
            key.resize(W, ' ');
            n = ids.find(key, N);
        }
        if (n >= N || seen[n]) continue;
        seen[n] = 1;
        for (std::size_t k = 0; k < variables.size(); ++k) {
            const ExplicitVariable& v = layout.explicitVariables[static_cast<std::size_t>(variables[k])];
            const std::string_view text = v.segments.empty() ? std::string_view() : source.segment(v.segments[0]);
            if (!isMissingValue(text, v)) texts[n][k] = MString(text).trim();
        }
    }
    return 1;
}

int runDataPasses(Session& session, bool ram) {
    Workspace& ws = session.ws;
    // The lists these passes run with are the ones the model file build reads.
    ModelSpec& model = ws.model;
    model.lastFacets = model.facetsInUse;
    model.lastRegression = model.regression;
    model.lastCaseweight = model.caseweight;
    model.lastGroup = model.group;
    const MString outside = model.listOutsideLayout(ws.data.layout);
    if (!outside.isEmpty()) {
        session.errorReport("A variable of the " + outside + " statement is not in the format: give the " + outside +
                            " statement again");
        return -1;
    }
    // Keys hold one code per item, each as wide as a response, as the format
    // was when they were given.
    for (const KeyRule& key : ws.data.keys) {
        bool fits = static_cast<int>(key.keys.size()) == ws.data.layout.items &&
                    key.option.length() == ws.data.layout.responseWidth;
        for (const MString& k : key.keys) fits = fits && k.length() == ws.data.layout.responseWidth;
        if (!fits) {
            session.errorReport("The Key statement does not fit the format - give the keys again after the format");
            return -1;
        }
    }
    if (ws.data.layout.delimited != ws.data.fileOptions.delimited) {
        session.errorReport(ws.data.layout.delimited
                                ? MString("The format was given for a delimited data file: give the format statement again")
                                : MString("The format was given for a fixed-column data file: give the format statement again"));
        return -1;
    }
    if (ws.data.layout.delimited) {
        DelimitedReader header;
        if (header.open(ws.data.fileName.str(), ws.data.fileOptions) != 1) {
            session.errorReport(header.error());
            return -1;
        }
        if (resolveDelimitedFields(ws.data.layout, header.header(), header.fieldCount(), session) != 1) return -1;
    }
    // The files of an earlier pass are not read again: remove them before
    // fresh names are made.
    DataPassState& st = ws.data.passes;
    st.removeWorkFiles();
    st.ramRecords.clear();
    st.ramRecords.shrink_to_fit();
    st.ramStorage = false;
    st.recordCounts = {};
    st.responseRecords = 0;
    if (session.pollForStop()) return -1;
    session.statusText("Build temporary file: Data Pass One", 0);
    if (dataPassOne(session) != 1) return -1;
    if (session.pollForStop()) return -1;
    session.statusText("Build temporary file: Data Pass Two", 0);
    return dataPassTwo(session, ram);
}

}  // namespace ordena

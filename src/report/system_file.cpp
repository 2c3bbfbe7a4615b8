#include "report/system_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "base/timing.h"
#include "command/session.h"
#include "command/set_reset.h"
#include "data/data_passes.h"
#include "model/parameter_list.h"
#include "report/report_tables.h"
#include "report/system_file_check.h"
#include "report/system_file_layout.h"

namespace ordena {

namespace {

using systemfile::GeneratorStates;
using systemfile::Spares;

const char* const kPartHeader = "header";
const char* const kPartLatent = "latent estimates";
const char* const kPartSpecifications = "specifications";
const char* const kPartDesign = "design matrices";
const char* const kPartBackground = "background data";
const char* const kPartResponses = "item response data";

// Work-file troubles while a system file is copied: the report is the
// work file's, not the system file's.
struct WorkFileFailure {
    MString message;
};

// The standard 24-character local time text and a line feed.
MString saveDateText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[64];
    if (std::strftime(text, sizeof text, "%a %b %e %H:%M:%S %Y\n", &local) == 0) return MString("\n");
    return MString(text);
}

// The status line during the long copies: the title and the share done,
// at most once a second.
class Progress {
public:
    Progress(Session& session, const char* title, std::int64_t total)
        : session_(session), title_(title), total_(total) {
        session.statusText(title_, 0);
    }
    // False when the run is to end (SIGTERM, SIGHUP): asked every 65536
    // records, like the clock.
    bool step(std::int64_t done) {
        // The clock is read every 65536 records: reading it costs more than
        // copying a record.
        if ((done & 0xffff) != 0) return true;
        if (session_.terminationSignalled()) return false;
        if (clock_.seconds() < 1.0) return true;
        clock_.restart();
        const std::int64_t percent = total_ > 0 ? 100 * done / total_ : 100;
        session_.statusText(MString(title_) + ": " + itoMString(percent) + "%", 0);
        return true;
    }

private:
    Session& session_;
    const char* title_;
    std::int64_t total_;
    Stopwatch clock_;
};

// The file named after the redirection symbol (">>" or "<<"); false after
// the report when there is no such symbol.
bool redirectedName(Session& session, const MString& arguments, const char* symbol, MString& name) {
    const int at = arguments.find(MString(symbol));
    if (at < 0) {
        session.errorReport(MString("The redirection symbol '") + symbol + "' was expected but not found");
        return false;
    }
    name = arguments.mid(at + 2, arguments.length()).trim();
    return true;
}

// Bytes per case score record: D * (6 + 4D + V) doubles.
std::uint64_t caseRecordBytes(std::int64_t D, std::int64_t V) {
    return 8 * static_cast<std::uint64_t>(D * (6 + 4 * D + V));
}

// ---------------------------------------------------------------------------
// put

// The system file is written under a name of its own next to the target and
// takes the target's name only when complete, so that a failed put leaves an
// earlier file of that name as it was. A symbolic link is written through
// to the file it names; a target that is not a regular file (a device, a
// FIFO, a directory) is refused rather than replaced; the new file keeps
// the permissions of the one it replaces.
class PartFile {
public:
    explicit PartFile(const MString& target) : target_(target) {}
    ~PartFile() {
        if (!path_.isEmpty()) std::remove(path_.c_str());
    }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    bool create() {
        if (target_.isEmpty() || target_.str().find('\0') != std::string::npos) return false;
        if (!resolveTarget()) return false;
        struct stat old {};
        const bool replacing = ::lstat(target_.c_str(), &old) == 0;
        if (replacing && !S_ISREG(old.st_mode)) return false;
        for (int n = 1; n < 1000; ++n) {
            MString name = target_ + ".part" + itoMString(n);
            const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0) {
                ::close(fd);
                path_ = name;
                replacing_ = replacing;
                old_ = old;
                return true;
            }
            if (errno != EEXIST) return false;
        }
        return false;
    }
    const MString& path() const { return path_; }
    bool commit() {
        if (replacing_) {
            // The owner only where allowed (as root); the mode always, and
            // only now, so that a read-only file is still written.
            if (::chown(path_.c_str(), old_.st_uid, old_.st_gid) != 0 && ::geteuid() == 0) return false;
            if (::chmod(path_.c_str(), old_.st_mode & 07777) != 0) return false;
        }
        if (std::rename(path_.c_str(), target_.c_str()) != 0) return false;
        path_ = MString();
        return true;
    }

private:
    // Follows symbolic links (a bounded number, as the system does) to the
    // name the file is written under; a link to a missing file names the
    // file to create.
    bool resolveTarget() {
        for (int hops = 0; hops < 40; ++hops) {
            struct stat info {};
            if (::lstat(target_.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return true;
            std::string link(4096, '\0');
            const ssize_t n = ::readlink(target_.c_str(), link.data(), link.size());
            if (n <= 0 || static_cast<std::size_t>(n) >= link.size()) return false;
            link.resize(static_cast<std::size_t>(n));
            if (link[0] != '/') {
                const std::string& from = target_.str();
                const std::size_t slash = from.rfind('/');
                if (slash != std::string::npos) link = from.substr(0, slash + 1) + link;
            }
            target_ = MString(link);
        }
        return false;
    }

    MString target_;
    MString path_;
    bool replacing_ = false;
    struct stat old_ {};
};

class Saver {
public:
    Saver(Session& session, BlockWriter& out) : session_(session), ws_(session.ws), out_(out), fields_(out) {}

    int latentEstimates(BlockReader& cases) {
        session_.statusText("Saving latent estimates", 0);
        const EstimationState& est = ws_.est;
        const std::int32_t N = ws_.data.passes.cases;
        const std::int32_t D = std::max(1, est.dimensions());
        const std::int32_t V = est.caseScorePlausible;
        out_.putInt32(N);
        out_.putInt32(D);
        out_.putInt32(V);
        const std::size_t bytes = static_cast<std::size_t>(caseRecordBytes(D, V));
        for (std::int32_t n = 0; n < N; ++n) {
            const unsigned char* r = cases.next();
            if (r == nullptr) return fail("Error reading scratch file " + est.caseScoreFile);
            std::copy(r, r + bytes, out_.append(bytes));
        }
        systemfile::latentEstimates(fields_, ws_.est);
        return 1;
    }

    int specifications() {
        session_.statusText("Writing specifications", 0);
        if (ws_.data.passes.responseRecords > std::numeric_limits<std::int32_t>::max())
            return fail("There are too many responses for a system file");
        Spares spares;
        spares.unlabelledOutput = ws_.files.importDesignFile.isEmpty() ? 0 : 1;
        spares.replication = ws_.replication;
        spares.inSubmit = ws_.inSubmit;
        const Reliabilities r = computeReliabilities(ws_);
        auto column = [](const std::vector<double>& values) {
            Vector v;
            if (!values.empty()) v = zeroVector(static_cast<int>(values.size()));
            for (std::size_t k = 0; k < values.size(); ++k) v[static_cast<int>(k)][0] = values[k];
            return v;
        };
        spares.mleReliability = column(r.mle);
        spares.wleReliability = column(r.wle);
        spares.eapReliability = column(r.eap);
        GeneratorStates generators{session_.uniform.state(), session_.normal.state(), session_.mvnormal.state()};
        systemfile::specifications(fields_, ws_, generators, spares, systemfile::versionFor(ws_));
        return 1;
    }

    int designMatrices() {
        session_.statusText("Saving design matrices", 0);
        systemfile::designMatrices(fields_, ws_.build);
        return 1;
    }

    int backgroundData() {
        session_.statusText("Saving background data", 0);
        const DataPassState& st = ws_.data.passes;
        const std::size_t width = static_cast<std::size_t>(st.caseInfoWidth);
        BlockReader info;
        if (!info.open(st.caseInfoFile.str(), 8 * width))
            return fail("Open failure to scratch file " + st.caseInfoFile);
        for (std::int32_t n = 0; n < st.cases; ++n) {
            const unsigned char* r = info.next();
            if (r == nullptr) return fail("Error reading scratch file " + st.caseInfoFile);
            // The weight and the regression values; the constant 1.0 between
            // them is not stored.
            std::copy(r, r + 8, out_.append(8));
            std::copy(r + 16, r + 8 * width, out_.append(8 * (width - 2)));
        }
        copyRecords(st.groupFile, static_cast<std::size_t>(st.groupRecordLength), st.cases);
        if (st.identifierCount > 0 && st.identifierWidth > 0)
            copyRecords(st.identifierFile, static_cast<std::size_t>(st.identifierWidth), st.identifierCount);
        return failed_ ? -1 : 1;
    }

    int itemResponses() {
        const DataPassState& st = ws_.data.passes;
        const std::int64_t total = st.responseRecords;
        Progress progress(session_, "Saving item response data", total);
        const bool ram = st.ramStorage && static_cast<std::int64_t>(st.ramRecords.size()) == total;
        BlockReader model;
        if (!ram && !model.open(st.modelFile.str(), kModelRecordBytes))
            return fail("Open failure to scratch file " + st.modelFile);
        for (std::int64_t k = 0; k < total; ++k) {
            unsigned char* p = out_.append(kModelRecordBytes);
            if (ram) {
                const ModelRecord& m = st.ramRecords[static_cast<std::size_t>(k)];
                storeInt32(p, m.caseNumber);
                storeInt32(p + 4, m.category);
                storeInt32(p + 8, m.item);
                storeInt32(p + 12, m.recodedIndex);
                storeInt32(p + 16, m.flag);
            } else {
                const unsigned char* r = model.next();
                if (r == nullptr) return fail("Error reading scratch file " + st.modelFile);
                std::copy(r, r + kModelRecordBytes, p);
            }
            if (!progress.step(k)) return fail("The system file was not written: the run is ending");
        }
        // Implicit facet levels that the model records do not carry (only
        // while the passes are current: otherwise they are run again).
        const std::vector<int> outside =
            ws_.dataPassNeeded == 0 ? ResponseRecordMaker(ws_).outsidePlaces() : std::vector<int>();
        out_.putInt32(static_cast<std::int32_t>(outside.size()));
        if (outside.empty()) return 1;
        BlockReader responses;
        if (!responses.open(st.responseFile.str(), static_cast<std::size_t>(st.responseRecordBytes())))
            return fail("Open failure to scratch file " + st.responseFile);
        for (std::int64_t k = 0; k < total; ++k) {
            const unsigned char* r = responses.next();
            if (r == nullptr) return fail("Error reading scratch file " + st.responseFile);
            for (int place : outside) out_.putInt32(loadInt32(r + 4 * (5 + st.recordExplicit + place)));
        }
        return 1;
    }

private:
    int fail(const MString& message) {
        session_.errorReport(message);
        failed_ = true;
        return -1;
    }
    void copyRecords(const MString& name, std::size_t bytes, std::int32_t count) {
        BlockReader in;
        if (!in.open(name.str(), bytes)) {
            fail("Open failure to scratch file " + name);
            return;
        }
        for (std::int32_t n = 0; n < count; ++n) {
            const unsigned char* r = in.next();
            if (r == nullptr) {
                fail("Error reading scratch file " + name);
                return;
            }
            std::copy(r, r + bytes, out_.append(bytes));
        }
    }

    Session& session_;
    Workspace& ws_;
    BlockWriter& out_;
    FieldWriter fields_;
    bool failed_ = false;
};

// ---------------------------------------------------------------------------
// get

// The work files a load makes: removed again unless the load succeeds.
class NewWorkFiles {
public:
    ~NewWorkFiles() {
        for (const MString& name : names_) std::remove(name.c_str());
    }
    MString make(const char* base) {
        MString name = scratchFileName(base);
        names_.push_back(name);
        return name;
    }
    void keep() { names_.clear(); }

private:
    std::vector<MString> names_;
};

// A work file written from the system file.
class WorkFileOut {
public:
    WorkFileOut(NewWorkFiles& files, const char* base) : name_(files.make(base)) {
        if (!out_.open(name_.str())) throw WorkFileFailure{"Open failure to scratch file " + name_};
    }
    unsigned char* append(std::size_t n) { return out_.append(n); }
    void close() {
        if (!out_.close()) throw WorkFileFailure{"Error writing scratch file " + name_};
    }
    const MString& name() const { return name_; }

private:
    MString name_;
    BlockWriter out_;
};

class Loader {
public:
    Loader(Session& session, SystemFileInput& in) : session_(session), in_(in), fields_(in) {}

    // Reads the header and shows it. False for a version this program
    // cannot read (after its report).
    void header() {
        in_.setPart(kPartHeader);
        MString built, written;
        headerText(built);
        headerText(written);
        const std::int32_t version = in_.int32();
        MString shown = written;
        if (!shown.isEmpty() && shown[shown.length() - 1] == '\n') shown = shown.mid(0, shown.length() - 1);
        const MString& end = session_.lineEnd;
        session_.appendOutput("System File version: " + itoMString(version) + end +
                              "System File written: " + shown + end +
                              "System File written by Ordena build: " + built + end +
                              "Current Ordena build: " + buildDateText() + end);
        if (version != systemfile::kVersion && version != systemfile::kDelimitedVersion) in_.refuse("incorrect version");
        version_ = version;
    }

    void latentEstimates() {
        in_.setPart(kPartLatent);
        session_.statusText("Getting latent estimates", 0);
        fields_.integer(N_, "the number of cases", 0);
        fields_.integer(D_, "the number of dimensions", 1, 64);
        fields_.integer(V_, "the number of plausible values", 0, 1 << 20);
        const std::uint64_t bytes = caseRecordBytes(D_, V_);
        in_.need(bytes * static_cast<std::uint64_t>(N_));
        WorkFileOut out(files_, "scrf006.");
        // Record by record: every score, estimate and error of a case is a
        // finite number (an estimate not computed is stored as 0), except
        // that an MLE, WLE or JML estimate that failed is NaN with its errors.
        const std::uint64_t perRecord = bytes / 8, d = static_cast<std::uint64_t>(D_);
        const std::uint64_t pv = d * static_cast<std::uint64_t>(V_);
        const auto mayBeMissing = [&](std::uint64_t field) {
            return (field >= d + d * d && field < 3 * d + 3 * d * d) ||
                   (field >= 3 * d + 3 * d * d + pv && field < 4 * d + 4 * d * d + pv);
        };
        std::uint64_t field = 0;
        for (std::uint64_t left = bytes * static_cast<std::uint64_t>(N_); left > 0;) {
            const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(left, SystemFileInput::kMaxTake));
            const unsigned char* r = in_.take(chunk);
            for (std::size_t k = 0; k + 8 <= chunk; k += 8, field = (field + 1) % perRecord) {
                const double v = loadDouble(r + k);
                if (!std::isfinite(v) && !(std::isnan(v) && mayBeMissing(field)))
                    in_.outOfRange("a case's scores and estimates");
            }
            std::copy_n(r, chunk, out.append(chunk));
            left -= chunk;
        }
        out.close();
        ws_.est.caseScoreFile = out.name();
        ws_.est.caseScorePlausible = V_;
        systemfile::latentEstimates(fields_, ws_.est);
    }

    void specifications() {
        in_.setPart(kPartSpecifications);
        session_.statusText("Getting specifications", 0);
        Spares unused;
        systemfile::specifications(fields_, ws_, generators_, unused, version_);
        if (ws_.data.passes.cases != N_) in_.disagrees("the number of cases");
        if (std::max(1, ws_.est.dimensions()) != D_) in_.disagrees("the number of dimensions");
        const char* problem = systemfile::sizeProblem(ws_);
        if (problem != nullptr) in_.disagrees(problem);
    }

    void designMatrices() {
        in_.setPart(kPartDesign);
        session_.statusText("Getting design matrices", 0);
        systemfile::designMatrices(fields_, ws_.build);
    }

    void backgroundData() {
        in_.setPart(kPartBackground);
        session_.statusText("Getting background data", 0);
        DataPassState& st = ws_.data.passes;
        const std::uint64_t N = static_cast<std::uint64_t>(st.cases);
        const std::uint64_t width = static_cast<std::uint64_t>(st.caseInfoWidth);
        in_.need(N * 8 * (width - 1));
        WorkFileOut info(files_, "scrf002.");
        for (std::uint64_t n = 0; n < N; ++n) {
            unsigned char* r = info.append(8 * width);
            std::copy_n(in_.take(8), 8, r);
            storeDouble(r + 8, 1.0);
            copyInto(r + 16, 8 * (width - 2));
        }
        info.close();
        st.caseInfoFile = info.name();

        const std::uint64_t length = static_cast<std::uint64_t>(st.groupRecordLength);
        in_.need(N * length);
        WorkFileOut group(files_, "scrf007.");
        copy(group, N * length);
        group.close();
        st.groupFile = group.name();

        st.identifierFile = MString();
        if (st.identifierCount > 0) {
            const std::uint64_t bytes = static_cast<std::uint64_t>(st.identifierCount) * st.identifierWidth;
            in_.need(bytes);
            WorkFileOut ids(files_, "scrf003.");
            copy(ids, bytes);
            ids.close();
            st.identifierFile = ids.name();
        }
    }

    void itemResponses() {
        in_.setPart(kPartResponses);
        DataPassState& st = ws_.data.passes;
        const ModelBuild& build = ws_.build;
        const std::int64_t total = st.responseRecords;
        in_.need(static_cast<std::uint64_t>(total) * kModelRecordBytes + 4);
        Progress progress(session_, "Getting item response data", total);

        WorkFileOut modelFile(files_, "scrf004.");
        std::vector<ModelRecord> kept;  // while the levels outside the model are still to come
        const bool current = ws_.dataPassNeeded == 0;
        ResponseRecordMaker maker(ws_);
        const std::vector<int> outside = current ? maker.outsidePlaces() : std::vector<int>();
        if (!outside.empty()) kept.reserve(static_cast<std::size_t>(total));

        std::int32_t lastCase = 0;
        const std::int32_t categories = static_cast<std::int32_t>(st.t2.size());
        const std::int32_t recoded = std::max<std::int32_t>(1, static_cast<std::int32_t>(st.t1.size()));
        for (std::int64_t k = 0; k < total; ++k) {
            const unsigned char* r = in_.take(kModelRecordBytes);
            const ModelRecord m{loadInt32(r), loadInt32(r + 4), loadInt32(r + 8), loadInt32(r + 12),
                                loadInt32(r + 16)};
            if (m.caseNumber < lastCase || m.caseNumber >= st.cases) in_.outOfRange("a case number");
            if (m.item < 0 || m.item >= build.items) in_.outOfRange("a generalised item");
            if (m.flag != 0 && m.flag != 1) in_.outOfRange("a response flag");
            if (m.recodedIndex < 0 || m.recodedIndex >= recoded) in_.outOfRange("a recoded index");
            const std::int32_t limit = std::min(categories, build.categoryCount[static_cast<std::size_t>(m.item)]);
            if (m.flag == 1 ? (m.category < 0 || m.category >= limit) : m.category != 0)
                in_.outOfRange("a response category");
            lastCase = m.caseNumber;
            std::copy(r, r + kModelRecordBytes, modelFile.append(kModelRecordBytes));
            if (!outside.empty()) kept.push_back(m);
            if (!progress.step(k)) throw WorkFileFailure{"The system file was not read: the run is ending"};
        }
        modelFile.close();
        st.modelFile = modelFile.name();
        st.ramStorage = false;
        st.ramRecords.clear();

        std::int32_t stored = 0;
        fields_.integer(stored, "the facets outside the model", 0, kMaxListVariables);
        if (stored != static_cast<std::int32_t>(outside.size())) in_.disagrees("the facets outside the model");
        // While the data passes are current, the model file stands for the
        // response file; only implicit facets outside the model, whose
        // levels follow the records here, need the response file at once.
        st.responseFile = MString();
        st.responsesInModelFile = current && outside.empty();
        if (outside.empty()) return;
        in_.need(static_cast<std::uint64_t>(total) * 4 * outside.size());
        WorkFileOut responseFile(files_, "scrf000.");
        std::vector<std::int32_t> levels(outside.size());
        const auto& implicit = ws_.model.lastFacets.implicitIndices;
        const auto& variables = ws_.data.layout.implicitVariables;
        for (const ModelRecord& m : kept) {
            for (std::size_t j = 0; j < outside.size(); ++j) {
                levels[j] = in_.int32();
                const std::size_t variable = static_cast<std::size_t>(implicit[static_cast<std::size_t>(outside[j])]);
                if (levels[j] < 0 || levels[j] >= variables[variable].levels) in_.outOfRange("an implicit facet level");
            }
            maker.make(m, levels.data(), responseFile.append(maker.bytes()));
        }
        responseFile.close();
        st.responseFile = responseFile.name();
    }

    void end() {
        if (in_.remaining() != 0) in_.refuse("there is more in it after its item response data");
        const char* problem = systemfile::workspaceProblem(ws_);
        if (problem != nullptr) in_.refuse(std::string(problem) + " does not agree with the rest of the file");
        // The uniform, normal and multivariate generators, checked on copies.
        uniform_ = session_.uniform;
        normal_ = session_.normal;
        mvnormal_ = session_.mvnormal;
        if (!uniform_.restore(generators_[0]) || !normal_.restore(generators_[1]) ||
            !mvnormal_.restore(generators_[2]))
            in_.refuse("a random generator's state in its specifications is out of range");
        // The constrained design is made again from the parameter rows; an
        // unfinished build keeps none (the next estimate makes it).
        if (!ws_.build.constrainedDesign.empty()) {
            ws_.build.constrainedDesign.clear();
            if (systemfile::buildProblem(ws_) == nullptr) buildConstrainedDesign(ws_.build);
        }
    }

    // Replaces the session's workspace with the one read. The log file, the
    // replication and the in-submit flag belong to the running session.
    void commit() {
        Workspace& ws = session_.ws;
        ws.removeWorkFiles();
        ws_.files.logFile = std::move(ws.files.logFile);
        ws_.files.logFileName = ws.files.logFileName;
        ws_.replication = ws.replication;
        ws_.inSubmit = ws.inSubmit;
        ws = std::move(ws_);
        session_.uniform = uniform_;
        session_.normal = normal_;
        session_.mvnormal = std::move(mvnormal_);
        files_.keep();
        session_.setOutputLimit(ws.settings.buffersize);
        refreshStatusPanes(session_);
        session_.statusText("System file loaded", 0);
    }

private:
    // A header text: short and printable (the save date ends in a line feed).
    void headerText(MString& text) {
        const std::int32_t n = in_.int32();
        if (n < 0 || n > 64) in_.refuse("its header is not that of a system file");
        std::string bytes(reinterpret_cast<const char*>(in_.take(static_cast<std::size_t>(n))),
                          static_cast<std::size_t>(n));
        for (std::size_t k = 0; k < bytes.size(); ++k) {
            const unsigned char c = static_cast<unsigned char>(bytes[k]);
            if ((c < 32 || c > 126) && !(c == '\n' && k + 1 == bytes.size()))
                in_.refuse("its header is not that of a system file");
        }
        text = MString(std::move(bytes));
    }

    void copy(WorkFileOut& out, std::uint64_t bytes) {
        while (bytes > 0) {
            const std::size_t chunk =
                static_cast<std::size_t>(std::min<std::uint64_t>(bytes, SystemFileInput::kMaxTake));
            copyInto(out.append(chunk), chunk);
            bytes -= chunk;
        }
    }
    void copyInto(unsigned char* to, std::uint64_t bytes) {
        while (bytes > 0) {
            const std::size_t chunk =
                static_cast<std::size_t>(std::min<std::uint64_t>(bytes, SystemFileInput::kMaxTake));
            std::copy_n(in_.take(chunk), chunk, to);
            to += chunk;
            bytes -= chunk;
        }
    }

    Session& session_;
    SystemFileInput& in_;
    FieldReader fields_;
    NewWorkFiles files_;
    Workspace ws_;
    GeneratorStates generators_;
    RanUniform uniform_;
    RanNormal normal_;
    RanMVNormal mvnormal_{1};
    std::int32_t N_ = 0, D_ = 1, V_ = 0;
    std::int32_t version_ = systemfile::kVersion;
};

}  // namespace

int putCommand(Session& session, const MString& arguments) {
    const Stopwatch clock;
    MString name;
    if (!redirectedName(session, arguments, ">>", name)) return -1;
    Workspace& ws = session.ws;
    PartFile part(name);
    BlockWriter out;
    if (!part.create() || !out.open(part.path().str())) {
        session.errorReport("Can't write system file");
        return -1;
    }
    const EstimationState& est = ws.est;
    BlockReader cases;
    const std::uint64_t recordBytes = caseRecordBytes(std::max(1, est.dimensions()), est.caseScorePlausible);
    if (est.caseScoreFile == "unassigned" || est.caseScorePlausible < 0 ||
        !cases.open(est.caseScoreFile.str(), static_cast<std::size_t>(recordBytes))) {
        session.errorReport("File open failed");
        return -1;
    }

    FieldWriter fields(out);
    MString built = buildDateText();
    MString written = saveDateText();
    fields.text(built, "the build date");
    fields.text(written, "the save date");
    out.putInt32(systemfile::versionFor(session.ws));

    Saver saver(session, out);
    if (saver.latentEstimates(cases) != 1 || saver.specifications() != 1 || saver.designMatrices() != 1 ||
        saver.backgroundData() != 1 || saver.itemResponses() != 1)
        return -1;
    if (!out.close() || !part.commit()) {
        session.errorReport("Can't write system file");
        return -1;
    }
    session.statusText("System file saved", 0);
    session.timing.putSeconds += clock.seconds();
    return 1;
}

int getCommand(Session& session, const MString& arguments) {
    const Stopwatch clock;
    MString name;
    if (!redirectedName(session, arguments, "<<", name)) return -1;
    SystemFileInput in;
    if (name.isEmpty() || name.str().find('\0') != std::string::npos || !in.open(name.str())) {
        session.errorReport("Cannot read system file:===>" + name);
        return -1;
    }
    try {
        Loader loader(session, in);
        loader.header();
        loader.latentEstimates();
        loader.specifications();
        loader.designMatrices();
        loader.backgroundData();
        loader.itemResponses();
        loader.end();
        loader.commit();
    } catch (const SystemFileRefusal& refusal) {
        session.errorReport("This system file cannot be read, " + MString(refusal.reason));
        return -1;
    } catch (const WorkFileFailure& failure) {
        session.errorReport(failure.message);
        return -1;
    } catch (const std::bad_alloc&) {
        session.errorReport("This system file cannot be read, there is not enough memory for it");
        return -1;
    }
    session.timing.getSeconds += clock.seconds();
    return 1;
}

}  // namespace ordena

#include "data/response_reader.h"

namespace ordena {

int ResponseReader::open(Shell& shell) {
    file_.close();
    ram_ = state_.ramStorage;
    total_ = ram_ ? static_cast<std::int64_t>(state_.ramRecords.size()) : state_.responseRecords;
    consumed_ = 0;
    havePending_ = false;
    finished_ = false;
    open_ = false;
    if (!ram_ && !file_.open(state_.modelFile.str(), kModelRecordBytes)) {
        shell.errorReport("Open failure to scratch file " + state_.modelFile);
        return -1;
    }
    open_ = true;
    return 1;
}

int ResponseReader::close() {
    file_.close();
    open_ = false;
    return -1;
}

int ResponseReader::shortFile(Shell& shell) {
    shell.errorReport("The scratch file " + state_.modelFile + " ends before its last record");
    close();
    return -1;
}

bool ResponseReader::readRecord(ModelRecord& record) {
    if (consumed_ >= total_) return false;
    if (ram_) {
        record = state_.ramRecords[static_cast<std::size_t>(consumed_)];
    } else {
        const unsigned char* r = file_.next();
        if (r == nullptr) {
            // Shorter than the count the passes wrote: the file was changed
            // under us, and the cases after this point would be lost.
            short_ = true;
            return false;
        }
        record.caseNumber = loadInt32(r);
        record.category = loadInt32(r + 4);
        record.item = loadInt32(r + 8);
        record.recodedIndex = loadInt32(r + 12);
        record.flag = loadInt32(r + 16);
    }
    ++consumed_;
    return true;
}

int ResponseReader::next(int& caseNumber, std::int32_t* itemNo, std::int32_t* rsp, bool& last, Shell& shell,
                         Matrix* recodedIndex) {
    last = false;
    // Every pass over the cases reads them here: a termination request
    // (SIGTERM, SIGHUP) ends the pass, and with it the statement and the run.
    if (shell.terminationSignalled()) return -1;
    if (!open_ || finished_) {
        caseNumber = -1;
        last = true;
        return 0;
    }
    if (!havePending_) {
        if (!readRecord(pending_)) {
            if (short_) return shortFile(shell);
            // No record at all: nothing to hand over.
            finished_ = true;
            close();
            caseNumber = -1;
            last = true;
            return 0;
        }
        havePending_ = true;
    }
    int count = 0;
    // Only responses are handed over: a placeholder (flag 0) stands for a
    // record group without a valid response, and when the case's identifier
    // comes again with responses it must not count as one.
    auto store = [&](const ModelRecord& r) {
        if (r.flag != 1) return;
        itemNo[count] = r.item;
        rsp[count] = r.category;
        if (recodedIndex != nullptr && count < recodedIndex->rows() && recodedIndex->columns() > 0)
            (*recodedIndex)[count][0] = static_cast<double>(r.recodedIndex);
        ++count;
    };
    store(pending_);
    const int current = pending_.caseNumber;
    ModelRecord record;
    for (;;) {
        if (!readRecord(record)) {
            if (short_) return shortFile(shell);
            finished_ = true;
            havePending_ = false;
            close();
            open_ = true;  // a further call still answers: no more cases
            last = true;
            caseNumber = current;
            return count;
        }
        if (record.caseNumber != current) {
            pending_ = record;
            caseNumber = current;
            return count;
        }
        if (record.flag != 1) continue;
        if (count >= kMaxCaseResponses) {
            shell.errorReport("Too many item responses for one or more cases. This version is limited to " +
                              itoMString(kMaxCaseResponses) + " item responses for each case");
            close();
            return -1;
        }
        store(record);
    }
}

int ResponseReader::call(int& control, int& caseNumber, std::int32_t* itemNo, std::int32_t* rsp, Shell& shell,
                         Matrix* recodedIndex) {
    if (control == 9) return open(shell);
    if (control == 10 && !recoded_) return close();
    bool last = false;
    int count = next(caseNumber, itemNo, rsp, last, shell, recodedIndex);
    control = last ? 1 : 0;
    return count;
}

}  // namespace ordena

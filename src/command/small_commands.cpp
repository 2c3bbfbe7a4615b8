// title, submit, directory, system, exit and quit.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "command/commands.h"
#include "command/parse.h"
#include "command/reader.h"
#include "command/session.h"

namespace ordena {

namespace {

// Submitted files may submit others, but a file that submits itself must not
// exhaust the stack.
constexpr int kMaxSubmitDepth = 50;

// The whole file, or false when it cannot be opened or read.
bool readWholeFile(const MString& name, std::string& text) {
    if (name.str().find('\0') != std::string::npos) return false;
    std::FILE* f = std::fopen(name.c_str(), "rb");
    if (f == nullptr) return false;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

// Keeps the in-submit flag and the nesting depth for the duration of one
// submitted file.
class SubmitScope {
public:
    explicit SubmitScope(Session& session)
        : session_(session), savedFlag_(session.ws.inSubmit) {
        session.ws.inSubmit = 1;
        ++session.submitDepth;
    }
    ~SubmitScope() {
        --session_.submitDepth;
        session_.ws.inSubmit = savedFlag_;
    }
    SubmitScope(const SubmitScope&) = delete;
    SubmitScope& operator=(const SubmitScope&) = delete;

private:
    Session& session_;
    int savedFlag_;
};

}  // namespace

int handleTitle(Session& session, const MString& arguments) {
    MString word;
    int first = -1, last = -1;
    if (firstToken(arguments, 0, " ", word, first, last) == -1) {
        session.errorReport("Nothing specified after 'title' keyword");
        return -1;
    }
    session.ws.title = arguments.trim();
    return 1;
}

int handleSubmit(Session& session, const MString& arguments) {
    MString word;
    int first = -1, last = -1;
    if (firstToken(arguments, 0, " ", word, first, last) == -1) {
        session.errorReport("Nothing specified after 'submit' keyword");
        return -1;
    }
    // The name may hold blanks; blanks after it are dropped as the original
    // platform's file system did.
    MString name = arguments.trim();
    std::string text;
    if (!readWholeFile(name, text) || text.empty()) {
        session.errorReport(" Error opening submit file " + word);
        return -1;
    }
    if (session.submitDepth >= kMaxSubmitDepth) {
        session.errorReport("Submit files are nested too deeply: " + name);
        return -1;
    }
    SubmitScope scope(session);
    // Lines are joined without a separator, so a statement may run over
    // several lines; as in a script run directly, that happens after the
    // loops are expanded, where a line break separates values.
    runScript(session, MString(std::move(text)));
    return 1;
}

int handleDirectory(Session& session, const MString&) {
    std::error_code error;
    std::filesystem::path here = std::filesystem::current_path(error);
    if (error) {
        session.errorReport("The working directory cannot be read: " + MString(error.message()));
        return -1;
    }
    printText(session, MString(here.string()) + "\r\n");
    return 1;
}

int handleSystem(Session&, const MString& arguments) {
    // What was written so far must come before the command's own output.
    std::fflush(nullptr);
    // The outcome is ignored: the statement succeeds whatever the command did.
    [[maybe_unused]] int status = std::system(arguments.c_str());
    return 1;
}

int handleExit(Session& session, const MString&) {
    session.exitRequested = true;
    return 1;
}

int handleQuit(Session& session, const MString&) { return handleExit(session, MString()); }

}  // namespace ordena

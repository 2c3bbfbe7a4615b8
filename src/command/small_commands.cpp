// title, submit, directory, system, exit and quit.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "command/commands.h"
#include "base/file_kind.h"
#include "command/parse.h"
#include "command/reader.h"
#include "command/session.h"

namespace ordena {

namespace {

// Submitted files may submit others, but a file that submits itself must not
// exhaust the stack.
constexpr int kMaxSubmitDepth = 50;

// The whole file: 1, 0 when it cannot be opened or read, -1 after a report
// when it is larger than a script may be or has a line too long (a device
// such as /dev/zero never ends).
int readWholeFile(Session& session, const MString& name, std::string& text) {
    if (name.str().find('\0') != std::string::npos) return 0;
    std::FILE* f = openWithoutWaiting(name.str(), "rb");
    if (f == nullptr) return 0;
    char buffer[65536];
    std::size_t n, lineStart = 0;
    int result = 1;
    while (result == 1 && (n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        const std::size_t before = text.size();
        text.append(buffer, n);
        for (std::size_t i = before; i < text.size(); ++i)
            if (text[i] == '\n' || text[i] == '\r') lineStart = i + 1;
        if (text.size() - lineStart > kMaxSubmitLineBytes) {
            session.errorReport("The submit file " + name + " has a line longer than " +
                                itoMString(static_cast<long long>(kMaxSubmitLineBytes)) + " characters");
            result = -1;
        } else if (text.size() > kMaxScriptBytes) {
            session.errorReport("The submit file " + name + " is larger than the " +
                                itoMString(static_cast<long long>(kMaxScriptBytes)) + " bytes a script may hold");
            result = -1;
        }
    }
    if (result == 1 && std::ferror(f)) result = 0;
    std::fclose(f);
    return result;
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
    const int read = readWholeFile(session, name, text);
    if (read == -1) return -1;
    if (read == 0 || text.empty()) {
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

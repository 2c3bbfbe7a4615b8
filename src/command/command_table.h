// The command words and the handler of each command number.
#pragma once

#include <array>

#include "base/mstring.h"

namespace ordena {

class Session;

// A statement handler: receives the text after the command word and
// returns 1 for success or -1 after reporting a failure.
using Handler = int (*)(Session& session, const MString& arguments);

constexpr int kCommandCount = 37;

// The command words in command-number order, lowercase.
extern const char* const kCommandWords[kCommandCount];

// The handler of every command number.
const std::array<Handler, kCommandCount>& standardHandlers();

}  // namespace ordena

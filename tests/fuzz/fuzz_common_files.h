// Small files that fuzz inputs may name: a data file with one and two
// column fields, blanks, dots and a CR LF line, a labels file and a command
// file.
#pragma once

#include "fuzz_session.h"

namespace ordena::fuzz {

inline constexpr std::string_view kDataText =
    "00001 M 1 0110201 AB 12 3.5\n"
    "00002 F 2 1011.10 BA 07 1.0\n"
    "00003 M 1 0 1 2 1 AA 10 2.25\r\n"
    "00004   2 1111111 BB 99 .\n"
    "00001 F 1 0000000 AB 01 4\n"
    "00005 M 3 2220110 CA 12 0.5\n"
    "      F 2 1201100 AB 05 1\n"
    "00006 M 1 0101010 BC 03 2\n";

inline constexpr std::string_view kLabelsText =
    "===> item\n1 first\n2 \"second item\"\n===> rater\n1 one\n";

inline constexpr std::string_view kCommandText = "title submitted;\ncodes 0,1,2;\n";

inline void writeCommonFiles() {
    writeFile("data.txt", kDataText);
    writeFile("names.lab", kLabelsText);
    writeFile("cmds.zrc", kCommandText);
}

}  // namespace ordena::fuzz

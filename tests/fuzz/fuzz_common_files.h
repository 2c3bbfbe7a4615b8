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

// Twenty-four cases of six items with categories 0-2, a regressor x in
// columns 5-8 and a rater in column 4: the data of the estimating targets.
inline constexpr std::string_view kSixItemData =
    "00110.42 001000\n00220.55 211001\n00331.19 011100\n00410.98 211100\n00520.91 101121\n00631.48 021101\n"
    "00711.33 112220\n00821.10 120111\n00930.99 112110\n01011.29 222102\n01121.29 110011\n01230.75 111100\n"
    "01310.99 010000\n01421.23 221200\n01531.19 212222\n01611.08 211111\n01720.98 220001\n01830.54 001100\n"
    "01910.92 200000\n02021.32 222011\n02130.90 210010\n02210.70 100100\n02321.55 221211\n02431.68 221221\n";

inline void writeCommonFiles() {
    writeFile("data.txt", kDataText);
    writeFile("names.lab", kLabelsText);
    writeFile("cmds.zrc", kCommandText);
}

}  // namespace ordena::fuzz

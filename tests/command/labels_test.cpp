// labels inline and from label files, and the label lookup.
#include "command/labels.h"
#include "command/session_fixture.h"

namespace ordena::test {
namespace {

class LabelsTest : public SessionTest {
protected:
    int labels(const std::string& text) { return exec("labels " + text); }
    std::vector<std::string> pairs(int kind, int index = 0) const {
        std::vector<std::string> out;
        if (const LabelSet* set = session.ws.labels.find(kind, index))
            for (std::size_t k = 0; k < set->codes.size(); ++k)
                out.push_back(set->codes[k].str() + "=" + set->labels[k].str());
        return out;
    }
};

TEST_F(LabelsTest, InlineLabelsReplaceAndAppend) {
    EXPECT_EQ(labels("1 \"Reading speed\" ! dimensions"), 1);
    EXPECT_EQ(labels("2 Vocabulary  and more ! dimensions"), 1);
    EXPECT_EQ(labels("1 Speed ! dimensions"), 1);
    EXPECT_EQ(labels("\"7\" \"\" ! parameters"), 1);
    EXPECT_EQ(labels("1 Infit!fitstatistics"), 1);
    EXPECT_EQ(pairs(kLabelDimensions), (std::vector<std::string>{"1=Speed", "2=Vocabulary  and more"}));
    EXPECT_EQ(pairs(kLabelParameters), (std::vector<std::string>{"7="}));
    EXPECT_EQ(pairs(kLabelFit), (std::vector<std::string>{"1=Infit"}));
    // Sets come in order of creation.
    ASSERT_EQ(session.ws.labels.sets.size(), 3u);
    EXPECT_EQ(session.ws.labels.sets[1].kind, kLabelParameters);
}

TEST_F(LabelsTest, InlineErrors) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"1 Reading", "A variable name must be provided as an option"},
        {"1 ! dimensions", "The label argument is not legal"},
        {"! dimensions", "The label argument is not legal"},
        {"\" ! dimensions", "The label argument is not legal"},
        {"\"1 Reading ! dimensions", "The quotes don't match in the label argument"},
        {"1 Reading\" ! dimensions", "The quotes don't match in the label argument"},
        {"1 Literacy ! dim", "Cannot assign labels to the undefined variable: dim"},
        {"1 Literacy ! Dimensions", "Cannot assign labels to the undefined variable: Dimensions"},
        {"1 Literacy !", "Cannot assign labels to the undefined variable: "},
    };
    for (const Case& c : cases) {
        shell.clear();
        EXPECT_EQ(labels(c.text), -1) << c.text;
        EXPECT_EQ(shell.errors, std::vector<std::string>{c.message}) << c.text;
    }
    EXPECT_TRUE(session.ws.labels.sets.empty());
}

TEST_F(LabelsTest, LookupFallsBackToKindAndCode) {
    ASSERT_EQ(labels("1 Literacy ! dimensions"), 1);
    EXPECT_EQ(labelLookup(session.ws, "", kLabelDimensions, "1"), "Literacy");
    EXPECT_EQ(labelLookup(session.ws, "", kLabelDimensions, "2"), "Dimension 2");
    EXPECT_EQ(labelLookup(session.ws, "", kLabelParameters, "3"), "Parameter 3");
    EXPECT_EQ(labelLookup(session.ws, "", kLabelFit, "4"), "Fit 4");
    EXPECT_EQ(labelLookup(session.ws, "item", kLabelImplicit, "5"), "5");
    EXPECT_EQ(labelLookup(session.ws, "gender", kLabelExplicit, "f"), "f");
}

class LabelFileTest : public LabelsTest {
protected:
    ScratchDirectory scratch;
    int fromFile(const std::string& content) {
        writeFile("l.lab", content);
        shell.clear();
        return labels("<< l.lab");
    }
};

TEST_F(LabelFileTest, QuotedLabelsMayRunOverLines) {
    EXPECT_EQ(fromFile("===> dimensions\n1 \"Reading\nspeed\"   2\tVocabulary\r\n"
                       "===> parameters 1 \"a  b\" \"2\" \"x\" 3 \"\"\n===> fitstatistics"),
              1);
    EXPECT_TRUE(shell.errors.empty());
    EXPECT_EQ(pairs(kLabelDimensions), (std::vector<std::string>{"1=Reading speed", "2=Vocabulary"}));
    EXPECT_EQ(pairs(kLabelParameters), (std::vector<std::string>{"1=a b", "2=x", "3="}));
}

TEST_F(LabelFileTest, TheMarkerAloneStoresNothing) {
    EXPECT_EQ(fromFile("===>"), 1);
    EXPECT_EQ(fromFile("===>\n\n"), 1);
    EXPECT_EQ(fromFile("===> dimensions\n"), 1);
    EXPECT_TRUE(session.ws.labels.sets.empty());
    EXPECT_TRUE(shell.errors.empty());
}

TEST_F(LabelFileTest, FileErrors) {
    struct Case {
        const char* content;
        std::vector<std::string> messages;
        std::vector<std::string> infos;
    };
    const Case cases[] = {
        {"", {"Cannot read labels from the file: l.lab"}, {}},
        {" \n\t", {"Cannot read labels from the file: l.lab"}, {}},
        {"dimensions 1 x", {"The labels file must begin with: '===>' followed by a space"}, {}},
        {"===>dimensions 1 x", {"The labels file must begin with: '===>' followed by a space"}, {}},
        {"===> ===> x", {"Format error in the label file"}, {}},
        {"===> dimensions 1", {"Format error in the label file"}, {}},
        {"===> dimensions 1 ===>", {"Format error in the label file"}, {}},
        {"===> dimensions 1 x ===> ===>", {"Format error in the label file"}, {}},
        {"===> dimensions 1 a\"b", {"There is a stray quote in the label file"}, {"from read failure"}},
        {"===> dimensions a\"b x", {"There is a stray quote in the label file", "Format error in the label file"}, {}},
        {"===> dimensions 1 \"open label", {"There is an unmatched quote in the label file"}, {"from read failure"}},
        {"===> \"dimen sions", {"There is an unmatched quote in the label file"}, {}},
        {"===> nothing 1 x", {"Cannot assign labels to the undefined variable: nothing"}, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fromFile(c.content), -1) << c.content;
        EXPECT_EQ(shell.errors, c.messages) << c.content;
        EXPECT_EQ(shell.infos, c.infos) << c.content;
    }
}

TEST_F(LabelFileTest, LabelsBeforeAFailureStay) {
    EXPECT_EQ(fromFile("===> dimensions 1 one 2 two 3"), -1);
    EXPECT_EQ(pairs(kLabelDimensions), (std::vector<std::string>{"1=one", "2=two"}));
}

TEST_F(LabelFileTest, RedirectionForms) {
    writeFile("my labels.lab", "===> dimensions 1 one");
    EXPECT_EQ(labels("<<   my labels.lab  "), 1);
    EXPECT_EQ(exec("labels<<my labels.lab"), 1);
    EXPECT_EQ(labels("< my labels.lab"), -1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"The redirection symbol '<<' was expected but not found"});
    shell.clear();
    EXPECT_EQ(labels("<< missing.lab"), -1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"Cannot read labels from the file: missing.lab"});
    shell.clear();
    EXPECT_EQ(labels("<< ."), -1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"Cannot read labels from the file: ."});
}

std::string pair(const std::string& code, const std::string& label) {
    std::string p = code;
    p += '=';
    p += label;
    return p;
}

TEST_F(LabelFileTest, VeryLongWordsAreReadInPieces) {
    const std::string piece(3071, 'w');
    std::string content = "===> dimensions 1 ";
    content.append(10000, 'w');
    EXPECT_EQ(fromFile(content), -1);  // the last piece is a code without a label
    EXPECT_EQ(shell.errors, std::vector<std::string>{"Format error in the label file"});
    EXPECT_EQ(pairs(kLabelDimensions), (std::vector<std::string>{pair("1", piece), pair(piece, piece)}));

    content = "===> parameters 1 \"";
    content.append(5000, 'q');
    content += '"';
    EXPECT_EQ(fromFile(content), 1);
    std::string label(3070, 'q');
    label += ' ';
    label.append(1930, 'q');
    EXPECT_EQ(pairs(kLabelParameters), std::vector<std::string>{pair("1", label)});
}

}  // namespace
}  // namespace ordena::test

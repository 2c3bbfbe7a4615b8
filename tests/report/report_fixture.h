// A session with a model built from a small data file and estimates filled
// in by hand, so that the report tables can be checked without running an
// estimation.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "command/session_fixture.h"
#include "model/model_builder.h"
#include "report/report_writer.h"

namespace ordena::test {

inline void writeText(const std::string& name, const std::string& content) {
    std::ofstream f(name, std::ios::binary);
    f << content;
}

inline std::string readText(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

inline std::vector<std::string> splitLines(const std::string& text, const std::string& end) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t e = text.find(end, pos);
        if (e == std::string::npos) {
            lines.push_back(text.substr(pos));
            break;
        }
        lines.push_back(text.substr(pos, e - pos));
        pos = e + end.size();
    }
    return lines;
}

class ReportTest : public SessionTest {
protected:
    ScratchDirectory dir;

    // Six cases of four items scored 0, 1, 2 (rater facet in column 1 when
    // withRater).
    void buildModelFrom(const std::string& script, const std::string& data) {
        writeText("resp.dat", data);
        ASSERT_EQ(run(script), 1) << (shell.errors.empty() ? "" : shell.errors.back());
        ASSERT_EQ(buildModel(session), 1) << (shell.errors.empty() ? "" : shell.errors.back());
        shell.clear();
    }

    // Estimates 0.1, 0.2, ... for the parameters; quick errors 0.01 * (p+1);
    // one dimension, no regressors.
    void fillEstimates(int dimensions = 1, int regressors = 1) {
        EstimationState& est = session.ws.est;
        const int P = static_cast<int>(session.ws.build.estimated.size());
        est.xsi = Vector(P);
        est.itemErrors = Vector(P);
        est.keptParameters.clear();
        est.anchored.assign(static_cast<std::size_t>(P), 0);
        for (int p = 0; p < P; ++p) {
            est.xsi[p][0] = 0.1 * (p + 1);
            est.itemErrors[p][0] = 0.01 * (p + 1);
            est.keptParameters.push_back(p);
        }
        est.beta = zeros(dimensions, regressors);
        est.regressionAnchors = Matrix(dimensions, regressors);
        for (int d = 0; d < dimensions; ++d)
            for (int r = 0; r < regressors; ++r) est.regressionAnchors[d][r] = kNotAnchored;
        est.regressionErrors = zeros(regressors, dimensions);
        est.sigma = identity(dimensions);
        est.covarianceAnchors = Matrix(dimensions, dimensions);
        for (int i = 0; i < dimensions; ++i)
            for (int j = 0; j < dimensions; ++j) est.covarianceAnchors[i][j] = kNotAnchored;
        est.covarianceErrors = zeros(dimensions, dimensions);
        est.method = EstimationMethod::Gauss;
        est.nodeCount = 15;
        est.deviance = 1234.5678;
        est.iteration = 17;
        est.terminationReason = kTerminateConverged;
        est.estimated = 1;
    }

    std::vector<std::string> paneLines() const { return splitLines(shell.output, "\r\n"); }

    // Index of the first line that starts with text, or -1.
    static int find(const std::vector<std::string>& lines, const std::string& text, int from = 0) {
        for (int i = from; i < static_cast<int>(lines.size()); ++i)
            if (lines[static_cast<std::size_t>(i)].rfind(text, 0) == 0) return i;
        return -1;
    }
    static bool contains(const std::vector<std::string>& lines, const std::string& text) {
        for (const std::string& l : lines)
            if (l.find(text) != std::string::npos) return true;
        return false;
    }
};

}  // namespace ordena::test

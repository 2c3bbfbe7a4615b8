// A work directory with a built model and an estimate filled by hand, for
// the export, import and log file tests.
#pragma once

#include <string>
#include <vector>

#include "command/reader.h"
#include "model/model_builder.h"
#include "report/export.h"
#include "report/import.h"
#include "report/log_file.h"
#include "support/work_dir.h"

namespace ordena::test {

class ExportFixture : public WorkDirTest {
protected:
    // Four cases (pid A, B, C, D; C and D have missing responses) on three items
    // scored 0-2, model item + item*step: five parameters.
    void buildThreeItems() {
        data("A012\nC1 0\nB201\nD 2 \n", "pid 1 responses 2-4");
        state(modelCommand, "item + item*step");
        shell.clear();
        ASSERT_EQ(buildModel(session), 1) << (shell.errors.empty() ? "" : shell.errors[0]);
    }
    // The results an estimation of that model might leave.
    void fillEstimate(int dimensions = 1, int regressors = 1) {
        EstimationState& est = ws.est;
        const int P = ws.build.parameterCount();
        est.xsi = Vector(P);
        est.itemErrors = Vector(P);
        for (int p = 0; p < P; ++p) {
            est.xsi[p][0] = 0.25 * (p + 1) - 1.0;
            est.itemErrors[p][0] = 0.01 * (p + 1) * (p + 1);
        }
        est.beta = Matrix(dimensions, regressors);
        est.regressionErrors = Matrix(regressors, dimensions);
        for (int d = 0; d < dimensions; ++d)
            for (int r = 0; r < regressors; ++r) {
                est.beta[d][r] = 0.5 * d + 0.125 * r + 0.1;
                est.regressionErrors[r][d] = 0.0004;
            }
        est.sigma = Matrix(dimensions, dimensions);
        est.covarianceErrors = Matrix(dimensions, dimensions);
        for (int i = 0; i < dimensions; ++i)
            for (int j = 0; j < dimensions; ++j) {
                est.sigma[i][j] = i == j ? 1.5 + i : 0.3;
                est.covarianceErrors[i][j] = 0.0009;
            }
        est.estimated = 1;
    }
    std::vector<std::string> lines(const std::string& text) {
        std::vector<std::string> out;
        std::size_t pos = 0;
        while (pos < text.size()) {
            std::size_t end = text.find("\r\n", pos);
            if (end == std::string::npos) {
                out.push_back(text.substr(pos));
                break;
            }
            out.push_back(text.substr(pos, end - pos));
            pos = end + 2;
        }
        return out;
    }
};

}  // namespace ordena::test

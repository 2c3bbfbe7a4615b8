// What the model statements record.
#pragma once

namespace ordena {

struct ModelSpec {
    // A reset empties the model terms and the model, facet, regression,
    // group and case weight variables, with the copies of them kept from the
    // last data pass (so the next estimate runs the data passes again); the
    // item groups stay.
    void clearOnReset() {}
};

}  // namespace ordena

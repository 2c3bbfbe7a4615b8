// What the model statements record.
#pragma once

namespace ordena {

struct ModelSpec {};

}  // namespace ordena

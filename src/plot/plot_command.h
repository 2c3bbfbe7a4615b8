// The plot statement: model curves of the estimated items against the
// latent trait, with the binned observations, in graph windows of the
// front end; optionally the observations as data tables.
#pragma once

#include "base/mstring.h"

namespace ordena {

class Session;

int plotCommand(Session& session, const MString& arguments);

}  // namespace ordena

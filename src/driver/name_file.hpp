// The name-file reader: turns the name file open on NAMEUNIT into open units, setting LISTUNIT,
// BASUNIT and PKGUNIT. Errors write their message and stop the run.
#pragma once

#include "driver/model.hpp"

namespace aqx {

void readNameFile(Model& model);

}  // namespace aqx

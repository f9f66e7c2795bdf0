// Binding the model's named views to their tables in the fixed stores.
#pragma once

#include "store/model.h"
#include "store/layout.h"

namespace nlf {

// Binds every view of the model to its table in the stores. The layout must
// fit (ilast <= IMAX + 1 is not enough: ilast - 1 <= IMAX, rlast - 1 <= NMAX).
void bind_model(Model& model, Stores& stores, const Sizes& sz);

}  // namespace nlf

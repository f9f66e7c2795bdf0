// The three fixed stores and the workspace layout: every table's start is
// the previous start plus the previous length, in a fixed order; LAST is the
// first position after the last table.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "store/member_loads.h"
#include "store/residual.h"

#include "store/sizes.h"

namespace nlf {

// Allocated once at start-up with their exact capacities, cleared to zero.
struct Stores {
  explicit Stores(const Capacity& c = {})
      : IWORK(static_cast<std::size_t>(c.imax), 0), WORK(static_cast<std::size_t>(c.nmax), 0.0),
        FSTORE(static_cast<std::size_t>(c.nsymax), 0.0) {}
  std::vector<std::int32_t> IWORK;
  std::vector<double> WORK;
  std::vector<double> FSTORE;
  // Beside the fixed stores: the residual stresses of the sections that
  // carry them, one entry per section number (sized by bind_model).
  ResidualTable residual;
  // Beside them too: the member loads of the load history, one entry per
  // member slot (sized by bind_model).
  MemberLoadTable member_loads;
};

inline constexpr int NINTARRAYS = 10;
inline constexpr int NREALARRAYS = 45;

struct Layout {
  // 1-based starts; index 0 unused. Lengths as the tables give them.
  std::array<long long, NINTARRAYS + 1> istart{};
  std::array<long long, NINTARRAYS + 1> ilen{};
  long long ilast = 0;
  std::array<long long, NREALARRAYS + 1> rstart{};
  std::array<long long, NREALARRAYS + 1> rlen{};
  long long rlast = 0;
};

// Integer and real layouts of the given sizes (not checked against the
// capacities).
Layout compute_layout(const Sizes& sz);
// The closed forms of the two LAST values.
long long integer_last_formula(const Sizes& sz);
long long real_last_formula(const Sizes& sz);

}  // namespace nlf

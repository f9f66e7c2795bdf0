#include "model/numbering.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "io/format.h"
#include "io/units.h"

namespace nlf {

void number_joint(Model& md, int j) {
  for (int d = 0; d < 3; ++d) md.IEQ(3 * j - 2 + d) = 3 * j - 2 + d;
  md.NEQ += 3;
}

bool link_code_valid(int code) {
  if (code < 0) return false;
  const int ix = code / 100, iy = (code % 100) / 10, it = (code % 100) % 10;
  return ix <= 2 && iy <= 2 && it <= 1;
}

bool link_dofs(Model& md, int M, int S, int code) {
  if (!link_code_valid(code)) return false;
  const int digit[3] = {code / 100, (code % 100) / 10, (code % 100) % 10};
  for (int d = 0; d < 3; ++d) {
    if (digit[d] == 0) continue;
    const int K = 3 * S - 2 + d;
    // Close the gap: every slot above K takes the number of the slot below.
    for (int L = 3 * md.NJ; L >= K + 1; --L) md.IEQ(L) = md.IEQ(L - 1);
    // The master component: the same one for digit 1; for digit 2 the other
    // translation (X <-> Y).
    int mc = d;
    if (digit[d] == 2) mc = (d == 0) ? 1 : 0;
    md.IEQ(K) = md.IEQ(3 * M - 2 + mc);
    md.NEQ -= 1;
  }
  return true;
}

void widen_band(Model& md, int a, int b) {
  const int n[6] = {md.IEQ(3 * a - 2), md.IEQ(3 * a - 1), md.IEQ(3 * a),
                    md.IEQ(3 * b - 2), md.IEQ(3 * b - 1), md.IEQ(3 * b)};
  const auto [lo, hi] = std::minmax_element(std::begin(n), std::end(n));
  md.MBAND = std::max(md.MBAND, *hi - *lo + 1);
}

int final_band_width(const Model& md) {
  int spread = md.MBAND;
  for (int m = 1; m <= md.NM; ++m) {
    int lo = md.NEQ, hi = 1;
    for (int end = 1; end <= 2; ++end)
      for (int d = 0; d < 3; ++d) {
        const int e = md.IEQ(3 * md.IJ(m, end) - 2 + d);
        lo = std::min(lo, e);
        hi = std::max(hi, e);
      }
    spread = std::max(spread, hi - lo + 1);
  }
  return spread;
}

void print_matrix_index(const Model& md, TextOut& out) {
  static const Format blank("(' '/)");
  static const Format title(
      "(' *** MATRIX INDEX *** ',10X,'MATRIX SIZE = ',I10,5X,'BAND WIDTH = ',I10)");
  static const Format header("('0',4('    NO.   (I)   X   Y   T    ')/)");
  static const Format joints("(4(:4X,'(',I3,')',4I5))");

  out.write(blank, {});
  out.write(title, {md.NEQ, md.MBAND});
  out.write(header, {});
  if (md.NJ == 0) return;
  std::vector<Item> items;
  items.reserve(5 * static_cast<std::size_t>(md.NJ));
  for (int j = 1; j <= md.NJ; ++j) {
    items.emplace_back(j);
    items.emplace_back(static_cast<int>(md.JNO(j)));
    for (int d = 2; d >= 0; --d) items.emplace_back(static_cast<int>(md.IEQ(3 * j - d)));
  }
  out.write(joints, std::span<const Item>(items));
}

}  // namespace nlf

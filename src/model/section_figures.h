// What a section's card and its fibre table say about it: whether a section
// number holds a section at all, the engineering figures of its 20 fibres,
// and the dimensions that cannot describe a real shape.
#pragma once

#include <string>

#include "io/card.h"
#include "store/model.h"

namespace nlf {

// True when section s holds a section: some fibre area or position, or the
// yield stress, is not zero. A number that no section card (nor a restart
// file) filled holds only zeros.
bool section_held(const Model& md, int s);

// Figures of the 20 fibres of section s, about their own centroid.
struct SectionFigures {
  double area = 0;      // sum of the fibre areas (cm2)
  double centroid = 0;  // z of the centroid (cm)
  double inertia = 0;   // second moment about the centroid (cm4)
  double plastic = 0;   // plastic modulus: sum A |z - z_p| about the equal-area axis (cm3)
  double mp = 0;        // full plastic moment SY * plastic (t-cm)
};
SectionFigures section_figures(const Model& md, int s);

// A dimension of a T, H, I, O or R card that no real shape has (zero or
// negative widths and thicknesses, flanges and fillets deeper than half the
// section, a tube wall at least as thick as the radius). Returns the
// description, empty when the card is sound, and the columns of the field at
// fault. The R card's wall thickness is read from X3, as the builder does.
struct DimensionFault {
  std::string what;
  int col_first = 0, col_last = 0;
};
DimensionFault impossible_dimensions(const Card& c);

}  // namespace nlf

// The step result writer: after an output step it appends the step to the
// five result files (units 17-21) and one line to every response-curve file
// (units 61 and up).
#pragma once

namespace nlf {

struct Model;
class FibreStore;
class Units;

// Writes, in this order: the joint force block (unit 21), one line per
// response curve (units 61..60+NW), the joint displacement block (unit 20),
// the member force block (unit 19), the member displacement block (unit 18,
// only when detail is 1) and the stress distribution block (unit 17).
// (STEPRESULTS of the card-era program.)
void step_results(const Model& md, FibreStore& fs, Units& units, int step, int detail);

// A response-curve code J.KD: user joint J, kind K (1 resisting force,
// 2 total displacement), direction D (1 X, 2 Y, 3 rotation).
struct CurveCode {
  int J = 0;
  int K = 0;
  int D = 0;
};
CurveCode decode_curve_code(double c);

// One fibre of the stress table: its symbol ('+' at or above the upper
// bound, '.' inside the elastic range, '-' at or below the lower bound) and
// its stress x 100 rounded to the nearest integer, halves away from zero.
char stress_symbol(double s, double upper, double lower);
int stress_value(double s);

}  // namespace nlf

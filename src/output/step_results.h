// The step result writer: the text result files of one output step, for a
// caller outside the step loop (it allocates the step's tables each call;
// the run writes through a StepOutput, result_sink.h), and the helpers of
// the tables.
#pragma once

namespace nlf {

struct Model;
class FibreStore;
class Units;

// Appends the step to the text result files, as TextSink does.
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

// The text result files as a result sink: after an output step it appends
// the step to the five result files (units 17-21) and one line to every
// response-curve file (units 61 and up).
#pragma once

#include "output/result_sink.h"

namespace nlf {

class Units;

class TextSink : public ResultSink {
 public:
  explicit TextSink(Units& units, ResultChoice choice = {}) : units_(units), choice_(choice) {}
  unsigned wants(int step) const override { return choice_.wants(step); }
  // Writes, in this order: the joint force block (unit 21), one line per
  // response curve (units 61..60+NW), the joint displacement block (unit
  // 20), the member force block (unit 19), the member displacement block
  // (unit 18, detail steps only) and the stress distribution block (unit 17).
  void write(const StepTables& t, unsigned parts) override;

 private:
  Units& units_;
  ResultChoice choice_;
};

}  // namespace nlf

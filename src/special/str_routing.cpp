// The routing pass of the stream package: the inflow of each reach (from the reach above it, the
// segment's specified inflow, its tributaries or the segment it is diverted from), the stage,
// the leakage through the bed and the flow passed on. All arithmetic is single precision.
#include <cmath>

#include "special/str.hpp"

namespace aqx {

// At the first reach of the segment after p: takes the diversions from p, in increasing segment
// number, out of p's outflow while it can supply them. A diversion that cannot be supplied marks
// p short for the rest of the pass, which cuts off every diversion from p.
void StrPackage::takeDiversions(int p) {
  float& out = segOut_[p - 1];
  for (int d = p + 1; d <= lastSegment_; ++d) {
    if (diversion_[d - 1] != p) continue;
    const float demand = S(firstReach_[d], kSpecifiedInflow);
    if (out - demand >= 0.0f) {
      out = out - demand;
    } else {
      segShort_[p - 1] = 1;
    }
  }
}

StrPackage::Leak StrPackage::routeReach(const Model& m, int L) {
  const int seg = ID(L, 4);
  const bool first = ID(L, 5) == 1;
  int p = 0;

  // 1. Inflow.
  float qin;
  if (!first) {
    qin = S(L - 1, kFlowOut);
  } else {
    qin = S(L, kSpecifiedInflow);
    if (seg != 1) {
      p = ID(L - 1, 4);
      segOut_[p - 1] = S(L - 1, kFlowOut);
      takeDiversions(p);
    }
    const int from = diversion_[seg - 1];
    if (from > 0 && segShort_[from - 1] == 1) qin = 0.0f;
    if (qin < 0.0f) {
      qin = 0.0f;
      for (int t = 1; t <= ntrib_; ++t) {
        const int ts = trib_[static_cast<std::int64_t>(seg - 1) * ntrib_ + (t - 1)];
        if (ts > 0) qin = qin + segOut_[ts - 1];
      }
    }
  }

  // 2. Stage from the mean of this inflow and the reach's outflow of the previous pass. Width,
  // slope, roughness and the constant are positive (checked when read); a negative mean flow
  // gives no real depth, and no depth that is not positive counts.
  if (stageCalc_ > 0) {
    const float q = (qin + S(L, kFlowOut)) / 2.0f;
    const float base = q * S(L, kRough) / (manning_ * S(L, kWidth) * std::sqrt(S(L, kSlope)));
    float depth = std::pow(base, 0.6f);
    if (!(depth > 0.0f)) depth = 0.0f;
    S(L, kStage) = depth + S(L, kBedTop);
  }

  // 3. Leakage.
  Leak r;
  r.cell = m.cell(ID(L, 1), ID(L, 2), ID(L, 3));
  r.qin = qin;
  r.active = m.IBOUND[r.cell] > 0;
  r.stage = qin <= 0.0f ? S(L, kBedTop) : S(L, kStage);
  if (r.active) {
    const float h = static_cast<float>(m.HEADNEW[r.cell]);
    const float cond = S(L, kCond);
    r.headDependent = true;
    r.q = cond * (r.stage - h);
    if (h <= S(L, kBedBottom)) {
      r.q = cond * (r.stage - S(L, kBedBottom));
      r.headDependent = false;
    }
    // A reach cannot lose more than it carries.
    if (r.q > qin) {
      r.q = qin;
      r.headDependent = false;
    }
  }

  // 4. Outflow; the last reach of the segment above shows its outflow after diversions.
  if (first && seg > 1) S(L - 1, kFlowOut) = segOut_[p - 1];
  S(L, kFlowOut) = qin - r.q;
  S(L, kFlowIn) = qin;
  S(L, kLeakage) = r.q;
  return r;
}

}  // namespace aqx

// STR: streams that exchange water with the aquifer through their beds and route what they do not
// lose downstream, reach by reach, through a network of segments fed by specified inflows,
// tributaries or diversions. Stages are given per reach or computed with Manning's equation for a
// wide rectangular channel from the flow of the previous routing pass.
#pragma once

#include <cstdint>
#include <vector>

#include "driver/package.hpp"

namespace aqx {

class StrPackage : public Package {
 public:
  // Values of a reach in STREAMREACH (1-based, as S(k, L)).
  enum Value : int {
    kSpecifiedInflow = 1,  // specified inflow of a segment's first reach (negative: sum of tributaries)
    kStage = 2,
    kCond = 3,
    kBedBottom = 4,
    kBedTop = 5,
    kWidth = 6,
    kSlope = 7,
    kRough = 8,
    kFlowOut = 9,
    kFlowIn = 10,
    kLeakage = 11,  // into the aquifer; negative when the aquifer feeds the stream
  };
  static constexpr int kReachValues = 11;
  static constexpr int kReachIds = 5;  // layer, row, column, segment, reach in the segment

  void allocate(Model& m) override;
  void stressPeriod(Model& m) override;
  void formulate(Model& m) override;
  void budget(Model& m) override;

  // Read-only views for tests.
  int MXSTRM() const { return mxstrm_; }
  int NSEGMENT() const { return nseg_; }
  int NTRIBUTARY() const { return ntrib_; }
  int NSTREM() const { return nstrem_; }
  int STRPRINTFLAG() const { return printFlag_; }
  float value(int reach, int k) const { return S(reach, k); }
  int id(int reach, int q) const { return ids_[idx(reach, q, kReachIds)]; }
  float segmentOutflow(int s) const { return segOut_[s - 1]; }
  int segmentShort(int s) const { return segShort_[s - 1]; }
  int diversionOf(int s) const { return diversion_[s - 1]; }
  int tributary(int s, int t) const { return trib_[static_cast<std::int64_t>(s - 1) * ntrib_ + (t - 1)]; }

 private:
  // What the routing pass found for one reach.
  struct Leak {
    std::int64_t cell = 0;
    bool active = false;         // IBOUND > 0
    bool headDependent = false;  // Q = cond * (H - h); otherwise Q is a fixed rate
    float qin = 0.0f;
    float q = 0.0f;
    float stage = 0.0f;  // H
  };

  static std::int64_t idx(int reach, int k, int width) {
    return static_cast<std::int64_t>(reach - 1) * width + (k - 1);
  }
  float& S(int reach, int k) { return reach_[idx(reach, k, kReachValues)]; }
  float S(int reach, int k) const { return reach_[idx(reach, k, kReachValues)]; }
  int& ID(int reach, int q) { return ids_[idx(reach, q, kReachIds)]; }

  // Stress-phase pieces.
  void readReaches(Model& m, bool echo);
  void readChannels(Model& m, bool echo);
  void readTributaries(Model& m, bool echo);
  void readDiversions(Model& m, bool echo);

  // One routing pass over the reaches in list order (str_routing.cpp). SEGSHORT is cleared first.
  // visit(L, leak) is called after each reach has been routed.
  template <class Visit>
  void route(const Model& m, Visit visit);
  Leak routeReach(const Model& m, int L);
  void takeDiversions(int p);

  // Record 1.
  int mxstrm_ = 0, nseg_ = 0, ntrib_ = 0, divFlag_ = 0, stageCalc_ = 0;
  float manning_ = 0.0f;
  int cbUnit_ = 0, flowUnit_ = 0;
  // Record 2.
  int nstrem_ = 0, printFlag_ = 0;

  // Stretches of the work array.
  float* reach_ = nullptr;    // STREAMREACH
  int* ids_ = nullptr;        // STREAMID
  int* trib_ = nullptr;       // TRIBUTARY
  float* segOut_ = nullptr;   // SEGOUTFLOW
  int* diversion_ = nullptr;  // DIVERSION
  int* segShort_ = nullptr;   // SEGSHORT

  // First reach of each segment of the current list (index by segment, 0 unused); segments are
  // numbered 1 to lastSegment_ without gaps.
  std::vector<int> firstReach_;
  int lastSegment_ = 0;
};

template <class Visit>
void StrPackage::route(const Model& m, Visit visit) {
  for (int s = 0; s < nseg_; ++s) segShort_[s] = 0;
  for (int L = 1; L <= nstrem_; ++L) visit(L, routeReach(m, L));
}

}  // namespace aqx

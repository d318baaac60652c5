// The work array X: every grid-sized array of every package is a stretch of it.
//
// XSIZE 4-byte elements, indexed from 1; XNEXT is the next free element. A real or an integer
// takes one element per value, a double-precision real two. The storage is one block of address
// space reserved once per process and committed lazily by the operating system, so a small model
// touches only the pages it uses. Double-precision stretches are kept 8-byte aligned in storage
// (the element accounting is unaffected).
#pragma once

#include <cstddef>
#include <cstdint>

namespace aqx {

class WorkArray {
 public:
  static constexpr std::int64_t XSIZE = 99'000'000;

  // The one work array of the process.
  static WorkArray& instance();

  // Starts a new simulation: XNEXT = 1, and the pages used by the previous one are returned
  // to the system (they read as zero again).
  void reset();

  std::int64_t XNEXT() const { return xnext_; }
  std::int64_t used() const { return xnext_ - 1; }
  bool tooSmall() const { return xnext_ - 1 > XSIZE; }

  // Take a stretch of n values at XNEXT and advance XNEXT. When the stretch does not fit inside
  // XSIZE the accounting still advances and nullptr is returned: the run stops after the
  // allocate phase, before any array is used.
  float* takeReal(std::int64_t n);
  int* takeInt(std::int64_t n);
  double* takeDouble(std::int64_t n);

  WorkArray(const WorkArray&) = delete;
  WorkArray& operator=(const WorkArray&) = delete;

 private:
  WorkArray();
  void* take(std::int64_t elements, std::size_t align);

  std::int64_t xnext_ = 1;
  std::size_t physical_ = 0;  // bytes in use, including alignment padding
  std::size_t capacity_ = 0;
  std::size_t highWater_ = 0;
  unsigned char* base_ = nullptr;
};

}  // namespace aqx

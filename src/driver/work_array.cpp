#include "driver/work_array.hpp"

#include <sys/mman.h>

#include <new>

namespace aqx {

namespace {
// Room for the alignment padding of double-precision stretches (4 bytes at most per stretch).
constexpr std::size_t kSlack = 1 << 20;
}  // namespace

WorkArray& WorkArray::instance() {
  static WorkArray work;
  return work;
}

WorkArray::WorkArray() {
  capacity_ = static_cast<std::size_t>(XSIZE) * 4 + kSlack;
  void* p =
      mmap(nullptr, capacity_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  base_ = static_cast<unsigned char*>(p);
}

void WorkArray::reset() {
  if (highWater_ > 0) {
    madvise(base_, highWater_, MADV_DONTNEED);
  }
  highWater_ = 0;
  physical_ = 0;
  xnext_ = 1;
}

void* WorkArray::take(std::int64_t elements, std::size_t align) {
  if (elements < 0) elements = 0;
  std::size_t start = physical_;
  if (start % align != 0) start += align - start % align;
  xnext_ += elements;
  if (xnext_ - 1 > XSIZE) return nullptr;
  std::size_t end = start + static_cast<std::size_t>(elements) * 4;
  if (end > capacity_) return nullptr;
  physical_ = end;
  if (end > highWater_) highWater_ = end;
  return base_ + start;
}

float* WorkArray::takeReal(std::int64_t n) {
  return static_cast<float*>(take(n, 4));
}
int* WorkArray::takeInt(std::int64_t n) {
  return static_cast<int*>(take(n, 4));
}
double* WorkArray::takeDouble(std::int64_t n) {
  return static_cast<double*>(take(2 * n, 8));
}

}  // namespace aqx

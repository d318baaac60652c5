#include "driver/work_array.hpp"

#include <gtest/gtest.h>

#include <cstdint>

namespace aqx {
namespace {

TEST(WorkArray, CountsElementsAsTheModelDoesAndAlignsDoubles) {
  WorkArray& w = WorkArray::instance();
  w.reset();
  EXPECT_EQ(w.XNEXT(), 1);
  double* h = w.takeDouble(3);  // two elements per value
  EXPECT_EQ(w.XNEXT(), 7);
  float* r = w.takeReal(1);
  EXPECT_EQ(w.XNEXT(), 8);
  double* d = w.takeDouble(2);  // starts at an even element: storage is still 8-byte aligned
  EXPECT_EQ(w.XNEXT(), 12);
  ASSERT_NE(h, nullptr);
  ASSERT_NE(r, nullptr);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(h) % 8, 0u);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(d) % 8, 0u);
  EXPECT_GE(reinterpret_cast<unsigned char*>(d), reinterpret_cast<unsigned char*>(r + 1));
  d[1] = 2.5;
  EXPECT_EQ(d[1], 2.5);
}

TEST(WorkArray, OversizeRequestAdvancesTheCountButGivesNoStorage) {
  WorkArray& w = WorkArray::instance();
  w.reset();
  ASSERT_NE(w.takeInt(WorkArray::XSIZE), nullptr);
  EXPECT_FALSE(w.tooSmall());
  EXPECT_EQ(w.takeReal(1), nullptr);
  EXPECT_TRUE(w.tooSmall());
  EXPECT_EQ(w.used(), WorkArray::XSIZE + 1);
  w.reset();
  EXPECT_EQ(w.XNEXT(), 1);
  EXPECT_FALSE(w.tooSmall());
}

TEST(WorkArray, ResetGivesZeroedStorageAgain) {
  WorkArray& w = WorkArray::instance();
  w.reset();
  int* a = w.takeInt(1000);
  a[999] = 7;
  w.reset();
  int* b = w.takeInt(1000);
  EXPECT_EQ(b[999], 0);
}

}  // namespace
}  // namespace aqx

// Horizontal flow barriers: the barrier table, the location check, and the series reduction of
// face conductances, once for fixed-transmissivity layers and every iteration for convertible ones.
#include "flow/hfb.hpp"

#include <algorithm>

#include "bas/value_checks.hpp"
#include "driver/allocation_report.hpp"
#include "io/record.hpp"

namespace aqx {

namespace {

bool convertible(int type) {
  return type == 1 || type == 3;
}

// The grid has no cell at this row or column (the table holds whole numbers as reals; the test is
// made before any conversion to an integer).
bool outside(float row, float col, int nrow, int ncol) {
  return !(row >= 1.0f && row <= static_cast<float>(nrow) && col >= 1.0f && col <= static_cast<float>(ncol));
}

}  // namespace

void HfbPackage::allocate(Model& m) {
  const int in = m.unitOf(kHFB);
  const int out = m.LISTUNIT;
  io::write(
      out,
      AQX_FMT("('0','HFB1 -- HORIZONTAL FLOW BARRIER PACKAGE, VERSION 1',', 06/13/86',' INPUT READ FROM "
              "UNIT',I3)"),
      in);
  io::read(in, AQX_FMT("(I10)"), NBARRIER);
  io::write(out, AQX_FMT("(' ','A TOTAL OF',I5,' HORIZONTAL FLOW BARRIERS')"), NBARRIER);
  if (m.NLAYER > static_cast<int>(LAYERBARRIERS.size())) {
    io::write(out, AQX_FMT("(1X,'HORIZONTAL FLOW BARRIERS CAN BE GIVEN FOR AT MOST',I4,' LAYERS')"),
              static_cast<int>(LAYERBARRIERS.size()));
    io::stopRun();
  }
  const AllocationReport report(m);
  table = m.work->takeReal(static_cast<std::int64_t>(std::max(NBARRIER, 0)) * kFields);
  report.report(AQX_FMT("(1X,I6,' ELEMENTS IN X ARRAY ARE USED FOR HORIZONTAL FLOW',' BARRIERS')"),
                AQX_FMT("(1X,I6,' ELEMENTS OF X ARRAY USED OUT OF',I7)"));
}

void HfbPackage::readPrepare(Model& m) {
  readTable(m);
  checkAndApply(m);
}

void HfbPackage::readTable(Model& m) {
  const int in = m.unitOf(kHFB);
  const int out = m.LISTUNIT;
  io::write(out, AQX_FMT("(///1X,'HORIZONTAL FLOW BARRIERS -- LISTED BY ','LAYERS.  WITHIN EACH LAYER, THE "
                         "LOCATION OF A BARRIER IS ','IDENTIFIED BY'/1X,'THE 2 CELLS ON BOTH SIDES OF THE "
                         "BARRIER.  ','THE ROW AND COLUMN NUMBER OF THE TWO CELLS ARE RESPECTIVELY "
                         "'/1X,'IROW1, ICOL1, AND IROW2, ICOL2.')"));
  int nb = 0;
  for (int k = 1; k <= m.NLAYER; ++k) {
    int count = 0;
    io::read(in, AQX_FMT("(I10)"), count);
    io::write(out, AQX_FMT("('0',I5,' HORIZONTAL FLOW BARRIERS IN LAYER',I3)"), count, k);
    if (count < 0) {
      io::write(out, AQX_FMT("(1X,'THE NUMBER OF BARRIERS IN LAYER',I3,' IS NEGATIVE')"), k);
      io::stopRun();
    }
    LAYERBARRIERS[k - 1] = count;
    if (count == 0) continue;
    if (convertible(m.LAYCON[k - 1])) {
      io::write(out, AQX_FMT("(1X,20X,'IROW1',5X,'ICOL1',5X,'IROW2',5X,'ICOL2',2X,'HYD. COND./WIDTH',2X,"
                             "'BARRIER NO.'/1X,20X,71('-'))"));
    } else {
      io::write(out, AQX_FMT("(1X,20X,'IROW1',5X,'ICOL1',5X,'IROW2',5X,'ICOL2',3X,'TRANSMIS./WIDTH',3X,"
                             "'BARRIER NO.'/1X,20X,71('-'))"));
    }
    for (int b = 1; b <= count; ++b) {
      ++nb;
      // The table has room for NBARRIER records: a layer count that runs past the declared total
      // stops here, before anything is read into a record that does not exist.
      if (nb > NBARRIER) {
        io::write(out,
                  AQX_FMT("(1X,'BARRIER NO.',I6,' IS BEYOND THE TOTAL OF',I6,' HORIZONTAL FLOW BARRIERS:',"
                          "' LAYER',I4,' LISTS',I6,' BARRIERS')"),
                  nb, NBARRIER, k, count);
        io::stopRun();
      }
      int irow1 = 0, icol1 = 0, irow2 = 0, icol2 = 0;
      float barchar = 0.0f;
      io::read(in, AQX_FMT("(4I10,F10.0)"), irow1, icol1, irow2, icol2, barchar);
      io::write(out, AQX_FMT("(1X,19X,I5,3I10,5X,G12.4,I11)"), irow1, icol1, irow2, icol2, barchar, nb);
      checkEntry(out, barchar, Refuse::Negative, "HFB", nb, "HYDRAULIC CHARACTERISTIC");
      float* rec = table + static_cast<std::int64_t>(nb - 1) * kFields;
      rec[kRow1] = static_cast<float>(irow1);
      rec[kCol1] = static_cast<float>(icol1);
      rec[kRow2] = static_cast<float>(irow2);
      rec[kCol2] = static_cast<float>(icol2);
      rec[kChar] = barchar;
    }
  }
}

void HfbPackage::checkAndApply(Model& m) {
  const int out = m.LISTUNIT;
  const int nrow = m.NROWS, ncol = m.NCOLS;
  bool faulty = false;
  int nb = 0;
  for (int k = 1; k <= m.NLAYER; ++k) {
    for (int b = 1; b <= LAYERBARRIERS[k - 1]; ++b) {
      ++nb;
      float* rec = table + static_cast<std::int64_t>(nb - 1) * kFields;
      // First cell: the smaller row and the smaller column. The formulate phase relies on it.
      const float r1 = std::min(rec[kRow1], rec[kRow2]), r2 = std::max(rec[kRow1], rec[kRow2]);
      const float c1 = std::min(rec[kCol1], rec[kCol2]), c2 = std::max(rec[kCol1], rec[kCol2]);
      rec[kRow1] = r1;
      rec[kCol1] = c1;
      rec[kRow2] = r2;
      rec[kCol2] = c2;

      bool bad = outside(r1, c1, nrow, ncol) || outside(r2, c2, nrow, ncol);
      int i1 = 0, j1 = 0, i2 = 0, j2 = 0;
      if (!bad) {
        i1 = static_cast<int>(r1);
        j1 = static_cast<int>(c1);
        i2 = static_cast<int>(r2);
        j2 = static_cast<int>(c2);
        bad = i1 == i2 ? j2 - j1 != 1 : (j1 != j2 || i2 - i1 != 1);
      }
      if (bad) {
        io::write(out, AQX_FMT("(1X,'ERROR DETECTED IN LOCATION DATA OF BARRIER NO.',I4)"), nb);
        faulty = true;
        continue;
      }
      if (convertible(m.LAYCON[k - 1])) continue;
      const std::int64_t n = m.cell(k, i1, j1);
      if (i1 == i2) {
        m.CONDR[n] = hfb::seriesCombine(m.CONDR[n], rec[kChar], m.DELC[i1 - 1]);
      } else {
        m.CONDC[n] = hfb::seriesCombine(m.CONDC[n], rec[kChar], m.DELR[j1 - 1]);
      }
    }
  }
  if (faulty) io::stopRun();
}

void HfbPackage::formulate(Model& m) {
  if (m.BOTTOM == nullptr) return;
  const std::int64_t nrc = static_cast<std::int64_t>(m.NROWS) * m.NCOLS;
  int kt = 0, kb = 0;  // positions of layer k among the layers with a top / with a bottom
  int nb = 0;
  for (int k = 1; k <= m.NLAYER; ++k) {
    const int type = m.LAYCON[k - 1];
    if (type == 2 || type == 3) ++kt;
    if (type == 1 || type == 3) ++kb;
    const int count = LAYERBARRIERS[k - 1];
    if (!convertible(type)) {
      nb += count;
      continue;
    }
    const float* bottom = m.BOTTOM + nrc * (kb - 1);
    const float* top = type == 3 ? m.TOP + nrc * (kt - 1) : nullptr;
    for (int b = 1; b <= count; ++b) {
      ++nb;
      const float* rec = table + static_cast<std::int64_t>(nb - 1) * kFields;
      const int i1 = static_cast<int>(rec[kRow1]), j1 = static_cast<int>(rec[kCol1]);
      const int i2 = static_cast<int>(rec[kRow2]), j2 = static_cast<int>(rec[kCol2]);
      const std::int64_t n1 = m.cell(k, i1, j1), n2 = m.cell(k, i2, j2);
      float& g = i1 == i2 ? m.CONDR[n1] : m.CONDC[n1];
      if (g == 0.0f) continue;
      float h1 = static_cast<float>(m.HEADNEW[n1]);
      float h2 = static_cast<float>(m.HEADNEW[n2]);
      if (top != nullptr) {
        h1 = std::min(h1, top[n1 - nrc * (k - 1)]);
        h2 = std::min(h2, top[n2 - nrc * (k - 1)]);
      }
      const float thick = ((h1 - bottom[n1 - nrc * (k - 1)]) + (h2 - bottom[n2 - nrc * (k - 1)])) / 2.0f;
      // One cell's head below its bottom while the face still conducts can make the average
      // thickness zero or negative: the barrier then closes the face for this iteration, rather
      // than forming a negative (or infinite) conductance.
      if (!(thick > 0.0f)) {
        g = 0.0f;
        continue;
      }
      const float w = i1 == i2 ? m.DELC[i1 - 1] : m.DELR[j1 - 1];
      g = hfb::seriesCombine(g, rec[kChar] * thick, w);
    }
  }
}

AQX_REGISTER_PACKAGE("HFB", HfbPackage)

}  // namespace aqx

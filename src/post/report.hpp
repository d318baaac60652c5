// The run report: one self-contained HTML page of a finished run (model summary, water balance
// over time, discrepancies and iterations per step, head maps of every layer at the last saved
// step, hydrographs at the wells). Charts are inline SVG; maps are embedded PNG images (SVG maps
// when the tool is built without libpng). The page refers to no other file.
#pragma once

#include <string>

namespace aqx::post {

// Reads the run's files through its name file (listing from the LIST entry, heads from the OC
// file's HEAD SAVE UNIT, wells from the WEL file) and returns the page. FileError when the name
// file or the listing cannot be read; a missing head file or WEL file only leaves out the maps or
// the hydrographs.
std::string buildReport(const std::string& nameFile);

}  // namespace aqx::post

// Stand-in for the basic package until it is built: runs the name-file reader and nothing else.
#include "bas/bas.hpp"

#include "driver/name_file.hpp"

namespace aqx {

void Bas::define(Model& m) { readNameFile(m); }
void Bas::allocate(Model&) {}
void Bas::readPrepare(Model&) {}
void Bas::stressPeriod(Model&) {}
void Bas::advance(Model&) {}
void Bas::formulate(Model&) {}
void Bas::outputControl(Model&) {}
void Bas::output(Model&) {}

}  // namespace aqx

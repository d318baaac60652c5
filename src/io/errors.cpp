#include "io/record.hpp"

namespace aqx::io {

IoError::IoError(std::string kind, int unit, std::string file, long line, std::string detail)
    : std::runtime_error(kind + (detail.empty() ? "" : ": " + detail)),
      kind_(std::move(kind)),
      unit_(unit),
      file_(std::move(file)),
      line_(line),
      detail_(std::move(detail)) {}

void stopRun(int status) {
  throw RunStop{status};
}

}  // namespace aqx::io

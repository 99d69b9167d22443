// The records of every member of the member table, in the table's order.
#include "containers/members/MemberRecords.h"

namespace kdt {

static_assert(2 * members::kRows == kClassCount, "each row is a container and its iterator");

void ProvideContainerClassRecords(ClassRecordSink& sink) noexcept {
  for (int row = 0; row < members::kRows; ++row) {
    (row < members::kRows / 2 ? members::AddFirstHalfRow : members::AddSecondHalfRow)(row, sink);
  }
}

}  // namespace kdt

// The records of the member table's first half.
#include "containers/members/MemberRecords.h"

namespace kdt {
namespace members {

void AddFirstHalfRow(int row, ClassRecordSink& sink) noexcept {
  AddRowIn<0, kRows / 2>(row, sink);
}

}  // namespace members
}  // namespace kdt

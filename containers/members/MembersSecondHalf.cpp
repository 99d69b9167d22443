// The records of the member table's second half.
#include "containers/members/MemberRecords.h"

namespace kdt {
namespace members {

void AddSecondHalfRow(int row, ClassRecordSink& sink) noexcept {
  AddRowIn<kRows / 2, kRows>(row, sink);
}

}  // namespace members
}  // namespace kdt

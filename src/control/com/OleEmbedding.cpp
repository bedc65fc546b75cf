#include "control/com/OleEmbedding.h"

#include "control/com/ActiveFormControl.h"

namespace trv::com {

bool OleEmbedding::Find(REFIID, void**) {
  return false;
}

}  // namespace trv::com

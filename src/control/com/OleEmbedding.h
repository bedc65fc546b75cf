#pragma once

#include <unknwn.h>
#include <windows.h>

namespace trv::com {

class ActiveFormControl;

// The OLE embedding interfaces of the control (what a container needs to site it, activate it
// in place and draw it). They share the control's identity: their IUnknown is the control's.
class OleEmbedding {
 public:
  explicit OleEmbedding(ActiveFormControl& control) : control_(control) {}
  ~OleEmbedding() = default;
  OleEmbedding(const OleEmbedding&) = delete;
  OleEmbedding& operator=(const OleEmbedding&) = delete;

  // The embedding interface riid (AddRef'ed through the control), or false.
  bool Find(REFIID riid, void** object);

 private:
  ActiveFormControl& control_;
};

}  // namespace trv::com

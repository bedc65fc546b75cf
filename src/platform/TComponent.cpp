#include "platform/TComponent.h"

#include <algorithm>

namespace trv {

TComponent::TComponent(TComponent* owner) : owner_(owner) {
  if (owner_ != nullptr) owner_->owned_.push_back(this);
}

TComponent::~TComponent() {
  // Parts kept as members of a derived owner are gone by now, each having left this list as it
  // went; what remains was created with new and handed to this owner, and goes with it, the
  // last created first.
  while (!owned_.empty()) {
    TComponent* part = owned_.back();
    owned_.pop_back();
    part->owner_ = nullptr;
    delete part;
  }
  if (owner_ != nullptr) {
    std::vector<TComponent*>& siblings = owner_->owned_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
}

}  // namespace trv

#pragma once

#include <string>
#include <vector>

namespace trv {

// The owned-component base: an owner, a name and the sub-component flag. An owner frees what it
// owns when it is destroyed. Owners in this code keep their parts as members (std::unique_ptr),
// which free them first; a part created with new and only given an owner is freed by the owner.
// A part destroyed before its owner leaves the owner's list.
class TComponent {
 public:
  explicit TComponent(TComponent* owner);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  bool IsSubComponent() const { return subComponent_; }
  void SetSubComponent(bool value) { subComponent_ = value; }

 private:
  TComponent* owner_;
  std::vector<TComponent*> owned_;  // the parts that name this component as their owner
  std::string name_;
  bool subComponent_ = false;
};

}  // namespace trv

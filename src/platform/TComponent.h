#pragma once

#include <string>

namespace trv {

// The owned-component base: an owner, a name and the sub-component flag. Owners keep their
// parts as members (std::unique_ptr), so this class holds no list of its own.
class TComponent {
 public:
  explicit TComponent(TComponent* owner) : owner_(owner) {}
  virtual ~TComponent() = default;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  bool IsSubComponent() const { return subComponent_; }
  void SetSubComponent(bool value) { subComponent_ = value; }

 private:
  TComponent* owner_;
  std::string name_;
  bool subComponent_ = false;
};

}  // namespace trv

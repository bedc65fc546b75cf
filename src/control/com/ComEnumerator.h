#pragma once

#include <ocidl.h>
#include <windows.h>
#include <wrl/client.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "control/com/ComObject.h"

namespace trv::com {

// How the enumerators below hold and hand out their items: the interface they answer, the item
// as it is handed out, the item as the enumerator holds it (with a reference of its own), and
// the two conversions (HandOut gives the caller a new reference).
struct ConnectionPointItems {
  using Enum = IEnumConnectionPoints;
  using Item = IConnectionPoint*;
  using Held = Microsoft::WRL::ComPtr<IConnectionPoint>;
  static Held Hold(Item item) { return Held(item); }
  static Item HandOut(const Held& held) {
    Item item = nullptr;
    held.CopyTo(&item);
    return item;
  }
};

struct ConnectionItems {
  using Enum = IEnumConnections;
  using Item = CONNECTDATA;
  struct Held {
    Microsoft::WRL::ComPtr<IUnknown> sink;
    DWORD cookie;
  };
  static Held Hold(const Item& item) { return {item.pUnk, item.dwCookie}; }
  static Item HandOut(const Held& held) {
    Item item = {nullptr, held.cookie};
    held.sink.CopyTo(&item.pUnk);
    return item;
  }
};

// A COM enumerator over a snapshot of items taken when it was made: it holds a reference to
// each, and every item it hands out carries a new one, which the caller releases.
template <typename Items>
class ComEnumerator final : public ComObject<typename Items::Enum> {
 public:
  using Enum = typename Items::Enum;
  using Item = typename Items::Item;
  using Held = typename Items::Held;

  // A new enumerator over the count items at `items`, at the first of them; E_OUTOFMEMORY when
  // it cannot be made.
  static HRESULT Create(const Item* items, size_t count, Enum** enumerator) {
    if (enumerator == nullptr) return E_POINTER;
    *enumerator = nullptr;
    try {
      std::vector<Held> held;
      held.reserve(count);
      for (size_t i = 0; i < count; ++i) held.push_back(Items::Hold(items[i]));
      return Make(std::move(held), 0, enumerator);
    } catch (...) {
      return E_OUTOFMEMORY;
    }
  }

  STDMETHODIMP Next(ULONG count, Item* items, ULONG* fetched) override {
    if (fetched != nullptr) *fetched = 0;
    if (items == nullptr) return E_POINTER;
    if (count > 1 && fetched == nullptr) return E_INVALIDARG;
    const size_t handed = std::min<size_t>(count, items_.size() - position_);
    for (size_t i = 0; i < handed; ++i) items[i] = Items::HandOut(items_[position_ + i]);
    position_ += handed;
    if (fetched != nullptr) *fetched = static_cast<ULONG>(handed);
    return handed == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    const size_t skipped = std::min<size_t>(count, items_.size() - position_);
    position_ += skipped;
    return skipped == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Reset() override {
    position_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(Enum** copy) override {
    if (copy == nullptr) return E_POINTER;
    *copy = nullptr;
    try {
      return Make(items_, position_, copy);
    } catch (...) {
      return E_OUTOFMEMORY;
    }
  }

 private:
  ComEnumerator(std::vector<Held> items, size_t position)
      : items_(std::move(items)), position_(position) {}
  ~ComEnumerator() override = default;

  // A new enumerator over items, at position, handed out as the caller's.
  static HRESULT Make(std::vector<Held> items, size_t position, Enum** enumerator) {
    const Microsoft::WRL::ComPtr<ComEnumerator> created =
        new ComEnumerator(std::move(items), position);
    *enumerator = created.Get();
    (*enumerator)->AddRef();
    return S_OK;
  }

  std::vector<Held> items_;
  size_t position_;
};

}  // namespace trv::com

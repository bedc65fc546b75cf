#pragma once

#include <ocidl.h>
#include <windows.h>
#include <wrl/client.h>

#include <algorithm>
#include <vector>

#include "control/com/ComObject.h"

namespace trv::com {

// How the enumerators below hold and hand out their items: the interface they answer, and the
// reference counting of an item.
struct ConnectionPointItems {
  using Enum = IEnumConnectionPoints;
  using Item = IConnectionPoint*;
  static void AddRef(Item item) { item->AddRef(); }
  static void Release(Item item) { item->Release(); }
};

struct ConnectionItems {
  using Enum = IEnumConnections;
  using Item = CONNECTDATA;
  static void AddRef(const Item& item) { item.pUnk->AddRef(); }
  static void Release(const Item& item) { item.pUnk->Release(); }
};

// A COM enumerator over a snapshot of items taken when it was made: it holds a reference to
// each, and every item it hands out carries a new one, which the caller releases.
template <typename Items>
class ComEnumerator final : public ComObject<typename Items::Enum> {
 public:
  using Enum = typename Items::Enum;
  using Item = typename Items::Item;

  // A new enumerator over the count items at `items`, at the first of them; E_OUTOFMEMORY when
  // it cannot be made.
  static HRESULT Create(const Item* items, size_t count, Enum** enumerator) {
    if (enumerator == nullptr) return E_POINTER;
    *enumerator = nullptr;
    try {
      const Microsoft::WRL::ComPtr<ComEnumerator> created =
          new ComEnumerator(std::vector<Item>(items, items + count), 0);
      return created.CopyTo(enumerator);
    } catch (...) {
      return E_OUTOFMEMORY;
    }
  }

  STDMETHODIMP Next(ULONG count, Item* items, ULONG* fetched) override {
    if (fetched != nullptr) *fetched = 0;
    if (items == nullptr) return E_POINTER;
    if (count > 1 && fetched == nullptr) return E_INVALIDARG;
    const size_t handed = std::min<size_t>(count, items_.size() - position_);
    for (size_t i = 0; i < handed; ++i) {
      items[i] = items_[position_ + i];
      Items::AddRef(items[i]);
    }
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
    const HRESULT result = Create(items_.data(), items_.size(), copy);
    if (SUCCEEDED(result)) static_cast<ComEnumerator*>(*copy)->position_ = position_;
    return result;
  }

 private:
  ComEnumerator(const std::vector<Item>& items, size_t position)
      : items_(items), position_(position) {
    for (const Item& item : items_) Items::AddRef(item);
  }
  ~ComEnumerator() override {
    for (const Item& item : items_) Items::Release(item);
  }

  std::vector<Item> items_;
  size_t position_;
};

}  // namespace trv::com

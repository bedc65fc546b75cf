// The registry places of `travinel configurar` against the real registry (run under Wine, in
// the build's prefix): the control's site list and the browsers' policy lists written, read
// back, replaced, restored and removed in both registry views of HKLM. Every test works below a
// key of its own that stands for HKLM\SOFTWARE, deleted in both views before and after it,
// whatever the test's outcome.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "BrowserPolicyRegistry.h"
#include "ControlSiteListRegistry.h"
#include "RegistryKey.h"
#include "platform/TextWin32.h"

namespace trv::config {
namespace {

using Texts = std::vector<std::string>;
using Numbered = std::map<int, std::string>;

constexpr REGSAM kViews[] = {KEY_WOW64_32KEY, KEY_WOW64_64KEY};

void DeleteTree(const std::string& path, REGSAM view) {
  HKEY key = nullptr;
  const std::wstring wide = platform::Utf8ToWide(path);
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, wide.c_str(), 0, KEY_ALL_ACCESS | view, &key) !=
      ERROR_SUCCESS) {
    return;
  }
  RegDeleteTreeW(key, nullptr);
  RegCloseKey(key);
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, wide.c_str(), view, 0);
}

class RegistryConfigurationTest : public ::testing::Test {
 protected:
  RegistryConfigurationTest()
      : software_("SOFTWARE\\TravinelConfigurarTest" + std::to_string(GetCurrentProcessId())) {}
  void SetUp() override { DeleteOurTree(); }
  void TearDown() override { DeleteOurTree(); }

  void DeleteOurTree() const {
    for (const REGSAM view : kViews) DeleteTree(software_, view);
  }
  std::string ChromeList() const {
    return software_ + "\\Policies\\Google\\Chrome\\LoopbackNetworkAllowedForUrls";
  }
  std::string EdgeList() const {
    return software_ + "\\Policies\\Microsoft\\Edge\\LocalNetworkAccessAllowedForUrls";
  }
  std::string ControlKey() const { return software_ + "\\Dornavel\\Travinel"; }

  const std::string software_;
};

TEST_F(RegistryConfigurationTest, WritesTheControlsListInBothViews) {
  for (const REGSAM view : kViews) {
    RegistryKey key(ControlKey(), view, true);
    key.SetString("ZonasDeOutroDono", "4");
  }
  ControlSiteListRegistry place(software_);
  place.Save();
  place.Apply({{"https://*.loja.example", "https://pdv.example"}, {}, ""}, {});
  for (const REGSAM view : kViews) {
    EXPECT_EQ(RegistryKey(ControlKey(), view, false).MultiString("SitesPermitidos"),
              (Texts{"https://*.loja.example", "https://pdv.example"}));
  }
  EXPECT_EQ(place.RecordedSites(), (Texts{"https://*.loja.example", "https://pdv.example"}));

  place.Save();
  place.Apply({{"https://outra.example"}, {}, ""}, place.RecordedSites());
  for (const REGSAM view : kViews) {
    EXPECT_EQ(RegistryKey(ControlKey(), view, false).MultiString("SitesPermitidos"),
              Texts{"https://outra.example"});
  }

  place.Save();
  place.Remove(place.RecordedSites());
  for (const REGSAM view : kViews) {
    const RegistryKey key(ControlKey(), view, false);
    EXPECT_FALSE(key.MultiString("SitesPermitidos"));
    EXPECT_EQ(key.NumberedStrings().size(), 0u);
    EXPECT_FALSE(key.IsEmpty());  // the other owner's value stays
  }
  EXPECT_EQ(place.Describe().size(), 2u);
}

TEST_F(RegistryConfigurationTest, AddsOnlyItsOwnPolicyEntries) {
  for (const REGSAM view : kViews) {
    RegistryKey key(ChromeList(), view, true);
    key.SetString("1", "https://outro-dono.example");
    key.SetString("2", "https://[*.]antigo.example");
    key.SetString("Descricao", "não é da lista");
  }
  BrowserPolicyRegistry place(software_);
  place.Save();
  place.Apply({{"https://*.loja.example", "https://pdv.example"}, {}, ""},
              {"https://*.antigo.example"});
  for (const REGSAM view : kViews) {
    EXPECT_EQ(RegistryKey(ChromeList(), view, false).NumberedStrings(),
              (Numbered{{1, "https://outro-dono.example"},
                        {2, "https://[*.]loja.example"},
                        {3, "https://pdv.example"}}));
    EXPECT_EQ(RegistryKey(EdgeList(), view, false).NumberedStrings(),
              (Numbered{{1, "https://[*.]loja.example"}, {2, "https://pdv.example"}}));
  }

  place.Save();
  place.Remove({"https://*.loja.example", "https://pdv.example"});
  for (const REGSAM view : kViews) {
    const RegistryKey chrome(ChromeList(), view, false);
    EXPECT_EQ(chrome.NumberedStrings(), (Numbered{{1, "https://outro-dono.example"}}));
    EXPECT_TRUE(chrome.IsOpen());
    EXPECT_FALSE(RegistryKey(EdgeList(), view, false).IsOpen());  // created by us, now empty
    EXPECT_FALSE(RegistryKey(software_ + "\\Policies\\Microsoft", view, false).IsOpen());
    EXPECT_TRUE(RegistryKey(software_ + "\\Policies", view, false).IsOpen());
  }
}

TEST_F(RegistryConfigurationTest, RestoresWhatItSaved) {
  for (const REGSAM view : kViews) {
    RegistryKey key(ChromeList(), view, true);
    key.SetString("1", "https://outro-dono.example");
    key.SetString("3", "https://lacuna.example");
  }
  BrowserPolicyRegistry place(software_);
  place.Save();
  place.Apply({{"https://pdv.example"}, {}, ""}, {});
  place.Restore();
  for (const REGSAM view : kViews) {
    EXPECT_EQ(RegistryKey(ChromeList(), view, false).NumberedStrings(),
              (Numbered{{1, "https://outro-dono.example"}, {3, "https://lacuna.example"}}));
    EXPECT_FALSE(RegistryKey(EdgeList(), view, false).IsOpen());
  }
}

TEST(BrowserPolicyRegistryMerge, KeepsOthersFirstAndOursLast) {
  struct Case {
    Numbered current;
    Texts ours;
    Texts added;
    Texts merged;
  };
  for (const Case& c : {
           Case{{}, {}, {"https://a.example"}, {"https://a.example"}},
           Case{{{1, "https://x.example"}, {2, "https://a.example"}},
                {"https://a.example"},
                {"https://b.example"},
                {"https://x.example", "https://b.example"}},
           Case{{{1, "https://b.example"}, {2, "https://x.example"}},
                {},
                {"https://b.example"},
                {"https://x.example", "https://b.example"}},
           Case{{{2, "https://x.example"}, {1, "https://a.example"}},
                {"https://a.example"},
                {},
                {"https://x.example"}},
       }) {
    EXPECT_EQ(BrowserPolicyRegistry::Merge(c.current, c.ours, c.added), c.merged);
  }
}

}  // namespace
}  // namespace trv::config

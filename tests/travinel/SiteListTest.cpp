// The values of `travinel configurar`: the site list and its translation into the browsers'
// policy patterns, the serial ports and the listening address.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BrowserPolicyPattern.h"
#include "ListenAddress.h"
#include "PortList.h"
#include "SiteList.h"

namespace trv::config {
namespace {

using Texts = std::vector<std::string>;

TEST(SiteList, KeepsEachSiteInOneCanonicalForm) {
  struct Case {
    std::string text;
    Texts sites;
  };
  for (const Case& c : {
           Case{"https://*.loja.example;https://pdv.example",
                {"https://*.loja.example", "https://pdv.example"}},
           Case{" HTTPS://PDV.Example:443/ ; ", {"https://pdv.example"}},
           Case{"http://caixa:8080;http://caixa:80", {"http://caixa:8080", "http://caixa"}},
           Case{"https://pdv.example;https://pdv.example:443", {"https://pdv.example"}},
           Case{"https://[::1]:8443", {"https://[::1]:8443"}},
           Case{";;https://a.example;;", {"https://a.example"}},
       }) {
    Texts sites;
    std::string error;
    EXPECT_TRUE(SiteList::Parse(c.text, true, sites, error)) << c.text << ": " << error;
    EXPECT_EQ(sites, c.sites) << c.text;
  }
}

TEST(SiteList, RefusesWhatIsNoSiteWithAMessage) {
  for (const std::string& text : std::vector<std::string>{
           "",
           ";",
           "   ",
           "pdv.example",
           "ftp://pdv.example",
           "https://user@pdv.example",
           "https://pdv.example:0",
           "https://pdv.example:65536",
           "https://pdv\".example",
           "https://pdv\\.example",
           "https://pdv example",
           "https://*",
           "https://a.*.example",
           "https://pdv.example;nada",
           "https://p\xc3\xa3o.example",
           "javascript://x",
           "https://[::1",
           "https://pdv.example:8a",
           "https://pdv.example/caixa",
           "https://pdv.example?x",
           "https://pdv.example#x",
           "https://pdv.example//",
           std::string("https://a\0b.example", 19),
       }) {
    Texts sites{"earlier"};
    std::string error;
    EXPECT_FALSE(SiteList::Parse(text, true, sites, error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

TEST(SiteList, TakesSharesOnlyWithoutTheBrowsers) {
  Texts sites;
  std::string error;
  EXPECT_FALSE(SiteList::Parse("file://servidor", true, sites, error));
  EXPECT_NE(error.find("--sem-politicas"), std::string::npos) << error;
  EXPECT_TRUE(SiteList::Parse("file://Servidor", false, sites, error)) << error;
  EXPECT_EQ(sites, Texts{"file://servidor"});
}

TEST(SiteList, RefusesTooManyOrTooLongSites) {
  std::string many;
  for (size_t index = 0; index <= SiteList::kMaxSites; ++index) {
    many += "https://s" + std::to_string(index) + ".example;";
  }
  Texts sites;
  std::string error;
  EXPECT_FALSE(SiteList::Parse(many, true, sites, error));
  const std::string longName = "https://" + std::string(400, 'a') + ".example";
  EXPECT_FALSE(SiteList::Parse(longName, true, sites, error));
  EXPECT_LT(error.size(), 500u);
}

TEST(BrowserPolicyPattern, TranslatesSitesIntoPolicyPatterns) {
  struct Case {
    std::string site;
    bool translated;
    std::string pattern;
  };
  for (const Case& c : {
           Case{"https://*.loja.example", true, "https://[*.]loja.example"},
           Case{"https://pdv.example", true, "https://pdv.example"},
           Case{"https://pdv.example:443", true, "https://pdv.example"},
           Case{"http://caixa:80", true, "http://caixa"},
           Case{"http://*.caixa.example:8080", true, "http://[*.]caixa.example:8080"},
           Case{"https://PDV.Example/caminho", true, "https://pdv.example"},
           Case{"https://[::1]:8443", true, "https://[::1]:8443"},
           Case{"file://servidor", false, ""},
           Case{"https://pdv\".example", false, ""},
           Case{"", false, ""},
       }) {
    std::string pattern;
    EXPECT_EQ(BrowserPolicyPattern::FromSite(c.site, pattern), c.translated) << c.site;
    if (c.translated) {
      EXPECT_EQ(pattern, c.pattern) << c.site;
    }
  }
  EXPECT_EQ(BrowserPolicyPattern::FromSites(
                {"https://a.example", "file://servidor", "https://a.example:443"}),
            Texts{"https://a.example"});
}

TEST(ListenAddress, TakesOnlyThisComputersAddresses) {
  struct Case {
    std::string text;
    bool valid;
    std::string listen;
  };
  for (const Case& c : {
           Case{"127.0.0.1:8470", true, "127.0.0.1:8470"},
           Case{"127.1.2.3:1", true, "127.1.2.3:1"},
           Case{"[::1]:8470", true, "[::1]:8470"},
           Case{"0.0.0.0:8470", false, ""},
           Case{"192.168.0.10:8470", false, ""},
           Case{"localhost:8470", false, ""},
           Case{"127.0.0.1", false, ""},
           Case{"127.0.0.1:0", false, ""},
           Case{"127.0.0.1:65536", false, ""},
           Case{"127.0.0.256:8470", false, ""},
           Case{"127.0.0.-1:8470", false, ""},
           Case{"127.0.0:8470", false, ""},
           Case{"127.0.0.1.:8470", false, ""},
           Case{"\"127.0.0.1\":8470", false, ""},
       }) {
    std::string listen;
    EXPECT_EQ(ListenAddress::Parse(c.text, listen), c.valid) << c.text;
    if (c.valid) {
      EXPECT_EQ(listen, c.listen) << c.text;
    }
  }
}

TEST(PortList, TakesNumbersAndDevicePaths) {
  struct Case {
    std::string text;
    bool valid;
    Texts ports;
  };
  for (const Case& c : {
           Case{"1,3", true, {"1", "3"}},
           Case{" 1 , com3 ,1", true, {"1", "com3"}},
           Case{"", false, {}},
           Case{",", false, {}},
           Case{"1,-2", false, {}},
           Case{"1,porta\ttab", false, {}},
#ifndef _WIN32
           Case{"/dev/ttyUSB0,2", true, {"/dev/ttyUSB0", "2"}},
           Case{"balanca", false, {}},
#endif
       }) {
    Texts ports;
    std::string error;
    EXPECT_EQ(PortList::Parse(c.text, ports, error), c.valid) << c.text;
    if (c.valid) {
      EXPECT_EQ(ports, c.ports) << c.text;
    }
    if (!c.valid) {
      EXPECT_FALSE(error.empty()) << c.text;
    }
  }
}

}  // namespace
}  // namespace trv::config

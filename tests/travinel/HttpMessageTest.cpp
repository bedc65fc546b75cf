#include "HttpMessage.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace trv::service {
namespace {

using Query = std::map<std::string, std::string>;

struct TargetCase {
  std::string target;
  bool parsed;
  std::string path;
  Query query;
};

class ParseTargetTest : public ::testing::TestWithParam<TargetCase> {};

TEST_P(ParseTargetTest, SplitsAndDecodes) {
  const TargetCase& wanted = GetParam();
  HttpRequest request;
  ASSERT_EQ(ParseTarget(wanted.target, request), wanted.parsed) << wanted.target;
  if (!wanted.parsed) return;
  EXPECT_EQ(request.path, wanted.path);
  EXPECT_EQ(request.query, wanted.query);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, ParseTargetTest,
    ::testing::Values(
        // Well formed.
        TargetCase{"/", true, "/", {}},
        TargetCase{"/v1/eventos?Porta=1&Mod_Bal=1",
                   true,
                   "/v1/eventos",
                   {{"Porta", "1"}, {"Mod_Bal", "1"}}},
        TargetCase{
            "/v1/eventos?Porta=%2Fdev%2FttyUSB0", true, "/v1/eventos", {{"Porta", "/dev/ttyUSB0"}}},
        TargetCase{"/a%20b?x=a+b&y=%c3%a7", true, "/a b", {{"x", "a b"}, {"y", "\xc3\xa7"}}},
        // Empty pairs are skipped; a name without '=' has an empty value.
        TargetCase{"/p?&&x&=v&", true, "/p", {{"x", ""}, {"", "v"}}},
        TargetCase{"/p?", true, "/p", {}},
        // Repeated keys: the last one counts.
        TargetCase{"/p?Porta=1&Porta=2", true, "/p", {{"Porta", "2"}}},
        TargetCase{"/p?Porta=1&Porta=", true, "/p", {{"Porta", ""}}},
        // Malformed percent escapes, in the path, a name or a value.
        TargetCase{"/%", false, "", {}}, TargetCase{"/%4", false, "", {}},
        TargetCase{"/%zz", false, "", {}}, TargetCase{"/p?x=%", false, "", {}},
        TargetCase{"/p?x=%4", false, "", {}}, TargetCase{"/p?x=%g1", false, "", {}},
        TargetCase{"/p?%=1", false, "", {}},
        // Not an origin-form target: no leading '/'.
        TargetCase{"", false, "", {}}, TargetCase{"v1/eventos", false, "", {}},
        TargetCase{"?Porta=1", false, "", {}}, TargetCase{"*", false, "", {}},
        TargetCase{"http://127.0.0.1:8470/v1/ler", false, "", {}}));

// The parser sets no length limit of its own (the HTTP reader's header limit does): a long
// target comes through whole, and a long escape-broken one is still refused.
TEST(ParseTarget, OverlongTargets) {
  const std::string value(100000, 'a');
  HttpRequest request;
  ASSERT_TRUE(ParseTarget("/" + value + "?x=" + value, request));
  EXPECT_EQ(request.path, "/" + value);
  EXPECT_EQ(request.query, (Query{{"x", value}}));

  HttpRequest broken;
  EXPECT_FALSE(ParseTarget("/p?x=" + value + "%", broken));
}

}  // namespace
}  // namespace trv::service

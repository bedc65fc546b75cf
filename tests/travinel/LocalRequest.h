#pragma once

#include <gtest/gtest.h>

#include <string>

#include "HttpMessage.h"

namespace trv::service {

// A request as a page of the service's own address sends it: the method, the target (path and
// query) and the body, with the loopback Host.
inline HttpRequest LocalRequest(const char* method, const std::string& target,
                                const std::string& body = "") {
  HttpRequest request;
  request.method = method;
  EXPECT_TRUE(ParseTarget(target, request)) << target;
  request.headers.set("host", "127.0.0.1:8470");
  request.body = body;
  return request;
}

}  // namespace trv::service

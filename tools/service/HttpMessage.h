#pragma once

#include <boost/beast/http/fields.hpp>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace trv::service {

// Whether the client of a request has closed its side (answers at once).
using ClientGone = std::function<bool()>;

// A request as the service sees it: the headers as Beast parsed them (names compared without
// regard to case, as HTTP compares them), the target split into its path and its decoded query.
struct HttpRequest {
  std::string method;
  std::string path;
  std::map<std::string, std::string> query;
  boost::beast::http::fields headers;
  std::string body;
  // Set by the server: a request whose client has gone need not be served.
  ClientGone clientGone;

  // The value of the named header ("origin" finds "Origin"); empty when there is none.
  std::string Header(std::string_view name) const {
    const auto found = headers.find(boost::beast::string_view(name.data(), name.size()));
    return found == headers.end() ? std::string() : std::string(found->value());
  }
};

// Splits an origin-form target ("/v1/eventos?Porta=1&Mod_Bal=1") into the request's path and
// percent-decoded query; false for a target that is not of that form or badly encoded.
bool ParseTarget(const std::string& target, HttpRequest& request);

// Writes one chunk of an event stream; false once the client has gone.
using StreamWriter = std::function<bool(const std::string&)>;

struct HttpResponse {
  int status = 200;
  std::string contentType = "application/json; charset=utf-8";
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
  // Set for an event stream: called after the headers went out, returns when the stream ends.
  std::function<void(const StreamWriter&, const ClientGone&)> stream;
};

}  // namespace trv::service

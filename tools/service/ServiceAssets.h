#pragma once

namespace trv::service {

// The demonstration page and the client module, built into the program from assets/.
extern const char kIndexHtml[];
extern const char kTravinelJs[];

}  // namespace trv::service

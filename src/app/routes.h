// The table of every route the programs answer, handed to the server at start.
#pragma once

#include "http/router.h"

namespace app {

const http::RouteTable& routes();

}  // namespace app

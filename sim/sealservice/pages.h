// The simulator's own web pages (sim/www), built into the program.
#pragma once

#include <string>

namespace qex::sim {

// The bytes of the page `name` ("demo.html", "phone.html", "sdk/qexseal.js",
// "sdk/qexseal.mjs"); empty when there is no such page.
std::string EmbeddedPage(const std::string& name);

}  // namespace qex::sim

#pragma once

#include <string>
#include <vector>

// `open URL`: opens a brindlex: URL command the way the desktop does, by
// starting the app with the URL. A running app takes it over and the new
// start exits at once; otherwise the app starts with it.
class OpenCommand {
public:
    static int run(const std::vector<std::string>& arguments);
};
